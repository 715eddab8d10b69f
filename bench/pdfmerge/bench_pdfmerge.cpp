// Merges N one-page PDFs (each with a bookmark of its own) into one and prints the time.
//   bench_pdfmerge [N]    default 200; the goal is at most 0.5 s for 200
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engines/pdf/pdfmerge.h"
#include "pdfparts.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    QTemporaryDir dir;
    QList<quorv::pdf::MergePart> parts;
    for (int i = 0; i < n; ++i) {
        const QString path = dir.filePath(QStringLiteral("part%1.pdf").arg(i));
        const QString text = QStringLiteral("Part %1 of the run").arg(i);
        if (!quorv::testpdf::makePdf(path, {text}, {{QStringLiteral("Heading"), 0, {}}})) return 1;
        parts.append({path, QStringLiteral("第%1份.docx").arg(i + 1)});
    }
    const QString target = dir.filePath(QStringLiteral("合并.pdf"));
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const quorv::pdf::MergeOutcome m = quorv::pdf::mergePdfs(parts, target);
        const double s = t.nsecsElapsed() / 1e9;
        if (!m.written) {
            std::printf("merge failed: %s\n", qPrintable(m.error));
            return 1;
        }
        std::printf("merge %d one-page PDFs: %.3f s (%d pages; goal <= 0.5 s for 200)\n", n, s,
                    m.pages);
    }
    return 0;
}
