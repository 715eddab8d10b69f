// Converts a 30-page text PDF with quorv-pdf2swf and, on the same file at the same
// resolution, renders it with pdftoppm to plain PPM files: poppler's rendering alone, the
// floor for any converter that renders pages. Prints the figures; the last line is
// "ratio <ours/pdftoppm>".
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
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

// Wall time of one run of a program, in seconds; negative when it fails.
double timeRun(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
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
    std::vector<double> ours, floor;
    qint64 ppmBytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        // Alternate the two so that both see the same machine load and file cache.
        QFile::remove(swf);
        const double a = timeRun(tool, {pdf, QStringLiteral("-o"), swf, QStringLiteral("-s"),
                                        QStringLiteral("flashversion=9")});
        QDir(ppmDir).removeRecursively();
        QDir().mkpath(ppmDir);
        const double b = timeRun(pdftoppm, {QStringLiteral("-r"), dpi, pdf, ppmDir + "/page"});
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        ppmBytes = folderBytes(ppmDir);
        ours.push_back(a);
        floor.push_back(b);
        std::printf("run %d: quorv-pdf2swf %.3f s, pdftoppm %.3f s\n", run + 1, a, b);
    }
    const double oursMedian = median(ours);
    const double floorMedian = median(floor);
    std::printf("quorv-pdf2swf: median %.3f s, %.1f ms/page, SWF %lld bytes\n", oursMedian,
                oursMedian * 1000 / kPages, static_cast<long long>(QFileInfo(swf).size()));
    std::printf("pdftoppm -r %s: median %.3f s, %.1f ms/page, PPM %lld bytes\n", qPrintable(dpi),
                floorMedian, floorMedian * 1000 / kPages, static_cast<long long>(ppmBytes));
    std::printf("ratio %.2f\n", oursMedian / floorMedian);
    return 0;
}
