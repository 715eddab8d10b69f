#pragma once

#include <QString>
#include <exception>
#include <string>

#include "core/failreason.h"

namespace quorv {

// What the run-time knows about a failure that no handler dealt with.
struct ErrorRecord {
    int number = 0;
    QString object;  // window, control or function in which the error arose
    QString event;   // event or function being executed
    int line = 0;
};

// Codes of failed calls into an automation object.
inline constexpr int kErrMemberNotFound = 32;
inline constexpr int kErrBadArgumentType = 33;
inline constexpr int kErrBadArgumentCount = 34;
inline constexpr int kErrCallFailed = 35;
// Any other failure caught at a handler's entry (not an automation call).
inline constexpr int kErrOther = 1;

// The one exception type of run-time errors. It abandons the running handler and is
// caught where the handler was entered (QuorvApp::runHandler), which shows the report.
class RuntimeError : public std::exception {
  public:
    explicit RuntimeError(ErrorRecord record);
    RuntimeError(int number, const QString& object, const QString& event, int line = 0);

    const ErrorRecord& record() const noexcept { return record_; }
    const char* what() const noexcept override { return what_.c_str(); }

    // Whether the server process behind the failed call died (not part of the report):
    // such a call may succeed on a fresh instance.
    bool serverDied() const noexcept { return serverDied_; }
    void setServerDied(bool died) noexcept { serverDied_ = died; }

    // What the failure was, where the failing side knew it (not part of the report).
    FailReason reason() const noexcept { return reason_; }
    void setReason(FailReason reason) noexcept { reason_ = reason; }

  private:
    ErrorRecord record_;
    bool serverDied_ = false;
    FailReason reason_ = FailReason::None;
    std::string what_;
};

// The message text of an error number; "未知错误" for codes without their own.
QString errorMessageText(int number);

// The five-line report, each line ended by CR LF; empty for error number 0.
QString errorReportText(const ErrorRecord& record);

}  // namespace quorv
