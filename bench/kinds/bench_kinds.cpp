// Runs the "开始输出" handler headless (scripted desktop) in PDF mode over N one-sheet
// workbooks and N one-slide presentations with Chinese text, on the default pool with its
// instances readied when the rows came, as the window does; converts the same files with
// two `soffice --convert-to pdf` processes side by side on halves (each its own profile),
// and with one such run over all of them. Lines "limit_ratio <ours / two soffice on
// halves>" and last "ratio <ours / one soffice run>".
//
//   bench_kinds [N [ROUNDS]]   (defaults 100 and 1; with more rounds the best of each
//                               counts)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <thread>

#include "common/benchdocx.h"
#include "convert/automation.h"
#include "convert/batch/run.h"
#include "convert/kind_docs.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "engines/office/officebackend.h"
#include "engines/office/officepool.h"
#include "engines/office/officesession.h"
#include "fakes/batch_rows.h"
#include "fakes/scripted_desktop.h"

namespace {

using namespace quorv;

// N workbooks book000.xlsx ... and N presentations deck000.pptx ... in srcDir, listed
// alternately as a mixed folder lists them. Each kind is saved once through its server
// (not timed) and copied: a copy converts as its original does.
QStringList makeSources(const QString& workDir, const QString& srcDir, int n) {
    QDir().mkpath(srcDir);
    const QString book = workDir + QStringLiteral("/book.fods");
    const QString deck = workDir + QStringLiteral("/deck.fodp");
    QStringList rows;
    for (int r = 0; r < 30; ++r) rows << QStringLiteral("第%1行 销售额 北京 上海 广州").arg(r);
    QString sheet;
    for (const QString& row : rows) sheet += testing::cellRow(row.split(QLatin1Char(' ')));
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\"><office:body>"
            "<office:spreadsheet><table:table table:name=\"报表\">%1</table:table>"
            "</office:spreadsheet></office:body></office:document>\n")
            .arg(sheet);
    if (!testing::writeText(book, xml)) return {};
    if (!testing::writeFlatSlides(deck, {{"年度工作总结：市场与销售", "微软雅黑", {}, false}})) {
        return {};
    }
    const QString bookX = workDir + QStringLiteral("/book.xlsx");
    const QString deckX = workDir + QStringLiteral("/deck.pptx");
    {
        office::OfficeSession session;
        if (!testing::saveThroughExcel(book, bookX, 51)) return {};
        if (!testing::saveThroughPowerPoint(deck, deckX, 24)) return {};
    }
    QStringList files;
    for (int i = 0; i < n; ++i) {
        const QString b = srcDir + QStringLiteral("/book%1.xlsx").arg(i, 3, 10, QLatin1Char('0'));
        const QString d = srcDir + QStringLiteral("/deck%1.pptx").arg(i, 3, 10, QLatin1Char('0'));
        if (!QFile::copy(bookX, b) || !QFile::copy(deckX, d)) return {};
        files << b << d;
    }
    return files;
}

// One click on "开始输出" over every file with the instances readied when the rows came
// (not timed), timed from the click to the handler's return.
bool measureOurs(const QStringList& files, const QString& outDir, int pool, double* seconds) {
    testing::ScriptedDesktop desktop;
    w_frn w(desktop);
    w.open(QSize(1280, 768));
    writeSetting(globals().profile, Key::Pool, QString::number(pool));
    testing::setRows(w, files);
    w.sle_2->setText(outDir);
    w.setOutputMode(OutputMode::Pdf);
    warmWorkerOffices(pool);
    for (int i = 0; i < 600 && office::OfficePool::shared().idleCount() < pool; ++i) {
        QThread::msleep(50);
    }
    QElapsedTimer t;
    t.start();
    w.cb_3_clicked();
    *seconds = t.nsecsElapsed() / 1e9;
    warmWorkerOffices(0);
    const int done = testing::rowsWith(w, QStringLiteral("成功"));
    if (done != files.size() || desktop.messages.empty() ||
        desktop.messages.back().text != QStringLiteral("转换结束")) {
        for (const auto& m : desktop.messages) {
            std::fprintf(stderr, "message: %s\n", m.text.toLocal8Bit().constData());
        }
        std::fprintf(stderr, "rows converted: %d of %d\n", done, int(files.size()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    QuorvApp app;
    app.setReportSink([](const QString&, const QString& text) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    office::installOfficeBackend();
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100;
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1;
    if (n <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_kinds [N [ROUNDS]]\n");
        return 2;
    }
    QTemporaryDir tmp;
    globals().ap_path = tmp.path();
    const QString src = tmp.filePath(QStringLiteral("src"));
    const QString ours = tmp.filePath(QStringLiteral("ours"));
    const QString theirs = tmp.filePath(QStringLiteral("soffice"));
    const QString halves = tmp.filePath(QStringLiteral("halves"));

    const QStringList files = makeSources(tmp.path(), src, n);
    if (files.isEmpty()) {
        std::fprintf(stderr, "could not make the sources\n");
        return 1;
    }
    // Each soffice side starts from a profile that has converted both kinds once.
    const QStringList firsts{files[0], files[1]};
    auto readyProfile = [&](const QString& dir) {
        const QString profile = bench::readySofficeProfile(dir, files[0]);
        bench::runSoffice(profile, firsts, dir + QStringLiteral("/warm"));
        return profile;
    };
    const QString profile = readyProfile(tmp.filePath("one"));
    const QString profileA = readyProfile(tmp.filePath("a"));
    const QString profileB = readyProfile(tmp.filePath("b"));
    const int pool = defaultPoolSize();

    double bestOurs = 0, bestHalves = 0, bestTheirs = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& d : {ours, theirs, halves}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        double mine = 0;
        if (!measureOurs(files, ours, pool, &mine)) return 1;
        QElapsedTimer t;
        t.start();
        std::thread other(
            [&] { bench::runSoffice(profileB, files.mid(files.size() / 2), halves); });
        bench::runSoffice(profileA, files.mid(0, files.size() / 2), halves);
        other.join();
        const double halvesSec = t.nsecsElapsed() / 1e9;
        t.restart();
        if (!bench::runSoffice(profile, files, theirs)) std::fprintf(stderr, "soffice failed\n");
        const double theirsSec = t.nsecsElapsed() / 1e9;
        for (const QString& d : {ours, theirs, halves}) {
            if (bench::countPdfs(d) != files.size()) {
                std::fprintf(stderr, "missing PDFs in %s: %d\n", qPrintable(d),
                             bench::countPdfs(d));
                return 1;
            }
        }
        if (rounds > 1) {
            std::printf("round %d: pool %d %.3f s, halves %.3f s, soffice %.3f s\n", round + 1,
                        pool, mine, halvesSec, theirsSec);
        }
        const auto keep = [round](double& best, double v) {
            if (round == 0 || v < best) best = v;
        };
        keep(bestOurs, mine);
        keep(bestHalves, halvesSec);
        keep(bestTheirs, theirsSec);
    }

    std::printf("workbooks %d, presentations %d, rounds %d\n", n, n, rounds);
    std::printf("soffice %.3f s (one --convert-to run with all files)\n", bestTheirs);
    std::printf("two soffice %.3f s (two --convert-to runs side by side on halves)\n", bestHalves);
    std::printf(
        "ours pool %d ready %.3f s (instances readied when the rows came, as the window "
        "does)\n",
        pool, bestOurs);
    std::printf("limit_ratio %.3f\n", bestHalves > 0 ? bestOurs / bestHalves : 0.0);
    std::printf("ratio %.3f\n", bestTheirs > 0 ? bestOurs / bestTheirs : 0.0);
    return 0;
}
