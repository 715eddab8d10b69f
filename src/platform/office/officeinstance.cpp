#include "platform/office/officeinstance.h"

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
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/XCellAddressable.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XSearchDescriptor.hpp>
#include <com/sun/star/util/XSearchable.hpp>
#include <condition_variable>
#include <cppuhelper/bootstrap.hxx>
#include <mutex>
#include <thread>

#include "convert/programrun.h"

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace quorv::office {

void fail(const QString& message) { throw DispatchError{kErrCallFailed, message}; }

namespace {

constexpr char kProgramDir[] = "/usr/lib/libreoffice/program";
// soffice.bin exits with this status after it has set up a new profile, asking to be run
// once more.
constexpr int kRestartStatus = 81;

std::atomic<int> gCallTimeoutMs{120000};
std::atomic<int> gStartTimeoutMs{30000};

OUString toOU(const QString& s) {
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), sal_Int32(s.size()));
}

QString fromOU(const OUString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getStr()), qsizetype(s.getLength()));
}

OUString fileUrl(const QString& path) {
    // Percent-encoded UTF-8, so Chinese names and blanks reach LibreOffice intact.
    return toOU(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

css::beans::PropertyValue prop(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

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

}  // namespace

struct LoadedDocument {
    Reference<css::lang::XComponent> component;
    std::optional<DocumentKind> kind;  // asked of LibreOffice when first needed
    QString path;
};

struct OfficeInstance::Impl {
    QProcess process;
    qint64 pid = 0;
    QString pipe;
    QString profile;
    std::unique_ptr<QLockFile> profileLock;
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
        throw DispatchError{kErrCallFailed, message, !timedOut};
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
            if (!processRuns(pid)) broken = true;
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
                profileLock = std::move(lock);
                return true;
            }
        }
        return false;
    }

    void launch() {
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

    void reap() {
        if (pid > 0) {
            removeGroup(pid_t(pid));
            killGroup(SIGKILL);
        }
        process.waitForFinished(3000);
        pid = 0;
    }

    bool tryConnect() {
        try {
            Reference<css::bridge::XUnoUrlResolver> resolver =
                css::bridge::UnoUrlResolver::create(localContext());
            Reference<css::uno::XInterface> remote = resolver->resolve(
                toOU(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe)));
            Reference<css::uno::XComponentContext> ctx(remote, UNO_QUERY_THROW);
            desktop = css::frame::Desktop::create(ctx);
            return desktop.is();
        } catch (const css::connection::NoConnectException&) {
        } catch (const css::uno::Exception&) {
        }
        return false;
    }
};

std::shared_ptr<OfficeInstance> OfficeInstance::start(QString* error) {
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

    auto d = std::make_unique<Impl>();
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
qint64 OfficeInstance::pid() const { return d->pid; }
QString OfficeInstance::pipeName() const { return d->pipe; }
QString OfficeInstance::profileDir() const { return d->profile; }
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
    d->profileLock.reset();
}

void OfficeInstance::kill() {
    d->broken = true;
    d->killGroup(SIGKILL);
}

DocumentRef OfficeInstance::load(const QString& path, bool readOnly, const QString& filter) {
    const QString what = QStringLiteral("open ") + path;
    if (!QFileInfo(path).isFile()) fail(what + QStringLiteral(": no such file"));
    auto doc = std::make_shared<LoadedDocument>();
    doc->path = path;
    doc->component = d->guarded(what, [&] {
        const css::beans::PropertyValue values[] = {
            prop("Hidden", css::uno::Any(true)),
            prop("ReadOnly", css::uno::Any(readOnly)),
            prop("MacroExecutionMode",
                 css::uno::Any(sal_Int16(css::document::MacroExecMode::NEVER_EXECUTE))),
            prop("UpdateDocMode",
                 css::uno::Any(sal_Int16(css::document::UpdateDocMode::NO_UPDATE))),
            prop("FilterName", css::uno::Any(toOU(filter))),
        };
        // The last one only when an import filter is forced.
        css::uno::Sequence<css::beans::PropertyValue> args(values, filter.isEmpty() ? 4 : 5);
        return d->desktop->loadComponentFromURL(fileUrl(path), "_blank", 0, args);
    });
    if (!doc->component.is()) fail(what + QStringLiteral(": LibreOffice cannot read the file"));
    ++d->docs;
    ++d->openDocs;
    return doc;
}

DocumentKind OfficeInstance::kind(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("no document"));
    if (doc->kind) return *doc->kind;
    // One remote call for the service names instead of one per service asked.
    doc->kind = d->guarded(QStringLiteral("document type"), [&] {
        Reference<css::lang::XServiceInfo> info(doc->component, UNO_QUERY);
        if (!info.is()) return DocumentKind::Other;
        const css::uno::Sequence<OUString> names = info->getSupportedServiceNames();
        auto has = [&](const char* service) {
            const OUString s = OUString::createFromAscii(service);
            for (const OUString& n : names) {
                if (n == s) return true;
            }
            return false;
        };
        if (has("com.sun.star.text.WebDocument")) return DocumentKind::Web;
        if (has("com.sun.star.text.TextDocument")) return DocumentKind::Text;
        if (has("com.sun.star.sheet.SpreadsheetDocument")) return DocumentKind::Spreadsheet;
        if (has("com.sun.star.presentation.PresentationDocument"))
            return DocumentKind::Presentation;
        if (has("com.sun.star.drawing.DrawingDocument")) return DocumentKind::Drawing;
        return DocumentKind::Other;
    });
    return *doc->kind;
}

void OfficeInstance::store(const DocumentRef& doc, const QString& path, const QString& filter,
                           const QString& filterOptions) {
    d->guarded(QStringLiteral("store ") + path, [&] {
        css::uno::Sequence<css::beans::PropertyValue> args(filterOptions.isEmpty() ? 2 : 3);
        args.getArray()[0] = prop("FilterName", css::uno::Any(toOU(filter)));
        args.getArray()[1] = prop("Overwrite", css::uno::Any(true));
        if (!filterOptions.isEmpty()) {
            args.getArray()[2] = prop("FilterOptions", css::uno::Any(toOU(filterOptions)));
        }
        Reference<css::frame::XStorable> storable(doc->component, UNO_QUERY_THROW);
        storable->storeToURL(fileUrl(path), args);
    });
}

QString OfficeInstance::sourcePath(const DocumentRef& doc) { return doc ? doc->path : QString(); }

void OfficeInstance::close(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) return;
    Reference<css::lang::XComponent> component = doc->component;
    doc->component.clear();
    --d->openDocs;
    if (!d->alive()) return;
    try {
        d->guarded(QStringLiteral("close ") + doc->path, [&] {
            Reference<css::util::XCloseable> closeable(component, UNO_QUERY);
            if (closeable.is()) {
                closeable->close(true);
            } else {
                component->dispose();
            }
        });
    } catch (const DispatchError&) {
        // A document that refuses to close goes with its instance.
    }
}

namespace {

Reference<css::util::XSearchDescriptor> plainSearch(const Reference<css::util::XSearchable>& s,
                                                    const QString& text) {
    Reference<css::util::XSearchDescriptor> desc = s->createSearchDescriptor();
    desc->setSearchString(toOU(text));
    Reference<css::beans::XPropertySet> props(desc, UNO_QUERY_THROW);
    props->setPropertyValue("SearchCaseSensitive", css::uno::Any(false));
    props->setPropertyValue("SearchWords", css::uno::Any(false));
    props->setPropertyValue("SearchRegularExpression", css::uno::Any(false));
    return desc;
}

}  // namespace

bool OfficeInstance::findText(const DocumentRef& doc, const QString& text) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("find: no document"));
    if (text.isEmpty()) return false;
    return d->guarded(QStringLiteral("find"), [&] {
        Reference<css::util::XSearchable> searchable(doc->component, UNO_QUERY);
        if (!searchable.is()) return false;
        return searchable->findFirst(plainSearch(searchable, text)).is();
    });
}

int OfficeInstance::sheetCount(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("worksheets: no workbook"));
    return d->guarded(QStringLiteral("worksheets"), [&] {
        Reference<css::sheet::XSpreadsheetDocument> book(doc->component, UNO_QUERY);
        if (!book.is()) return 0;
        Reference<css::container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
        return int(sheets->getCount());
    });
}

std::optional<CellHit> OfficeInstance::findInSheet(const DocumentRef& doc, int index,
                                                   const QString& text) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("find: no workbook"));
    return d->guarded(QStringLiteral("find"), [&]() -> std::optional<CellHit> {
        Reference<css::sheet::XSpreadsheetDocument> book(doc->component, UNO_QUERY_THROW);
        Reference<css::container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
        if (index < 1 || index > sheets->getCount()) fail(QStringLiteral("no sheet %1").arg(index));
        Reference<css::util::XSearchable> searchable(sheets->getByIndex(index - 1),
                                                     UNO_QUERY_THROW);
        if (text.isEmpty()) return std::nullopt;
        Reference<css::uno::XInterface> found =
            searchable->findFirst(plainSearch(searchable, text));
        if (!found.is()) return std::nullopt;
        CellHit hit;
        Reference<css::sheet::XCellAddressable> addressable(found, UNO_QUERY);
        if (addressable.is()) {
            const css::table::CellAddress a = addressable->getCellAddress();
            hit.row = int(a.Row) + 1;
            hit.column = int(a.Column) + 1;
        }
        Reference<css::text::XTextRange> range(found, UNO_QUERY);
        if (range.is()) hit.text = fromOU(range->getString());
        return hit;
    });
}

void OfficeInstance::setCallTimeoutMs(int ms) { gCallTimeoutMs = ms; }
int OfficeInstance::callTimeoutMs() { return gCallTimeoutMs; }
void OfficeInstance::setStartTimeoutMs(int ms) { gStartTimeoutMs = ms; }
int OfficeInstance::startTimeoutMs() { return gStartTimeoutMs; }

QList<qint64> OfficeInstance::runningPids() {
    std::lock_guard lock(gRunningMutex);
    QList<qint64> pids;
    for (Impl* impl : gRunning) {
        if (processRuns(impl->pid)) pids.append(impl->pid);
    }
    return pids;
}

bool runTool(const QString& program, const QStringList& args, int timeoutMs, QString* errorOutput) {
    ProgramStart start;
    start.program = program;
    start.arguments = args;
    start.dieWithParent = true;
    ProgramLimits limits;
    limits.timeoutMs = timeoutMs;
    const ProgramResult run = runProgram(start, limits);
    if (errorOutput) *errorOutput = run.errorText;
    return run.succeeded;
}

bool pdfToXps(const QString& pdfPath, const QString& xpsPath, QString* error) {
    const QStringList args{
        QStringLiteral("-dSAFER"),
        QStringLiteral("-dBATCH"),
        QStringLiteral("-dNOPAUSE"),
        QStringLiteral("-dQUIET"),
        QStringLiteral("-sDEVICE=xpswrite"),
        QStringLiteral("-sOutputFile=") +
            QFileInfo(xpsPath).absoluteFilePath().replace(QLatin1Char('%'), QStringLiteral("%%")),
        QFileInfo(pdfPath).absoluteFilePath(),
    };
    // Absolute paths, so neither can be read as an option or a pipe; "%" would be read
    // as a page-number pattern.
    const QString out = QFileInfo(xpsPath).absoluteFilePath();
    QFile::remove(out);
    if (!runTool(QStringLiteral("gs"), args, gCallTimeoutMs.load(), error)) return false;
    return QFileInfo(out).size() > 0;
}

}  // namespace quorv::office
