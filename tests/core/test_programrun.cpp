#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "core/programrun.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

ProgramStart shell(const QString& script, ErrorOutput errors = ErrorOutput::Capture) {
    ProgramStart start;
    start.program = QStringLiteral("/bin/sh");
    start.arguments = {QStringLiteral("-c"), script};
    start.errors = errors;
    return start;
}

TEST(ProgramRun, ReportsStatusAndCapturedErrorOutput) {
    ProgramResult ok = runProgram(shell("echo 'bad page' >&2; exit 0"), {});
    EXPECT_TRUE(ok.started);
    EXPECT_TRUE(ok.succeeded);
    EXPECT_FALSE(ok.timedOut);
    EXPECT_EQ(ok.errorText, "bad page\n");

    ProgramResult failed = runProgram(shell("echo 'no device' >&2; exit 3"), {});
    EXPECT_TRUE(failed.started);
    EXPECT_FALSE(failed.succeeded);
    EXPECT_EQ(failed.errorText, "no device\n");

    // Killed by a signal is no success, whatever the status number reads.
    EXPECT_FALSE(runProgram(shell("kill -KILL $$"), {}).succeeded);
    // Discarded or forwarded error output is not captured.
    EXPECT_TRUE(runProgram(shell("echo x >&2", ErrorOutput::Discard), {}).errorText.isEmpty());
}

TEST(ProgramRun, ArgumentsReachTheProgramUnchangedWithoutAShell) {
    QTemporaryDir dir;
    ProgramStart start = shell(R"(printf '%s|' "$@" > "$0")");
    const QString out = dir.filePath("args");
    start.arguments << out << "a b"
                    << "$HOME"
                    << "*"
                    << "'q'";
    ASSERT_TRUE(runProgram(start, {}).succeeded);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), "a b|$HOME|*|'q'|");
}

TEST(ProgramRun, AMissingProgramIsNotStartedAndSaysWhy) {
    ProgramStart start;
    start.program = QStringLiteral("/nonexistent/quorv-tool");
    ProgramResult r = runProgram(start, {});
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(r.succeeded);
    EXPECT_FALSE(r.errorText.isEmpty());
}

TEST(ProgramRun, TheTimeLimitStopsTheProgram) {
    QElapsedTimer clock;
    clock.start();
    ProgramLimits limits;
    limits.timeoutMs = 300;
    ProgramResult r = runProgram(shell("sleep 20"), limits);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.timedOut);
    EXPECT_FALSE(r.succeeded);
    EXPECT_EQ(r.errorText, "timed out");
    EXPECT_LT(clock.elapsed(), 10000);
}

// A program that cleans up when asked to end gets that chance only when asked first.
TEST(ProgramRun, AskingFirstLetsTheProgramCleanUp) {
    QTemporaryDir dir;
    const QString mark = dir.filePath("cleaned");
    const QString script = "trap 'echo done > \"$0\"; exit 1' TERM; sleep 20 & wait";
    ProgramStart start = shell(script);
    start.arguments << mark;
    ProgramLimits limits;
    limits.timeoutMs = 300;
    limits.askFirst = true;
    EXPECT_TRUE(runProgram(start, limits).timedOut);
    EXPECT_TRUE(QFile::exists(mark));

    QFile::remove(mark);
    limits.askFirst = false;
    EXPECT_TRUE(runProgram(start, limits).timedOut);
    EXPECT_FALSE(QFile::exists(mark));
}

}  // namespace
}  // namespace quorv
