#pragma once

// The inside of an office instance, shared by its process side (officeinstance.cpp) and
// its document calls (officedocuments.cpp). Only the engine includes it: it brings UNO.

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "core/programrun.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officeprofile.h"
#include "engines/office/officesandbox.h"

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace quorv::office {

inline OUString toOU(const QString& s) {
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), sal_Int32(s.size()));
}

inline QString fromOU(const OUString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getStr()), qsizetype(s.getLength()));
}

inline OUString fileUrl(const QString& path) {
    // Percent-encoded UTF-8, so Chinese names and blanks reach LibreOffice intact.
    return toOU(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

inline css::beans::PropertyValue prop(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

inline constexpr char kProgramDir[] = "/usr/lib/libreoffice/program";

// Defined with the process side.
extern std::atomic<int> gCallTimeoutMs;
Reference<css::uno::XComponentContext> localContext();
bool processRuns(qint64 pid);
QString profileRoot();
QProcessEnvironment officeEnvironment();
// LibreOffice's process in the process group `group` (the sandbox it runs in), or the
// group's leader when none is found.
qint64 officeProcessIn(qint64 group);
void addGroup(pid_t g);
void removeGroup(pid_t g);

struct LoadedDocument {
    Reference<css::lang::XComponent> component;
    std::optional<DocumentKind> kind;  // asked of LibreOffice when first needed
    QString path;
    QString staged;  // the exchange folder it was loaded from (removed at close), or empty
};

struct OfficeInstance::Impl {
    QProcess process;
    qint64 pid = 0;        // the process started: the sandbox, or LibreOffice itself
    qint64 officePid = 0;  // LibreOffice's own process
    QString pipe;
    QString profile;
    std::unique_ptr<QLockFile> profileLock;
    LinkAccess access = LinkAccess::None;
    bool sandboxed = false;
    // Beside the profile: the exchange folder and the instance's /tmp.
    QString runDir;
    QString pipeLink;  // our end of the sandboxed instance's pipe, in this system's /tmp
    int exchanged = 0;
    Reference<css::frame::XDesktop2> desktop;
    std::atomic<bool> broken{false};
    std::atomic<bool> timedOut{false};
    int docs = 0;
    int openDocs = 0;

    // Watchdog: a thread that kills the process group when an armed call overruns.
    std::thread watchdog;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool armed = false;
    std::chrono::steady_clock::time_point deadline;

    ~Impl() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            wake.notify_all();
        }
        if (watchdog.joinable()) watchdog.join();
        if (pid > 0) reap();
    }

    void killGroup(int sig) {
        if (pid > 0) {
            ::kill(-pid_t(pid), sig);
            ::kill(pid_t(pid), sig);
        }
    }

    // The watchdog sleeps until the earliest deadline it knows of and is woken only when
    // a call arms an earlier one: a call costs no thread switch of its own.
    std::chrono::steady_clock::time_point sleepingUntil =
        std::chrono::steady_clock::time_point::max();

    void runWatchdog() {
        using Clock = std::chrono::steady_clock;
        std::unique_lock lock(mutex);
        while (!stopping) {
            sleepingUntil = armed ? deadline : Clock::time_point::max();
            if (armed) {
                wake.wait_until(lock, sleepingUntil);
            } else {
                wake.wait(lock);
            }
            if (!stopping && armed && Clock::now() >= deadline) {
                timedOut = true;
                broken = true;
                armed = false;
                killGroup(SIGKILL);
            }
        }
    }

    void arm(int ms) {
        std::lock_guard lock(mutex);
        armed = true;
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        if (deadline < sleepingUntil) {
            sleepingUntil = deadline;
            wake.notify_all();
        }
    }

    void disarm() {
        std::lock_guard lock(mutex);
        armed = false;
    }

    bool alive() {
        if (broken) return false;
        if (!processRuns(pid)) {
            broken = true;
            return false;
        }
        return true;
    }

    // A failure because the process is gone; one the watchdog caused is no death, since
    // the same document would only hang again.
    [[noreturn]] void failGone(const QString& message) {
        throw DispatchError{kErrCallFailed, message, !timedOut,
                            timedOut ? FailReason::Timeout : FailReason::OfficeDied};
    }

    // Whether the instance still takes a call (under the watchdog of the call that asks).
    bool answers() {
        if (!desktop.is()) return false;
        try {
            desktop->getCurrentComponent();
            return true;
        } catch (const css::uno::Exception&) {
            return false;
        }
    }

    // Runs one call into LibreOffice under the watchdog; UNO failures become code 35.
    template <class F>
    auto guarded(const QString& what, F f, int timeoutMs = -1) -> decltype(f()) {
        if (!alive()) failGone(what + QStringLiteral(": the office instance is not running"));
        struct Arm {
            Impl& d;
            Arm(Impl& impl, int ms) : d(impl) { d.arm(ms); }
            ~Arm() { d.disarm(); }
        } arming(*this, timeoutMs > 0 ? timeoutMs : gCallTimeoutMs.load());
        try {
            return f();
        } catch (const css::lang::DisposedException&) {
            broken = true;
        } catch (const css::uno::RuntimeException& e) {
            // A killed instance drops its connection a moment before the system shows it
            // gone: a connection that no longer answers is a dead instance.
            if (!processRuns(pid) || !answers()) broken = true;
            if (!broken) fail(what + QStringLiteral(": ") + fromOU(e.Message));
        } catch (const css::uno::Exception& e) {
            if (!processRuns(pid)) broken = true;
            if (!broken) fail(what + QStringLiteral(": ") + fromOU(e.Message));
        }
        failGone(what + (timedOut ? QStringLiteral(": timed out, the office instance was killed")
                                  : QStringLiteral(": the office instance died")));
    }

    bool takeProfileSlot() {
        QString root = profileRoot();
        if (!QDir().mkpath(root) || !QFileInfo(root).isWritable()) {
            root = QDir::tempPath() + QStringLiteral("/quorvane-office-%1").arg(::getuid());
            if (!QDir().mkpath(root)) return false;
        }
        // A profile folder is kept from run to run (a ready profile starts much faster
        // than a new one); the lock keeps two instances from ever sharing one.
        for (int n = 0; n < 256; ++n) {
            auto lock =
                std::make_unique<QLockFile>(root + QStringLiteral("/profile-%1.lock").arg(n));
            lock->setStaleLockTime(0);
            if (lock->tryLock(0)) {
                profile = root + QStringLiteral("/profile-%1").arg(n);
                runDir = root + QStringLiteral("/run-%1").arg(n);
                profileLock = std::move(lock);
                return true;
            }
        }
        return false;
    }

    QString exchangeDir() const { return runDir + QStringLiteral("/x"); }
    QString tmpDir() const { return runDir + QStringLiteral("/tmp"); }

    // A new folder in the exchange folder; empty when it cannot be made.
    QString exchangeFolder(const char* prefix) {
        const QString dir =
            exchangeDir() + QLatin1Char('/') + QLatin1String(prefix) + QString::number(++exchanged);
        QDir(dir).removeRecursively();
        return QDir().mkpath(dir) ? dir : QString();
    }

    void launch() {
        // start() refuses to go on without the sandbox.
        sandboxed = sandboxWorks();
        prepareProfile(profile, access == LinkAccess::LocalFiles);
        removePipeLink();
        QDir(runDir).removeRecursively();
        QDir().mkpath(exchangeDir());
        QDir().mkpath(tmpDir());
        QStringList args{
            QStringLiteral("--headless"),
            QStringLiteral("--invisible"),
            QStringLiteral("--nocrashreport"),
            QStringLiteral("--nodefault"),
            QStringLiteral("--nologo"),
            QStringLiteral("--nofirststartwizard"),
            QStringLiteral("--norestore"),
            QStringLiteral("--nolockcheck"),
            QStringLiteral("-env:UserInstallation=") +
                QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
            QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe),
        };
        ProgramStart start;
        start.program = QString::fromLatin1(kProgramDir) + QStringLiteral("/soffice.bin");
        start.arguments = args;
        if (sandboxed) {
            SandboxLayout layout;
            layout.profile = profile;
            layout.exchange = exchangeDir();
            layout.tmp = tmpDir();
            layout.fonts = userFontFolders();
            layout.access = access;
            start.arguments =
                sandboxArguments(layout) + QStringList{QStringLiteral("--"), start.program} + args;
            start.program = sandboxProgram();
        }
        start.environment = officeEnvironment();
        // LibreOffice's own chatter would mix into our programs' output.
        start.errors = ErrorOutput::Discard;
        // Its own process group, so that ending it reaches every helper it starts; and
        // it dies with the thread that started it, even when this program is killed.
        start.ownProcessGroup = true;
        start.dieWithParent = true;
        pid = startProgram(process, start) ? process.processId() : 0;
        if (pid > 0) addGroup(pid_t(pid));
    }

    // The sandboxed instance makes its pipe in its own /tmp; a link in ours under the same
    // name is what a UNO client connects to.
    bool linkPipe() {
        if (!sandboxed || access == LinkAccess::LocalFiles || !pipeLink.isEmpty()) return true;
        const QStringList names = QDir(tmpDir()).entryList(
            {QStringLiteral("OSL_PIPE_*") + pipe}, QDir::System | QDir::Files | QDir::Hidden);
        if (names.isEmpty()) return false;
        const QString link = QStringLiteral("/tmp/") + names.first();
        QFile::remove(link);
        if (!QFile::link(tmpDir() + QLatin1Char('/') + names.first(), link)) return false;
        pipeLink = link;
        return true;
    }

    void removePipeLink() {
        if (!pipeLink.isEmpty()) QFile::remove(pipeLink);
        pipeLink.clear();
    }

    void reap() {
        removePipeLink();
        if (pid > 0) {
            removeGroup(pid_t(pid));
            killGroup(SIGKILL);
        }
        process.waitForFinished(3000);
        pid = 0;
        officePid = 0;
    }

    bool tryConnect() {
        if (!linkPipe()) return false;
        try {
            Reference<css::bridge::XUnoUrlResolver> resolver =
                css::bridge::UnoUrlResolver::create(localContext());
            Reference<css::uno::XInterface> remote = resolver->resolve(
                toOU(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe)));
            Reference<css::uno::XComponentContext> ctx(remote, UNO_QUERY_THROW);
            desktop = css::frame::Desktop::create(ctx);
            if (desktop.is()) officePid = sandboxed ? officeProcessIn(pid) : pid;
            return desktop.is();
        } catch (const css::connection::NoConnectException&) {
        } catch (const css::uno::Exception&) {
        }
        return false;
    }
};

}  // namespace quorv::office
