#pragma once

// The rounds of the benchmarks that drive the "开始输出" handler headless: one timed click
// on a pool (readied or not), the timed `soffice --convert-to pdf` reference beside it,
// the check that every side made its PDFs, and the best time over the rounds. The
// benchmark links the scripted desktop of the tests.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <thread>

#include "common/benchdocs.h"
#include "convert/automation.h"
#include "convert/batch/run.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "core/pdfoptions.h"
#include "core/quorvapp.h"
#include "engines/office/officebackend.h"
#include "engines/office/officepool.h"
#include "fakes/batch_rows.h"
#include "fakes/scripted_desktop.h"

namespace quorv::bench {

// Offscreen unless the caller's environment says otherwise; set before Qt starts.
struct OffscreenByDefault {
    OffscreenByDefault() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};

// What the click needs before anything: the Qt application, the program's state with its
// reports on standard error, and the real office backend.
class ClickBenchApp : OffscreenByDefault {
  public:
    ClickBenchApp(int& argc, char** argv) : qt_(argc, argv) {
        app_.setReportSink([](const QString&, const QString& text) {
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        });
        office::installOfficeBackend();
    }

  private:
    QApplication qt_;
    QuorvApp app_;
};

// One click on "开始输出" over every file in PDF mode, timed from the click to the
// handler's return (the office instances' start and end included). `warm`: the instances
// were readied when the rows came, as the window does, and are running at the click (not
// timed). `pdf`, when given, is written to the settings first.
inline bool measureClick(const QStringList& files, const QString& outDir, int pool, double* seconds,
                         bool warm = false, const PdfOptions* pdf = nullptr) {
    testing::ScriptedDesktop desktop;
    w_frn w(desktop);
    w.open(QSize(1280, 768));
    writeSetting(globals().profile, Key::Pool, QString::number(pool));
    if (pdf) writePdfOptions(globals().profile, *pdf);
    testing::setRows(w, files);
    w.sle_2->setText(outDir);
    w.setOutputMode(OutputMode::Pdf);
    if (warm) {
        warmWorkerOffices(pool);
        for (int i = 0; i < 600 && office::OfficePool::shared().idleCount() < pool; ++i) {
            QThread::msleep(50);
        }
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

// Each folder emptied for the next round.
inline void emptyFolders(const QStringList& dirs) {
    for (const QString& d : dirs) {
        QDir(d).removeRecursively();
        QDir().mkpath(d);
    }
}

struct SofficeTimes {
    double halves = 0;  // two runs side by side, each on half of the files
    double all = 0;     // one run over all of them
};

// The reference: two `soffice --convert-to pdf` runs side by side on the halves of
// `files` into `halvesDir` (each with its own profile, A and B), then one run over all of
// them into `allDir`, each timed.
inline SofficeTimes timeSoffice(const QStringList& files, const QString& profileA,
                                const QString& profileB, const QString& halvesDir,
                                const QString& profile, const QString& allDir) {
    SofficeTimes times;
    QElapsedTimer t;
    t.start();
    std::thread other([&] { runSoffice(profileB, files.mid(files.size() / 2), halvesDir); });
    runSoffice(profileA, files.mid(0, files.size() / 2), halvesDir);
    other.join();
    times.halves = t.nsecsElapsed() / 1e9;
    t.restart();
    if (!runSoffice(profile, files, allDir)) std::fprintf(stderr, "soffice failed\n");
    times.all = t.nsecsElapsed() / 1e9;
    return times;
}

// Whether every folder holds `count` PDFs; names the first that does not.
inline bool allPdfsMade(const QStringList& dirs, int count) {
    for (const QString& d : dirs) {
        if (countPdfs(d) != count) {
            std::fprintf(stderr, "missing PDFs in %s: %d\n", qPrintable(d), countPdfs(d));
            return false;
        }
    }
    return true;
}

// Keeps the best (smallest) time; the first round's counts whatever it is.
inline void keepBest(int round, double& best, double seconds) {
    if (round == 0 || seconds < best) best = seconds;
}

}  // namespace quorv::bench
