// Times one quorvbatch run over N one-page .docx files in PDF mode (default pool) beside
// one `soffice --convert-to pdf` run with all files. Both sides start from a ready
// profile: quorvbatch's office profiles are warmed by one unmeasured run on one file.
// Last line: "ratio <quorvbatch / soffice>".
//
//   bench_quorvbatch [N [ROUNDS]]   (defaults 200 and 1; with more rounds the best of
//                                     each counts)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "common/benchdocx.h"
#include "core/defaults.h"

namespace {

// One quorvbatch run in workDir; the number of "ok" lines, -1 when it did not end with 0.
int runQuorvbatch(const QString& workDir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(QUORVBATCH_PATH), args);
    if (!p.waitForFinished(1800000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    const QByteArray out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "quorvbatch ended with %d: %s\n", p.exitCode(),
                     p.readAllStandardError().constData());
        return -1;
    }
    return int(out.count("\"status\":\"ok\""));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int n = 0, rounds = 0;
    if (!quorv::bench::readCounts(argc, argv, 200, 1, "usage: bench_quorvbatch [N [ROUNDS]]", n,
                                  rounds)) {
        return 2;
    }
    QTemporaryDir tmp;
    const QString src = tmp.filePath(QStringLiteral("src"));
    const QString ours = tmp.filePath(QStringLiteral("ours"));
    const QString theirs = tmp.filePath(QStringLiteral("soffice"));
    const QStringList files = quorv::bench::makeBenchDocx(tmp.path(), src, n);
    if (files.isEmpty()) return 1;
    const QString profile = quorv::bench::readySofficeProfile(tmp.path(), files.front());
    if (runQuorvbatch(tmp.path(), {"--out", tmp.filePath("warm"), files.front()}) != 1) return 1;

    double bestOurs = 0, bestTheirs = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& d : {ours, theirs}) {
            QDir(d).removeRecursively();
            QDir().mkpath(d);
        }
        QElapsedTimer t;
        t.start();
        const int converted = runQuorvbatch(tmp.path(), {"--out", ours, src});
        const double oursSec = t.nsecsElapsed() / 1e9;
        t.restart();
        if (!quorv::bench::runSoffice(profile, files, theirs)) {
            std::fprintf(stderr, "soffice failed\n");
        }
        const double theirsSec = t.nsecsElapsed() / 1e9;
        if (converted != n || quorv::bench::countPdfs(ours) != n ||
            quorv::bench::countPdfs(theirs) != n) {
            std::fprintf(stderr, "missing PDFs: quorvbatch %d, soffice %d of %d\n",
                         quorv::bench::countPdfs(ours), quorv::bench::countPdfs(theirs), n);
            return 1;
        }
        if (rounds > 1) {
            std::printf("round %d: quorvbatch %.3f s, soffice %.3f s\n", round + 1, oursSec,
                        theirsSec);
        }
        if (round == 0 || oursSec < bestOurs) bestOurs = oursSec;
        if (round == 0 || theirsSec < bestTheirs) bestTheirs = theirsSec;
    }
    std::printf("files %d, rounds %d\n", n, rounds);
    std::printf("soffice %.3f s (one --convert-to run with all files)\n", bestTheirs);
    std::printf("quorvbatch %.3f s (pool %d, office start and end included)\n", bestOurs,
                quorv::defaultPoolSize());
    std::printf("ratio %.3f\n", bestTheirs > 0 ? bestOurs / bestTheirs : 0.0);
    return 0;
}
