// Times, for one PDF given on the command line, each step a protected and watermarked output
// takes after the office wrote it, each as the mean of N runs on fresh copies:
//
//   bench_pdfpost FILE.pdf [N]   (default 50)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "core/pdfoptions.h"
#include "engines/checks/outputchecks.h"
#include "engines/pdf/pdfpost.h"

namespace {

using namespace quorv;

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// "NAME: W ms (C ms processor)": the mean wall and processor time of `step` over n runs;
// `prepare` (not timed) runs before each. The processor time is what other load on the
// machine does not change.
void timed(const char* name, int n, const std::function<void()>& prepare,
           const std::function<bool()>& step) {
    qint64 wall = 0;
    double cpu = 0;
    for (int i = 0; i < n; ++i) {
        if (prepare) prepare();
        QElapsedTimer t;
        const double c0 = threadCpuMs();
        t.start();
        if (!step()) {
            std::fprintf(stderr, "%s failed\n", name);
            std::exit(1);
        }
        wall += t.nsecsElapsed();
        cpu += threadCpuMs() - c0;
    }
    std::printf("%s: %.2f ms (%.2f ms processor)\n", name, wall / 1e6 / n, cpu / n);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_pdfpost FILE.pdf [N]\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const int n = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    QTemporaryDir tmp;
    const QString work = tmp.filePath(QStringLiteral("out.pdf"));
    const auto fresh = [&] {
        QFile::remove(work);
        QFile::copy(source, work);
    };
    PdfOptions mark;
    mark.watermark.text = QStringLiteral("内部资料");
    PdfOptions lock;
    lock.protection = {QStringLiteral("开门123"), QStringLiteral("权限456"), true, true, true};
    PdfOptions both = lock;
    both.watermark = mark.watermark;
    const QString pass = lock.protection.openPassword;

    // The first watermark loads the face: not part of any file's cost.
    fresh();
    pdf::postProcessPdf(work, mark);

    std::printf("file %s, runs %d\n", argv[1], n);
    timed("check, unprotected", n, fresh, [&] { return checks::pdfReads(work); });
    timed("rewrite, watermark", n, fresh, [&] { return pdf::postProcessPdf(work, mark); });
    timed("rewrite, protection", n, fresh, [&] { return pdf::postProcessPdf(work, lock); });
    timed("rewrite, both", n, fresh, [&] { return pdf::postProcessPdf(work, both); });
    timed("check, protected", n, {}, [&] { return checks::pdfReads(work, pass); });
    return 0;
}
