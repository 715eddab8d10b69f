#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <typelib/typedescription.hxx>

#include "engines/office/officeimpl.h"

namespace quorv::office {

void fail(const QString& message, FailReason reason) {
    throw DispatchError{kErrCallFailed, message, false, reason};
}

// soffice.bin exits with this status after it has set up a new profile, asking to be run
// once more.
constexpr int kRestartStatus = 81;

std::atomic<int> gCallTimeoutMs{120000};
std::atomic<int> gStartTimeoutMs{30000};

// The local UNO context, bootstrapped once per process.
Reference<css::uno::XComponentContext> localContext() {
    static std::once_flag once;
    static Reference<css::uno::XComponentContext> ctx;
    static QString error;
    std::call_once(once, [] {
        if (!qEnvironmentVariableIsSet("URE_BOOTSTRAP")) {
            qputenv("URE_BOOTSTRAP",
                    QByteArray("vnd.sun.star.pathname:") + kProgramDir + "/fundamentalrc");
        }
        try {
            ctx = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception& e) {
            error = fromOU(e.Message);
        }
        // A bootstrap file that names no type library (URE_BOOTSTRAP pointing at nothing)
        // still gives a context; the first remote call through it would then crash.
        if (ctx.is() && !css::uno::TypeDescription(OUString("com.sun.star.frame.XDesktop2")).is()) {
            error = QStringLiteral("LibreOffice's type library cannot be read");
            ctx.clear();
        }
    });
    if (!ctx.is()) fail(QStringLiteral("UNO bootstrap failed: ") + error);
    return ctx;
}

// Process groups of running instances, readable from a signal handler.
constexpr int kMaxGroups = 64;
std::atomic<pid_t> gGroups[kMaxGroups];

void addGroup(pid_t g) {
    for (auto& slot : gGroups) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, g)) return;
    }
}

void removeGroup(pid_t g) {
    for (auto& slot : gGroups) {
        pid_t expected = g;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

extern "C" void killGroupsAndReraise(int sig) {
    for (auto& slot : gGroups) {
        const pid_t g = slot.load();
        if (g > 0) ::kill(-g, SIGKILL);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

// Termination signals and crashes of this program take the instances with them. The
// children also carry a parent-death signal; this covers their process groups as well.
void installSignalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE}) {
            struct sigaction old {};
            // Handlers the program installed itself are left alone.
            if (::sigaction(sig, nullptr, &old) != 0) continue;
            if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
            struct sigaction sa {};
            sa.sa_handler = killGroupsAndReraise;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESETHAND;
            ::sigaction(sig, &sa, nullptr);
        }
        // A write into the pipe of an instance that just died must fail the call, not end
        // this program.
        struct sigaction pipe {};
        if (::sigaction(SIGPIPE, nullptr, &pipe) == 0 && !(pipe.sa_flags & SA_SIGINFO) &&
            pipe.sa_handler == SIG_DFL) {
            ::signal(SIGPIPE, SIG_IGN);
        }
    });
}

bool processRuns(qint64 pid) {
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0) return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'Z';
}

qint64 officeProcessIn(qint64 group) {
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == group) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (comm) state ppid pgrp ..."
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open || line.mid(open + 1, close - open - 1) != "soffice.bin") {
            continue;
        }
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 2 && fields[2].toLongLong() == group) return pid;
    }
    return group;
}

QString profileRoot() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return base + QStringLiteral("/quorvane/office");
}

// The environment of soffice: its file names must be read as UTF-8.
QProcessEnvironment officeEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString locale = env.value(QStringLiteral("LC_ALL"));
    if (locale.isEmpty()) locale = env.value(QStringLiteral("LC_CTYPE"));
    if (locale.isEmpty()) locale = env.value(QStringLiteral("LANG"));
    const QString l = locale.toLower();
    if (!l.contains(QLatin1String("utf-8")) && !l.contains(QLatin1String("utf8"))) {
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    }
    env.remove(QStringLiteral("URE_BOOTSTRAP"));
    return env;
}

std::mutex gRunningMutex;
QList<OfficeInstance::Impl*> gRunning;

std::shared_ptr<OfficeInstance> OfficeInstance::start(QString* error, LinkAccess access) {
    auto setError = [&](const QString& e) {
        if (error) *error = e;
        return nullptr;
    };
    try {
        localContext();
    } catch (const DispatchError& e) {
        return setError(e.message);
    }
    installSignalHandlers();
    // LibreOffice's own settings alone still let some links through (fields, web pages):
    // without the sandbox no document is opened at all.
    QString why;
    if (!sandboxWorks(&why)) {
        return setError(QStringLiteral("the office sandbox cannot start: ") + why);
    }

    auto d = std::make_unique<Impl>();
    d->access = access;
    if (!d->takeProfileSlot()) return setError(QStringLiteral("no free profile folder"));
    static std::atomic<int> counter{0};
    d->pipe = QStringLiteral("quorv_%1_%2_%3")
                  .arg(::getpid())
                  .arg(counter++)
                  .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));

    // The watchdog also bounds a connect that hangs on a pipe that never answers.
    d->watchdog = std::thread([impl = d.get()] { impl->runWatchdog(); });
    QDeadlineTimer deadline(gStartTimeoutMs.load());
    bool wipedProfile = false;
    int launches = 0;
    while (true) {
        if (++launches > 4) return setError(QStringLiteral("soffice keeps exiting"));
        d->launch();
        if (d->pid <= 0) {
            d->reap();
            return setError(QStringLiteral("soffice could not be started: ") +
                            d->process.errorString());
        }
        bool connected = false;
        bool exited = false;
        while (!deadline.hasExpired()) {
            d->arm(int(qMax<qint64>(deadline.remainingTime(), 1)));
            connected = d->tryConnect();
            d->disarm();
            if (connected || d->timedOut) break;
            if (d->process.waitForFinished(10)) {
                exited = true;
                break;
            }
        }
        if (connected && !d->timedOut) break;
        if (!exited || d->timedOut) {
            d->reap();
            return setError(QStringLiteral("soffice did not answer in time"));
        }
        const int status = d->process.exitCode();
        d->reap();
        if (status == kRestartStatus) continue;
        // A profile left broken by a killed instance is rebuilt once.
        if (!wipedProfile) {
            wipedProfile = true;
            QDir(d->profile).removeRecursively();
            continue;
        }
        return setError(QStringLiteral("soffice exited with status %1").arg(status));
    }

    {
        std::lock_guard lock(gRunningMutex);
        gRunning.append(d.get());
    }
    return std::shared_ptr<OfficeInstance>(new OfficeInstance(std::move(d)));
}

OfficeInstance::OfficeInstance(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

OfficeInstance::~OfficeInstance() {
    end();
    std::lock_guard lock(gRunningMutex);
    gRunning.removeAll(d.get());
}

bool OfficeInstance::isAlive() { return d->alive(); }
qint64 OfficeInstance::pid() const { return d->officePid > 0 ? d->officePid : d->pid; }
QString OfficeInstance::pipeName() const { return d->pipe; }
QString OfficeInstance::profileDir() const { return d->profile; }
LinkAccess OfficeInstance::linkAccess() const { return d->access; }
bool OfficeInstance::sandboxed() const { return d->sandboxed; }
int OfficeInstance::documentsLoaded() const { return d->docs; }
int OfficeInstance::documentsOpen() const { return d->openDocs; }

void OfficeInstance::end() {
    if (d->pid <= 0) return;
    if (d->alive()) {
        try {
            d->guarded(
                QStringLiteral("terminate"), [&] { return d->desktop->terminate(); }, 5000);
        } catch (const DispatchError&) {
        }
    }
    d->desktop.clear();
    if (!d->process.waitForFinished(5000)) {
        d->killGroup(SIGTERM);
        d->process.waitForFinished(3000);
    }
    d->broken = true;
    d->reap();
    QDir(d->runDir).removeRecursively();
    d->profileLock.reset();
}

void OfficeInstance::kill() {
    d->broken = true;
    d->killGroup(SIGKILL);
}

void OfficeInstance::setCallTimeoutMs(int ms) { gCallTimeoutMs = ms; }
int OfficeInstance::callTimeoutMs() { return gCallTimeoutMs; }
void OfficeInstance::setStartTimeoutMs(int ms) { gStartTimeoutMs = ms; }
int OfficeInstance::startTimeoutMs() { return gStartTimeoutMs; }

QList<qint64> OfficeInstance::runningPids() {
    std::lock_guard lock(gRunningMutex);
    QList<qint64> pids;
    for (Impl* impl : gRunning) {
        if (processRuns(impl->pid)) pids.append(impl->officePid > 0 ? impl->officePid : impl->pid);
    }
    return pids;
}

}  // namespace quorv::office
