#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "convert/pdf2swf1.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "core/pump.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

// A stand-in tool: records its arguments one per line, then behaves as the file
// "mode" beside it says: "write" (default), "late", "nothing" or "fail".
const char* kToolScript = R"(#!/bin/sh
dir=$(dirname "$0")
: > "$dir/args"
for a in "$@"; do printf '%s\n' "$a" >> "$dir/args"; done
mode=$(cat "$dir/mode" 2>/dev/null || echo write)
out=""
prev=""
for a in "$@"; do [ "$prev" = "-o" ] && out="$a"; prev="$a"; done
case "$mode" in
  write) printf 'FWS' > "$out" ;;
  late) sleep 1; printf 'FWS' > "$out" ;;
  nothing) ;;
  fail) printf 'FWS' > "$out"; exit 1 ;;
esac
)";

class Pdf2swfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        globals() = GlobalSettings{};
        globals().ap_path = work.path();
        globals().profile = profilePathFor(work.path());
        tool = work.path() + "/tool dir/fake tool";
        QDir().mkpath(work.path() + "/tool dir");
        QFile f(tool);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kToolScript);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        out = work.path() + "/out $(x);'q'/";
        QDir().mkpath(out);
        pdf = work.path() + "/in put/a b.pdf";
        QDir().mkpath(work.path() + "/in put");
        QFile p(pdf);
        ASSERT_TRUE(p.open(QIODevice::WriteOnly));
    }
    void setMode(const char* mode) {
        QFile f(work.path() + "/tool dir/mode");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(mode);
    }
    QStringList recordedArgs() {
        QFile f(work.path() + "/tool dir/args");
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList l = QString::fromUtf8(f.readAll()).split('\n');
        if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
        return l;
    }
    void touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir work;
    QString tool, out, pdf;
};

TEST_F(Pdf2swfTest, InteractiveReadsToolSettingsAndPassesPathsAsSingleArguments) {
    writeSetting(globals().profile, Key::Swftprg, tool);
    writeSetting(globals().profile, Key::Flashv, "9");
    const QString swf = pdf2swf1(pdf, out, SwfCaller::Interactive);
    EXPECT_EQ(swf, out + "a b.swf");
    EXPECT_EQ(recordedArgs(), (QStringList{pdf, "-o", out + "a b.swf", "-s", "flashversion=9"}));
    // A changed version in the settings file counts from the next call on.
    writeSetting(globals().profile, Key::Flashv, "10");
    writeSetting(globals().profile, Key::Langd, "/usr/share/语言 包");
    pdf2swf1(pdf, out, SwfCaller::Interactive);
    EXPECT_EQ(recordedArgs(), (QStringList{pdf, "-o", out + "a b.swf", "-s", "flashversion=10",
                                           "-s", "languagedir=/usr/share/语言 包"}));
    EXPECT_EQ(globals().flashv, "10");
}

TEST_F(Pdf2swfTest, InteractiveKeepsAnExistingSwfOnlyWhenAskedNotToReplace) {
    writeSetting(globals().profile, Key::Swftprg, tool);
    touch(out + "a b.swf");
    globals().sfth = "y";
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::Interactive), out + "a b.swf");
    globals().sfth = "n";
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::Interactive), out + "0a b.swf");
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::Interactive), out + "1a b.swf");
}

TEST_F(Pdf2swfTest, CommandLineUsesItsGlobalsAndNeverReplaces) {
    globals().swftprg = tool;
    globals().flashv = "8";
    globals().langd = "";
    globals().sfth = "y";
    writeSetting(globals().profile, Key::Flashv, "99");  // not read by this caller
    touch(out + "a b.swf");
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::CommandLine), out + "0a b.swf");
    EXPECT_EQ(recordedArgs().last(), "flashversion=8");
}

TEST_F(Pdf2swfTest, ToolThatWritesLateIsWaitedForWhileEventsArePumped) {
    globals().swftprg = tool;
    globals().flashv = "9";
    setMode("late");
    int pumps = 0;
    setPumpHook([&] { ++pumps; });
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::CommandLine), out + "a b.swf");
    setPumpHook({});
    EXPECT_GT(pumps, 10);
}

TEST_F(Pdf2swfTest, NoFileOrFailedToolOrMissingToolGivesEmpty) {
    globals().swftprg = tool;
    globals().flashv = "9";
    setMode("nothing");
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::CommandLine), "");
    // An old SWF of that name must not pass for the tool's work.
    globals().sfth = "y";
    writeSetting(globals().profile, Key::Swftprg, tool);
    touch(out + "a b.swf");
    setMode("fail");
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::Interactive), "");
    globals().swftprg = work.path() + "/no such tool";
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::CommandLine), "");
}

TEST_F(Pdf2swfTest, ToolRunningPastTheLimitIsStopped) {
    QFile f(work.path() + "/tool dir/slow");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexec sleep 30\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    globals().swftprg = f.fileName();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(pdf2swf1(pdf, out, SwfCaller::CommandLine, 300), "");
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(Pdf2swfTest, ASwfSourceIsNeverOverwrittenByItsOwnOutput) {
    globals().swftprg = tool;
    const QString src = out + "movie.swf";
    touch(src);
    globals().sfth = "y";
    writeSetting(globals().profile, Key::Swftprg, tool);
    EXPECT_EQ(pdf2swf1(src, out, SwfCaller::Interactive), "");
    EXPECT_TRUE(recordedArgs().isEmpty()) << "the tool must not even start";
}

TEST(Pdf2swfArgs, LanguageFolderOnlyWhenSet) {
    EXPECT_EQ(pdf2swfArguments("/i/a.pdf", "/o/a.swf", "9", ""),
              (QStringList{"/i/a.pdf", "-o", "/o/a.swf", "-s", "flashversion=9"}));
    EXPECT_EQ(pdf2swfArguments("/i/a.pdf", "/o/a.swf", "abc", "/l"),
              (QStringList{"/i/a.pdf", "-o", "/o/a.swf", "-s", "flashversion=abc", "-s",
                           "languagedir=/l"}));
}

}  // namespace
}  // namespace quorv
