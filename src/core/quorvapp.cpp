#include "core/quorvapp.h"

#include <QDir>
#include <cstdio>

#include "core/globals.h"

namespace quorv {

namespace {
QuorvApp* g_current = nullptr;

void printReport(const QString& text) {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}
}  // namespace

QuorvApp::QuorvApp() : appName_(QStringLiteral("quorvapp")) {
    globals() = GlobalSettings{};
    sink_ = [](const QString&, const QString& text) { printReport(text); };
    g_current = this;
}

QuorvApp::~QuorvApp() {
    if (g_current == this) g_current = nullptr;
}

QuorvApp* QuorvApp::current() { return g_current; }

void QuorvApp::startCommon() { globals().ap_path = workingDirectoryForApPath(); }

void QuorvApp::systemError(const ErrorRecord& record) const {
    if (record.number == 0) return;
    if (sink_) sink_(QString(), errorReportText(record));
}

int QuorvApp::runProgram(const std::function<int(QuorvApp&)>& start, int errorStatus) {
    int status = errorStatus;
    const bool finished = runHandler(QStringLiteral("quorvapp"), QStringLiteral("open"),
                                     [&] { status = start(*this); });
    return finished ? status : errorStatus;
}

bool QuorvApp::runHandler(const QString& object, const QString& event,
                          const std::function<void()>& handler) const {
    try {
        handler();
        return true;
    } catch (const RuntimeError& e) {
        systemError(e.record());
    } catch (const std::exception&) {
        // Not an automation failure: reported as an unknown error, the program goes on.
        systemError(ErrorRecord{kErrOther, object, event, 0});
    }
    return false;
}

QString workingDirectoryForApPath() {
    QString dir = QDir::currentPath();
    while (dir.endsWith(QLatin1Char('/'))) dir.chop(1);
    return dir;
}

bool runHandler(const QString& object, const QString& event, const std::function<void()>& handler) {
    if (QuorvApp* app = QuorvApp::current()) return app->runHandler(object, event, handler);
    try {
        handler();
        return true;
    } catch (const RuntimeError& e) {
        printReport(errorReportText(e.record()));
    } catch (const std::exception&) {
        printReport(errorReportText(ErrorRecord{kErrOther, object, event, 0}));
    }
    return false;
}

}  // namespace quorv
