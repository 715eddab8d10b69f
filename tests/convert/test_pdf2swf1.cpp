#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "convert/pdf2swf1.h"
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

TEST_F(Pdf2swfTest, PassesPathsAndSettingsAsSingleArguments) {
    EXPECT_EQ(pdf2swf1(pdf, out, SwfTool{tool, "9", {}}).output, out + "a b.swf");
    EXPECT_EQ(recordedArgs(), (QStringList{pdf, "-o", out + "a b.swf", "-s", "flashversion=9"}));
    pdf2swf1(pdf, out, SwfTool{tool, "10", "/usr/share/语言 包"});
    EXPECT_EQ(recordedArgs(), (QStringList{pdf, "-o", out + "a b.swf", "-s", "flashversion=10",
                                           "-s", "languagedir=/usr/share/语言 包"}));
}

// The tool writes the PDF's own name; keeping an earlier SWF is the batch's placement.
TEST_F(Pdf2swfTest, WritesThePdfsOwnNameOverAnEarlierSwf) {
    const SwfTool t{tool, "9", {}};
    touch(out + "a b.swf");
    EXPECT_EQ(pdf2swf1(pdf, out, t).output, out + "a b.swf");
    EXPECT_EQ(recordedArgs().value(2), out + "a b.swf");
}

TEST_F(Pdf2swfTest, ToolThatWritesLateIsWaitedFor) {
    setMode("late");
    EXPECT_EQ(pdf2swf1(pdf, out, SwfTool{tool, "9", {}}).output, out + "a b.swf");
}

TEST_F(Pdf2swfTest, NoFileOrFailedToolOrMissingToolFails) {
    const SwfTool t{tool, "9", {}};
    setMode("nothing");
    EXPECT_EQ(pdf2swf1(pdf, out, t).reason, FailReason::SwfFailed);
    // An old SWF of that name must not pass for the tool's work.
    touch(out + "a b.swf");
    setMode("fail");
    const ConvertOutcome failed = pdf2swf1(pdf, out, t);
    EXPECT_EQ(failed.output, "");
    EXPECT_EQ(failed.reason, FailReason::SwfFailed);
    EXPECT_FALSE(pdf2swf1(pdf, out, SwfTool{work.path() + "/no such tool", "9", {}}).written());
}

TEST_F(Pdf2swfTest, ToolRunningPastTheLimitIsStopped) {
    QFile f(work.path() + "/tool dir/slow");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexec sleep 30\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(pdf2swf1(pdf, out, SwfTool{f.fileName(), "9", {}}, 300).written());
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(Pdf2swfTest, ASwfSourceIsNeverOverwrittenByItsOwnOutput) {
    const QString src = out + "movie.swf";
    touch(src);
    EXPECT_FALSE(pdf2swf1(src, out, SwfTool{tool, "9", {}}).written());
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
