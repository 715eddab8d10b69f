#pragma once

// quorvoffice started as the user would start it, in a runtime folder of its own, and a
// working folder for the quorvcli calls it serves. A test that includes this names both
// programs (QUORVOFFICE_PATH, QUORVCLI_PATH).

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "core/ini.h"
#include "core/passwords.h"
#include "programs/quorvcli/cli_run.h"

namespace quorv::testing {

class OfficeService {
  public:
    // Ready once its instances answer: the socket is there and an office runs.
    bool start(const QStringList& args = {QStringLiteral("--pool"), QStringLiteral("2")}) {
        ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(runtime.path());
        process.start(QStringLiteral(QUORVOFFICE_PATH), args);
        if (!process.waitForStarted(10000)) return false;
        return waitFor([&] { return QFileInfo::exists(socket()) && offices().size() >= 1; }, 60000);
    }
    QString socket() const { return runtime.path() + QStringLiteral("/quorvoffice.sock"); }
    qint64 pid() const { return process.processId(); }
    QStringList offices() const { return officesLeftBy(pid()); }
    static bool waitFor(const std::function<bool()>& done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms) return false;
            QThread::msleep(50);
        }
        return true;
    }
    ~OfficeService() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(30000)) process.kill();
            process.waitForFinished(5000);
        }
    }

    QTemporaryDir runtime;
    QProcess process;
};

// A working folder for quorvcli: its settings file, with the open passwords given, and
// its SWF folder.
struct CliWork {
    QTemporaryDir dir;
    QString swf = dir.filePath(QStringLiteral("swf"));

    explicit CliWork(const QStringList& passwords = {}) {
        QDir().mkpath(swf);
        writeIniKey(settings(), QStringLiteral("other"), QStringLiteral("swfpath"), swf);
        if (!passwords.isEmpty()) writeOpenPasswords(settings(), passwords);
    }
    QString settings() const { return dir.filePath(QStringLiteral("tovk.ini")); }
    QStringList swfFiles() const { return QDir(swf).entryList(QDir::Files, QDir::Name); }
    // Everything in pdf/, hidden entries and folders included.
    QStringList pdfEntries() const {
        return QDir(dir.filePath(QStringLiteral("pdf")))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

}  // namespace quorv::testing
