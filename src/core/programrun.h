#pragma once

// Every program this system starts (the office, Ghostscript, the SWF tool) is started
// here, so that time limits, stopping and the child's standard channels work one way.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

namespace quorv {

// What becomes of the child's standard error output. Its standard input and output are
// always the null device.
enum class ErrorOutput { Discard, Capture, Forward };

struct ProgramStart {
    QString program;
    QStringList arguments;
    std::optional<QProcessEnvironment> environment;  // none: this program's own
    ErrorOutput errors = ErrorOutput::Capture;
    // The child gets SIGKILL when the thread that started it ends, even when this program
    // is killed.
    bool dieWithParent = false;
    // The child leads a process group of its own, so that ending the group reaches every
    // helper it starts.
    bool ownProcessGroup = false;
};

// Starts `start` in `process` and waits until it runs (at most 10 s). False when it could
// not be started; process.errorString() then says why.
bool startProgram(QProcess& process, const ProgramStart& start);

struct ProgramLimits {
    int timeoutMs = -1;  // 0 or less: no limit
    // At the limit, ask the child to end (SIGTERM) before killing it, so it can remove
    // what it had half written.
    bool askFirst = false;
};

struct ProgramResult {
    bool started = false;
    bool timedOut = false;
    bool succeeded = false;  // ended by itself with status 0
    // Why it failed to start, "timed out", or its captured standard error output.
    QString errorText;
};

// Runs a program to its end or its time limit; past the limit it is stopped.
ProgramResult runProgram(const ProgramStart& start, const ProgramLimits& limits);

}  // namespace quorv
