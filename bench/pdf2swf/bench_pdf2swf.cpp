// Converts a 30-page text PDF with quorv-pdf2swf and, on the same file at the same
// resolution, renders it with pdftoppm to plain PPM files: poppler's rendering alone, the
// floor for any converter that renders pages. Prints the figures; the last line is
// "ratio <ours/pdftoppm>".
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "pdf2swf.h"

namespace {

constexpr int kPages = 30;
constexpr int kRuns = 5;

bool makeTextPdf(const QString& path) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSizeF(10.5);
    painter.setFont(font);
    const QStringList words = QStringLiteral(
                                  "conversion batch document folder output settings list "
                                  "render page frame bitmap compress stage version filter "
                                  "result quorum vane office table window option")
                                  .split(' ');
    const QRect area = painter.viewport();
    const int lineHeight = painter.fontMetrics().lineSpacing();
    unsigned seed = 12345;
    for (int page = 0; page < kPages; ++page) {
        if (page > 0) writer.newPage();
        for (int y = lineHeight; y < area.height(); y += lineHeight) {
            QString line = QStringLiteral("%1.%2 ").arg(page + 1).arg(y / lineHeight);
            while (painter.fontMetrics().horizontalAdvance(line) < area.width() * 0.9) {
                seed = seed * 1103515245u + 12345u;
                line += words[(seed >> 16) % words.size()] + ' ';
            }
            painter.drawText(0, y, line);
        }
    }
    return painter.end();
}

struct Figures {
    double wall = -1;  // seconds; negative when the run failed
    double cpu = 0;    // user + system seconds
    long peakKb = 0;   // largest resident set
};

// Runs a program to its end and measures it; the child's own resource use comes from wait4.
Figures timeRun(const QString& program, const QStringList& args) {
    std::vector<QByteArray> bytes{program.toLocal8Bit()};
    for (const QString& a : args) bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    Figures f;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return f;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return f;
    }
    f.wall = timer.nsecsElapsed() / 1e9;
    f.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
            usage.ru_stime.tv_usec / 1e6;
    f.peakKb = usage.ru_maxrss;
    return f;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

qint64 folderBytes(const QString& dir) {
    qint64 total = 0;
    for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files)) total += f.size();
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // "--make-pdf FILE" only writes the input, for looking at it or profiling with it.
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QStringLiteral("--make-pdf")) {
        return makeTextPdf(args[2]) ? 0 : 1;
    }

    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/quorv-pdf2swf");
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (!QFileInfo(tool).isExecutable() || pdftoppm.isEmpty()) {
        std::fprintf(stderr, "needs %s and pdftoppm\n", qPrintable(tool));
        return 1;
    }
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("text30.pdf"));
    if (!makeTextPdf(pdf)) {
        std::fprintf(stderr, "cannot make the test PDF\n");
        return 1;
    }
    const QString swf = dir.filePath(QStringLiteral("text30.swf"));
    const QString ppmDir = dir.filePath(QStringLiteral("ppm"));
    const QString dpi = QString::number(quorv::pdf2swf::kRenderDpi);

    std::printf("input: %d text pages, %lld bytes; resolution %s dpi; %d runs each\n", kPages,
                static_cast<long long>(QFileInfo(pdf).size()), qPrintable(dpi), kRuns);
    std::vector<double> oursWall, oursCpu, floorWall, floorCpu;
    long oursPeak = 0, floorPeak = 0;
    qint64 ppmBytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        // Alternate the two so that both see the same machine load and file cache.
        QFile::remove(swf);
        const Figures a = timeRun(tool, {pdf, QStringLiteral("-o"), swf, QStringLiteral("-s"),
                                         QStringLiteral("flashversion=9")});
        QDir(ppmDir).removeRecursively();
        QDir().mkpath(ppmDir);
        const Figures b = timeRun(pdftoppm, {QStringLiteral("-r"), dpi, pdf, ppmDir + "/page"});
        if (a.wall < 0 || b.wall < 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        ppmBytes = folderBytes(ppmDir);
        oursWall.push_back(a.wall);
        oursCpu.push_back(a.cpu);
        floorWall.push_back(b.wall);
        floorCpu.push_back(b.cpu);
        oursPeak = std::max(oursPeak, a.peakKb);
        floorPeak = std::max(floorPeak, b.peakKb);
        std::printf("run %d: quorv-pdf2swf %.3f s (cpu %.3f s), pdftoppm %.3f s (cpu %.3f s)\n",
                    run + 1, a.wall, a.cpu, b.wall, b.cpu);
    }
    const double ours = median(oursWall);
    const double floor = median(floorWall);
    std::printf(
        "quorv-pdf2swf: median %.3f s, %.1f ms/page, cpu %.3f s, peak memory %ld KB, SWF %lld "
        "bytes\n",
        ours, ours * 1000 / kPages, median(oursCpu), oursPeak,
        static_cast<long long>(QFileInfo(swf).size()));
    std::printf(
        "pdftoppm -r %s: median %.3f s, %.1f ms/page, cpu %.3f s, peak memory %ld KB, PPM %lld "
        "bytes\n",
        qPrintable(dpi), floor, floor * 1000 / kPages, median(floorCpu), floorPeak,
        static_cast<long long>(ppmBytes));
    std::printf("ratio %.2f\n", ours / floor);
    return 0;
}
