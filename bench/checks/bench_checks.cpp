// Runs a batch of N one-page .docx files on the real office in each mode whose outputs are
// checked (PDF, XPS, plain text, web page, SWF), with a pool of 1, then checks the N outputs
// of each mode again ROUNDS times on their own. Per mode a line "<mode> batch <s> (<ms>/row)
// check <ms>/row share <percent of the batch>"; the best round of the checks counts. The
// batch times include the checks made inside it, so the share is the part they take.
//
//   bench_checks [N [ROUNDS]]   (defaults 40 and 5)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <cstdio>

#include "common/benchdocx.h"
#include "convert/batch/run.h"
#include "convert/outputcheck.h"
#include "core/filenames.h"
#include "engines/checks/outputchecks.h"

namespace {

using namespace quorv;

struct Mode {
    const char* name;
    BatchMode mode;
    QString ext;
    int format;
    OutputKind kind;
};

// The batch's wall time in seconds, or a negative one when a row failed.
double runBatch(const QStringList& files, const QString& outDir, const Mode& m) {
    BatchRequest q;
    q.mode = m.mode;
    q.outputBase = outDir + QLatin1Char('/');
    q.wordExt = m.ext;
    q.wordFormat = m.format;
    q.pdfp = outDir + QStringLiteral("/pdf/");
    q.replaceIntermediate = true;
    q.swf = SwfTool{QStringLiteral(PDF2SWF_PATH), QStringLiteral("9"), {}};
    q.poolSize = 1;
    for (const QString& f : files) {
        const QFileInfo fi(f);
        q.rows.append(BatchRow{fi.fileName(), fi.absolutePath() + QLatin1Char('/'), {}});
    }
    QElapsedTimer t;
    t.start();
    const BatchRunResult run = runToEnd(q);
    const double seconds = t.nsecsElapsed() / 1e9;
    int ok = 0;
    for (const BatchRunResult::Row& row : run.rows) ok += row.result == BatchResult::Success;
    if (ok != files.size()) {
        std::fprintf(stderr, "%s: %d of %d rows converted\n", m.name, ok, int(files.size()));
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int n = 0, rounds = 0;
    if (!bench::readCounts(argc, argv, 40, 5, "usage: bench_checks [N [ROUNDS]]", n, rounds)) {
        return 2;
    }
    QTemporaryDir tmp;
    const QStringList files = bench::makeBenchDocx(tmp.path(), tmp.filePath("src"), n);
    if (files.isEmpty()) return 1;

    const QList<Mode> modes{
        {"pdf", BatchMode::Pdf, "pdf", 17, OutputKind::Pdf},
        {"xps", BatchMode::Xps, "xps", 18, OutputKind::Xps},
        {"text", BatchMode::Custom, "txt", 2, OutputKind::Text},
        {"webpage", BatchMode::Custom, "htm", 8, OutputKind::Text},
        {"swf", BatchMode::Swf, "swf", 17, OutputKind::Swf},
    };
    std::printf("files %d, rounds of checks %d, pool 1\n", n, rounds);
    for (const Mode& m : modes) {
        const QString out = tmp.filePath(QString::fromLatin1(m.name));
        QDir().mkpath(out);
        const double batch = runBatch(files, out, m);
        if (batch < 0) return 1;
        QStringList outputs;
        for (const QString& f : files) outputs << filegszh(f, m.ext, out + QLatin1Char('/'));
        double best = 0;
        for (int r = 0; r < rounds; ++r) {
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < outputs.size(); ++i) {
                if (!checks::outputReads(outputs[i], m.kind, files[i])) {
                    std::fprintf(stderr, "%s: %s does not read\n", m.name, qPrintable(outputs[i]));
                    return 1;
                }
            }
            const double s = t.nsecsElapsed() / 1e9;
            if (r == 0 || s < best) best = s;
        }
        // The SWF rows also checked their intermediate PDF.
        double perRow = best / n;
        if (m.mode == BatchMode::Swf) {
            QElapsedTimer t;
            t.start();
            for (const QString& f : files) {
                checks::pdfReads(filegszh(f, QStringLiteral("pdf"), out + QStringLiteral("/pdf/")));
            }
            perRow += t.nsecsElapsed() / 1e9 / n;
        }
        std::printf("%-8s batch %.3f s (%.1f ms/row) check %.3f ms/row share %.2f %%\n", m.name,
                    batch, batch * 1e3 / n, perRow * 1e3, 100.0 * perRow * n / batch);
    }
    return 0;
}
