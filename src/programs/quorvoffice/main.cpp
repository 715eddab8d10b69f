// quorvoffice: keeps warm office instances for the user's other programs and runs their
// conversions, until it is told to stop.
//
//   quorvoffice [--pool N] [--idle SECONDS]
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLockFile>
#include <QSocketNotifier>
#include <cstdio>

#include "convert/backend.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "engines/office/officebackend.h"
#include "engines/office/officeclient.h"
#include "engines/office/officepool.h"
#include "programs/quorvoffice/officeservice.h"

namespace {

int gStopPipe[2] = {-1, -1};

extern "C" void askToStop(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gStopPipe[1], &c, 1);
}

void say(const QString& text) {
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stderr);
}

// The value after an option, as a number in [low, high]; nothing when it is not one.
std::optional<int> number(const QStringList& args, int at, int low, int high) {
    bool ok = false;
    const int n = args.value(at + 1).toInt(&ok);
    if (!ok || n < low || n > high) return std::nullopt;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace quorv;
    office::installOfficeBackend();
    keepRunMessages();

    // Defaults from the settings file of the working folder, as the other programs read it.
    const QString profile = profilePathFor(workingDirectoryForApPath());
    int pool = batchPoolSize(profile);
    int idleMs = officeIdleMs(profile);
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        std::optional<int> n;
        if (args[i] == QLatin1String("--pool") && (n = number(args, i, 1, 16))) {
            pool = *n;
        } else if (args[i] == QLatin1String("--idle") && (n = number(args, i, 0, 86400))) {
            idleMs = *n * 1000;
        } else {
            say(QStringLiteral("用法: quorvoffice [--pool 1-16] [--idle 秒]"));
            return 1;
        }
        ++i;
    }

    const QString folder = officeRuntimeFolder();
    if (folder.isEmpty()) {
        say(QStringLiteral("没有用户运行目录 (XDG_RUNTIME_DIR)"));
        return 1;
    }
    QLockFile lock(folder + QStringLiteral("/quorvoffice.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        say(QStringLiteral("quorvoffice 已在运行"));
        return 1;
    }

    // SIGTERM and SIGINT end the service the clean way: calls under way finish, the
    // instances are ended, the socket goes.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gStopPipe) != 0) return 3;
    QSocketNotifier stopNotifier(gStopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction sa {};
    sa.sa_handler = askToStop;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    // A caller that went away before its answer must not end the service.
    ::signal(SIGPIPE, SIG_IGN);

    int status = 0;
    {
        OfficeService service(pool);
        QString error;
        const QString socket = officeSocketPath();
        if (!service.listen(socket, &error)) {
            say(QStringLiteral("无法监听 ") + socket + QStringLiteral(": ") + error);
            status = 3;
        } else {
            warmWorkerOffices(pool, idleMs);
            say(QStringLiteral("quorvoffice 监听 ") + socket);
            app.exec();
        }
    }
    office::OfficePool::shared().clear();
    return status;
}
