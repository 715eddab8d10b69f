// Runs the "开始输出" handler headless (scripted desktop) in PDF mode over N one-sheet
// workbooks and N one-slide presentations with Chinese text, on the default pool with its
// instances readied when the rows came, as the window does; converts the same files with
// two `soffice --convert-to pdf` processes side by side on halves (each its own profile),
// and with one such run over all of them. Lines "limit_ratio <ours / two soffice on
// halves>" and last "ratio <ours / one soffice run>".
//
//   bench_kinds [N [ROUNDS]]   (defaults 100 and 1; with more rounds the best of each
//                               counts)

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "common/benchclick.h"
#include "common/benchdocx.h"
#include "convert/automation.h"
#include "convert/batch/run.h"
#include "convert/kind_docs.h"
#include "core/defaults.h"
#include "core/globals.h"
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

}  // namespace

int main(int argc, char** argv) {
    bench::ClickBenchApp app(argc, argv);
    int n = 0, rounds = 0;
    if (!bench::readCounts(argc, argv, 100, 1, "usage: bench_kinds [N [ROUNDS]]", n, rounds)) {
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
        const QStringList dirs{ours, theirs, halves};
        bench::emptyFolders(dirs);
        // The instances readied when the rows came (not timed), as the window does.
        double mine = 0;
        if (!bench::measureClick(files, ours, pool, &mine, true)) return 1;
        const bench::SofficeTimes soffice =
            bench::timeSoffice(files, profileA, profileB, halves, profile, theirs);
        const double halvesSec = soffice.halves;
        const double theirsSec = soffice.all;
        if (!bench::allPdfsMade(dirs, int(files.size()))) return 1;
        if (rounds > 1) {
            std::printf("round %d: pool %d %.3f s, halves %.3f s, soffice %.3f s\n", round + 1,
                        pool, mine, halvesSec, theirsSec);
        }
        bench::keepBest(round, bestOurs, mine);
        bench::keepBest(round, bestHalves, halvesSec);
        bench::keepBest(round, bestTheirs, theirsSec);
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
