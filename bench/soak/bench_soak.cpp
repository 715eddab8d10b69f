// The long run: the "开始输出" handler headless (scripted desktop) in PDF mode over N
// .docx files, some with Chinese names, and a few corrupt ones, each tried in a short run
// of its own since a document the office cannot open ends a run with a run-time error.
// Prints documents per second, our resident memory along the run, the largest resident
// size of all office instances together and the instances seen. Last line:
// "peak_mib <largest resident size of all office instances together, MiB>".
//
//   bench_soak [N [POOL]]   (defaults 1000 and the default pool of this machine)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "core/defaults.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"
#include "fakes/batch_rows.h"
#include "fakes/scripted_desktop.h"

namespace {

using namespace quorv;
using office::OfficeInstance;

// A field of /proc/<pid>/status in KiB ("VmRSS", "VmHWM"); 0 when unreadable.
qint64 statusKib(const QString& pid, const char* field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').front().toLongLong();
    }
    return 0;
}

double mib(qint64 kib) { return kib / 1024.0; }

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

struct Corrupt {
    QString name;
    QByteArray data;
};

// What the office instances of a run used together, sampled along the run.
struct OfficeSampler {
    qint64 peakKib = 0;
    QSet<qint64> pids;

    void sample() {
        qint64 together = 0;
        for (qint64 pid : OfficeInstance::runningPids()) {
            pids.insert(pid);
            // Each instance's high-water mark covers its peaks between two samples; their
            // sum bounds what the instances held at once.
            together += qMax(statusKib(QString::number(pid), "VmHWM"),
                             statusKib(QString::number(pid), "VmRSS"));
        }
        peakKib = qMax(peakKib, together);
    }
};

// How often the run is sampled.
constexpr int kSampleMs = 100;

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    QuorvApp app;
    QString report;
    app.setReportSink([&](const QString&, const QString& text) { report = text; });
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const int pool = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : defaultPoolSize();
    if (n < 10 || pool < 1) {
        std::fprintf(stderr, "usage: bench_soak [N [POOL]]   (N at least 10)\n");
        return 2;
    }
    QTemporaryDir tmp;
    globals().ap_path = tmp.path();
    globals().profile = tmp.filePath(QStringLiteral("tovk.ini"));
    writeSetting(globals().profile, Key::Pool, QString::number(pool));
    const QString src = tmp.filePath(QStringLiteral("源 文件"));
    const QString out = tmp.filePath(QStringLiteral("out"));
    QDir().mkpath(src);
    QDir().mkpath(out);

    // One document made through the engine, copied under every name (not timed).
    const QString model = tmp.filePath(QStringLiteral("model.docx"));
    {
        office::OfficeSession session;
        const QString flat = tmp.filePath(QStringLiteral("model.fodt"));
        if (!testing::writeFlatText(flat, {QStringLiteral("长跑 soak document, 第一页"),
                                           QStringLiteral("Second page 第二页")}) ||
            !testing::saveThroughWord(flat, model, 16)) {
            std::fprintf(stderr, "cannot make the model document\n");
            return 1;
        }
    }
    const QByteArray good = readAll(model);
    const std::vector<Corrupt> corrupt{
        {QStringLiteral("坏 截断.docx"), good.left(good.size() / 3)},
        {QStringLiteral("empty.docx"), QByteArray()},
        {QStringLiteral("垃圾 bytes.docx"), QByteArray(4096, '\x9c')},
    };
    const int goodCount = n - int(corrupt.size());
    QStringList files;
    int chinese = 0;
    for (int i = 0; i < goodCount; ++i) {
        const bool cn = i % 50 == 7;
        const QString name = cn ? QStringLiteral("报告 %1 号.docx").arg(i, 4, 10, QLatin1Char('0'))
                                : QStringLiteral("doc%1.docx").arg(i, 4, 10, QLatin1Char('0'));
        if (!writeFile(src + QLatin1Char('/') + name, good)) return 1;
        files << src + QLatin1Char('/') + name;
        if (cn) ++chinese;
    }
    for (const Corrupt& c : corrupt) {
        if (!writeFile(src + QLatin1Char('/') + c.name, c.data)) return 1;
    }

    testing::ScriptedDesktop desktop;
    w_frn w(desktop);
    w.open(QSize(1280, 768));
    w.sle_2->setText(out);
    w.setOutputMode(OutputMode::Pdf);

    // The long run over every good document.
    OfficeSampler office;
    std::vector<std::pair<int, qint64>> ours;  // (rows done, VmRSS KiB) along the run
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        office.sample();
        ours.emplace_back(testing::rowsWith(w, QStringLiteral("成功")),
                          statusKib(QStringLiteral("self"), "VmRSS"));
    });
    sampler.start(kSampleMs);
    testing::setRows(w, files);
    const qint64 rssBefore = statusKib(QStringLiteral("self"), "VmRSS");
    QElapsedTimer t;
    t.start();
    w.cb_3_clicked();
    const double seconds = t.nsecsElapsed() / 1e9;
    sampler.stop();
    const QString closing = desktop.messages.empty() ? QString() : desktop.messages.back().text;
    const int converted = testing::rowsWith(w, QStringLiteral("成功"));
    const int pdfs = int(QDir(out).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
    const qint64 ourPeak = statusKib(QStringLiteral("self"), "VmHWM");
    const qint64 leftRunning = OfficeInstance::runningPids().size();

    std::printf("documents %d: %d good (%d with Chinese names), %d corrupt; pool %d\n", n,
                goodCount, chinese, int(corrupt.size()), pool);
    std::printf("long run: %d of %d rows \"成功\", %d PDFs written, closing message \"%s\"%s\n",
                converted, goodCount, pdfs, closing.toUtf8().constData(),
                report.isEmpty() ? "" : (" error report: " + report.toUtf8()).constData());
    std::printf("time %.1f s, %.2f documents/second (office start and end included)\n", seconds,
                converted / seconds);
    std::printf("our process: peak resident %.1f MiB (VmHWM)\n", mib(ourPeak));
    std::printf("our resident size before the run %.1f MiB, then at rows done:", mib(rssBefore));
    for (int pct : {1, 10, 25, 50, 75, 100}) {
        if (ours.empty()) break;
        const size_t i = qMin(ours.size() - 1, ours.size() * pct / 100);
        std::printf(" %d: %.1f", ours[i].first, mib(ours[i].second));
    }
    std::printf(" MiB\n");
    if (ours.size() > 10) {
        const qint64 from = ours[ours.size() / 10].second;
        std::printf("our growth from row %d to the last row: %+.1f MiB\n",
                    ours[ours.size() / 10].first, mib(ours.back().second - from));
    }
    std::printf("office: %d instances seen, %lld left running\n", int(office.pids.size()),
                leftRunning);

    // Each corrupt document in a short run of its own, before a good one.
    bool corruptHandled = true;  // every run ended without leftovers and the window back
    for (const Corrupt& c : corrupt) {
        report.clear();
        desktop.messages.clear();
        testing::setRows(w, {src + QLatin1Char('/') + c.name, files.front()});
        w.cb_3_clicked();
        const QStringList words = testing::resultWords(w);
        const QString message =
            report.isEmpty() ? (desktop.messages.empty() ? QString() : desktop.messages.back().text)
                             : QStringLiteral("error report: ") + report.simplified();
        std::printf("corrupt \"%s\" then a good one: rows \"%s\" / \"%s\"; %s\n",
                    c.name.toUtf8().constData(), words.value(0).toUtf8().constData(),
                    words.value(1).toUtf8().constData(), message.toUtf8().constData());
        const bool clean =
            OfficeInstance::runningPids().isEmpty() && !desktop.minimized && desktop.busyDepth == 0;
        const char* verdict = !clean ? "NOT ended cleanly"
                              : !report.isEmpty()
                                  ? "refused by the office: the run ended with the error report"
                              : words.value(0) == QStringLiteral("成功")
                                  ? "read by the office as a plain text and converted"
                                  : "failed, the run went on";
        std::printf("  -> %s\n", verdict);
        corruptHandled = corruptHandled && clean;
    }

    const bool goal = converted == goodCount && pdfs == goodCount && leftRunning == 0 &&
                      corruptHandled && mib(office.peakKib) < 800;
    std::printf(
        "goal %s (every good document converted, the corrupt runs ended cleanly, offices < 800 "
        "MiB together)\n",
        goal ? "reached" : "missed");
    std::printf("peak_mib %.1f\n", mib(office.peakKib));
    return goal ? 0 : 1;
}
