// Runs the "开始输出" handler headless (scripted desktop) over N one-page .docx files in
// PDF mode, then converts the same files with one `soffice --convert-to pdf` run, and
// prints both times. Last line: "ratio <ours/soffice>".
//
//   bench_batch [N [ROUNDS]]   (defaults 50 and 1; with more rounds the best of each
//                               side counts)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>

#include "app/quorvapp.h"
#include "common/benchdocx.h"
#include "convert/automation.h"
#include "fakes/batch_rows.h"
#include "fakes/scripted_desktop.h"
#include "platform/office/officesession.h"
#include "settings/globals.h"

namespace {

using namespace quorv;

// One click on "开始输出" over every file, timed from the click to the handler's return
// (the office instance's start and end included).
bool measureOurs(const QStringList& files, const QString& outDir, double* seconds) {
    testing::ScriptedDesktop desktop;
    w_frn w(desktop);
    w.open(QSize(1280, 768));
    testing::setRows(w, files);
    w.sle_2->setText(outDir);
    w.setOutputMode(OutputMode::Pdf);
    QElapsedTimer t;
    t.start();
    w.cb_3_clicked();
    *seconds = t.nsecsElapsed() / 1e9;
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
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50;
    const int rounds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1;
    if (n <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_batch [N [ROUNDS]]\n");
        return 2;
    }
    QTemporaryDir tmp;
    globals().ap_path = tmp.path();
    const QString src = tmp.filePath(QStringLiteral("src"));
    const QString ours = tmp.filePath(QStringLiteral("ours"));
    const QString theirs = tmp.filePath(QStringLiteral("soffice"));

    const QStringList files = bench::makeBenchDocx(tmp.path(), src, n);
    if (files.isEmpty()) return 1;
    const QString profile = bench::readySofficeProfile(tmp.path(), files.front());

    // Rounds alternate the two sides; the best time of each side counts, which keeps
    // other load on the machine from deciding the ratio.
    double bestOurs = 0;
    double bestTheirs = 0;
    for (int round = 0; round < rounds; ++round) {
        QDir(ours).removeRecursively();
        QDir(theirs).removeRecursively();
        QDir().mkpath(ours);
        QDir().mkpath(theirs);
        double mine = 0;
        if (!measureOurs(files, ours, &mine)) return 1;
        QElapsedTimer t;
        t.start();
        if (!bench::runSoffice(profile, files, theirs)) std::fprintf(stderr, "soffice failed\n");
        const double theirsSec = t.nsecsElapsed() / 1e9;
        if (bench::countPdfs(ours) != n || bench::countPdfs(theirs) != n) {
            std::fprintf(stderr, "missing PDFs: ours %d, soffice %d\n", bench::countPdfs(ours),
                         bench::countPdfs(theirs));
            return 1;
        }
        if (rounds > 1) {
            std::printf("round %d: ours %.3f s, soffice %.3f s\n", round + 1, mine, theirsSec);
        }
        if (round == 0 || mine < bestOurs) bestOurs = mine;
        if (round == 0 || theirsSec < bestTheirs) bestTheirs = theirsSec;
    }

    std::printf("files %d, rounds %d\n", n, rounds);
    std::printf("ours %.3f s (one batch run in PDF mode, office start and end included)\n",
                bestOurs);
    std::printf("soffice %.3f s (one --convert-to run)\n", bestTheirs);
    std::printf("ratio %.3f\n", bestTheirs > 0 ? bestOurs / bestTheirs : 0.0);
    return 0;
}
