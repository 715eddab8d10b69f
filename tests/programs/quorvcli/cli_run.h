#pragma once

// Runs the quorvcli program as another program would: in a working directory of its
// own, with an argument list, reading its exit status and output.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "core/ini.h"

namespace quorv::testing {

struct CliRun {
    int status = -1;
    bool crashed = false;
    qint64 pid = 0;
    QString out;
    QString err;
    QDateTime before;  // local time just before the start
    QDateTime after;   // and just after the end
};

// A runtime folder where no office service listens, so that a run converts on its own
// whatever service the machine's user may run.
inline QString noServiceRuntimeFolder() {
    const QString folder = QDir::tempPath() + QStringLiteral("/quorv-test-no-service");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

// `runtimeFolder` is where quorvcli looks for the office service; none listens by default.
inline CliRun runCli(const QString& workdir, const QStringList& args, int timeoutMs = 180000,
                     const QString& runtimeFolder = QString()) {
    CliRun r;
    QProcess p;
    p.setWorkingDirectory(workdir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"),
               runtimeFolder.isEmpty() ? noServiceRuntimeFolder() : runtimeFolder);
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(QUORVCLI_PATH));
    p.setArguments(args);
    r.before = QDateTime::currentDateTime();
    p.start();
    if (!p.waitForStarted(10000)) return r;
    r.pid = p.processId();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.crashed = true;
    }
    r.after = QDateTime::currentDateTime();
    r.crashed = r.crashed || p.exitStatus() != QProcess::NormalExit;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The elog/log value of the settings file in `workdir`; "<none>" when there is none.
inline QString logValue(const QString& workdir) {
    return readIniKey(workdir + QStringLiteral("/tovk.ini"), QStringLiteral("elog"),
                      QStringLiteral("log"), QStringLiteral("<none>"));
}

// Whether `value` is the time stamp of a minute during the run directly followed by
// `rest`.
inline bool stampedDuring(const CliRun& r, const QString& value, const QString& rest) {
    const QString form = QStringLiteral("yy/MM/dd HH:mm");
    QStringList stamps{r.after.toString(form)};
    for (QDateTime t = r.before; t <= r.after; t = t.addSecs(60)) stamps << t.toString(form);
    for (const QString& s : stamps) {
        if (value == s + rest) return true;
    }
    return false;
}

// Office processes that a quorvcli process started and left running: their UNO pipe is
// named after the process that started them.
inline QStringList officesLeftBy(qint64 pid) {
    QStringList left;
    const QByteArray mark = QByteArrayLiteral("pipe,name=quorv_") + QByteArray::number(pid) + '_';
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& e : entries) {
        bool number = false;
        e.toLongLong(&number);
        if (!number) continue;
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(e));
        if (!f.open(QIODevice::ReadOnly)) continue;
        // LibreOffice itself, not the sandbox process around it that names the same pipe.
        const QByteArray cmdline = f.readAll();
        if (cmdline.contains(mark) && cmdline.left(cmdline.indexOf('\0')).endsWith("soffice.bin")) {
            left << e;
        }
    }
    return left;
}

}  // namespace quorv::testing
