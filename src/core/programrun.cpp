#include "core/programrun.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace quorv {

namespace {

void stop(QProcess& process, bool askFirst) {
    if (askFirst) {
        process.terminate();
        if (process.waitForFinished(2000)) return;
    }
    process.kill();
    process.waitForFinished(5000);
}

// True when the process ended by itself before the limit.
bool waitForEnd(QProcess& process, const ProgramLimits& limits) {
    return process.waitForFinished(limits.timeoutMs > 0 ? limits.timeoutMs : -1);
}

}  // namespace

bool startProgram(QProcess& process, const ProgramStart& start) {
    process.setProgram(start.program);
    process.setArguments(start.arguments);
    if (start.environment) process.setProcessEnvironment(*start.environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    switch (start.errors) {
        case ErrorOutput::Discard:
            process.setStandardErrorFile(QProcess::nullDevice());
            break;
        case ErrorOutput::Forward:
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            break;
        case ErrorOutput::Capture:
            break;
    }
    if (start.ownProcessGroup || start.dieWithParent) {
        const pid_t parent = ::getpid();
        process.setChildProcessModifier(
            [parent, group = start.ownProcessGroup, die = start.dieWithParent] {
                if (group) ::setpgid(0, 0);
                if (die) {
                    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                    // The parent may have ended before the signal was asked for.
                    if (group && ::getppid() != parent) ::_exit(127);
                }
            });
    }
    process.start();
    return process.waitForStarted(10000);
}

ProgramResult runProgram(const ProgramStart& start, const ProgramLimits& limits) {
    ProgramResult result;
    QProcess process;
    if (!startProgram(process, start)) {
        result.errorText = process.errorString();
        return result;
    }
    result.started = true;
    if (!waitForEnd(process, limits)) {
        stop(process, limits.askFirst);
        result.timedOut = true;
        result.errorText = QStringLiteral("timed out");
        return result;
    }
    if (start.errors == ErrorOutput::Capture) {
        result.errorText = QString::fromLocal8Bit(process.readAllStandardError());
    }
    result.succeeded = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

}  // namespace quorv
