#pragma once

#include <QString>
#include <functional>

#include "core/runtimeerror.h"

namespace quorv {

// The application object of both programs: it fixes the working directory that locates
// the settings file and is the last resort for run-time errors.
class QuorvApp {
  public:
    // Shows a report: the interactive program through a message box, the command-line
    // program on standard error.
    using ReportSink = std::function<void(const QString& title, const QString& text)>;

    // Create: the application name is "quorvapp" and every global setting is empty.
    QuorvApp();
    ~QuorvApp();
    QuorvApp(const QuorvApp&) = delete;
    QuorvApp& operator=(const QuorvApp&) = delete;

    const QString& appName() const { return appName_; }
    void setReportSink(ReportSink sink) { sink_ = std::move(sink); }

    // The common part of start: ap_path = the working directory without a trailing "/".
    void startCommon();

    // The error report: nothing for number 0, else the five-line text with an empty title.
    void systemError(const ErrorRecord& record) const;

    // Enters an event handler. A run-time error abandons only that handler and is
    // reported; the program goes on. Returns false when the handler was abandoned.
    bool runHandler(const QString& object, const QString& event,
                    const std::function<void()>& handler) const;

    // A windowless program's whole start ("quorvapp" "open"): the status `start` returns,
    // or `errorStatus` when a run-time error abandoned it (its report has gone to standard
    // error).
    int runProgram(const std::function<int(QuorvApp&)>& start, int errorStatus);

    // The application object of this process, or nullptr before it is created.
    static QuorvApp* current();

  private:
    QString appName_;
    ReportSink sink_;
};

// The working directory as ap_path holds it: no trailing "/" (the root becomes empty, so
// ap_path + "/tovk.ini" is still one valid path).
QString workingDirectoryForApPath();

// runHandler of the current application object; without one, the report goes to
// standard error.
bool runHandler(const QString& object, const QString& event, const std::function<void()>& handler);

}  // namespace quorv
