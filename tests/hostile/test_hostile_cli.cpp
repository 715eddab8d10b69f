// quorvcli as a process given hostile input: PDF sources whose names a shell would
// execute or split, a name that is not UTF-8, and a settings file of garbage. PDF
// sources go straight to the SWF tool, here a careful script, so no office is needed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "core/ini.h"
#include "fakes/output_files.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "hostile_names.h"
#include "programs/quorvcli/cli_run.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using testing::CliRun;
using testing::hostileBases;
using testing::kHostileFolder;
using testing::logValue;
using testing::markersUnder;
using testing::runCli;

// Copies its input, after the head of a one-frame SWF so that quorvcli's check takes it,
// into the file after -o through a temporary name, so a failed copy leaves nothing, and
// logs every argument on a line of its own.
const char* kToolScript = R"(#!/bin/sh
out=""
prev=""
for a in "$@"; do [ "$prev" = "-o" ] && out="$a"; prev="$a"; done
printf '%s\n' "$@" >> "$(dirname "$0")/args"
cat "$(dirname "$0")/head.swf" "$1" > "$out.part" && mv "$out.part" "$out" || { rm -f "$out.part"; exit 1; }
)";

const QByteArray kSwfHead = testing::swfBytes(false, 1);

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

class HostileCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.path() + "/work";
        swf = dir.path() + "/" + kHostileFolder + "/swf";
        tool = dir.path() + "/tool/swf";
        QDir().mkpath(work + "/pdf");
        QDir().mkpath(swf);
        writeFile(tool, kToolScript);
        writeFile(dir.path() + "/tool/head.swf", kSwfHead);
        QFile(tool).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void settings(const QByteArray& before = QByteArray()) {
        writeFile(work + "/tovk.ini", before + "\n[other]\nswfpath=" + swf.toUtf8() +
                                          "\nswftprg=" + tool.toUtf8() + "\n");
    }
    QTemporaryDir dir;
    QString work;
    QString swf;
    QString tool;
};

TEST_F(HostileCli, HostilePdfNamesConvertToTheirOwnSwfAndNothingRuns) {
    settings();
    const QString in = dir.path() + "/" + kHostileFolder + "/in";
    QStringList expected;
    for (const QString& base : hostileBases()) {
        const QString pdf = in + "/" + base + ".pdf";
        writeFile(pdf, "pdf of " + base.toUtf8());
        const CliRun r = runCli(work, {pdf});
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.status, kCliConverted) << base.toStdString();
        EXPECT_EQ(logValue(work), "<none>");
        EXPECT_EQ(readAll(swf + "/" + base + ".swf"), kSwfHead + "pdf of " + base.toUtf8())
            << base.toStdString();
        expected << base + ".swf";
    }
    expected.sort();
    EXPECT_EQ(QDir(swf).entryList(QDir::Files, QDir::Name), expected);
    EXPECT_EQ(markersUnder({dir.path()}), QStringList());
    // The tool got the path as one argument, newline included.
    EXPECT_TRUE(readAll(dir.path() + "/tool/args").contains("new\nline.pdf\n-o\n"));
}

TEST_F(HostileCli, NameThatIsNotUtf8FailsWithoutOutput) {
    settings();
    const QByteArray raw = QFile::encodeName(dir.path()) + "/raw\xff\xfe.pdf";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "raw", 3), 3);
    ::close(fd);
    QProcess p;
    p.setWorkingDirectory(work);
    // The raw bytes as the argument, passed by a program that does not decode them.
    p.start("/bin/sh", {"-c", "exec \"$0\" \"$(printf '%s/raw\\377\\376.pdf' \"$1\")\"",
                        QStringLiteral(QUORVCLI_PATH), dir.path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(p.exitCode() == kCliConverted || p.exitCode() == kCliNoOutput) << p.exitCode();
    if (p.exitCode() == kCliNoOutput) {
        EXPECT_TRUE(QDir(swf).entryList(QDir::Files).isEmpty());
    } else {
        EXPECT_EQ(QDir(swf).entryList(QDir::Files).size(), 1);
    }
    struct stat st {};
    ASSERT_EQ(::stat(raw.constData(), &st), 0);
    EXPECT_EQ(st.st_size, 3);
    ::unlink(raw.constData());  // Qt cannot name it, so cannot remove it with the folder
}

TEST_F(HostileCli, GarbageSettingsFileStillConvertsAndLogs) {
    const QByteArray junk = testing::garbageSettings();
    settings(junk);  // the two keys it needs come after the garbage
    const QString pdf = dir.path() + "/in/a.pdf";
    writeFile(pdf, "pdf a");
    QElapsedTimer clock;
    clock.start();
    const CliRun r = runCli(work, {pdf}, 60000);
    EXPECT_LT(clock.elapsed(), 30000) << "no quadratic reading of a large file";
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kCliConverted);
    EXPECT_EQ(readAll(swf + "/a.swf"), kSwfHead + "pdf a");
    // Flash version and language folder were missing: their defaults reached the tool.
    const QByteArray args = readAll(dir.path() + "/tool/args");
    EXPECT_TRUE(args.contains("flashversion=9\n")) << args.constData();
    EXPECT_FALSE(args.contains("languagedir"));

    // Only garbage: a rejected request still writes its log and nothing crashes.
    writeFile(work + "/tovk.ini", junk);
    clock.restart();
    const CliRun none = runCli(work, {}, 60000);
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_FALSE(none.crashed);
    EXPECT_EQ(none.status, kCliRejected);
    EXPECT_TRUE(logValue(work).endsWith(QString::fromUtf8(kCliNoArguments)))
        << logValue(work).left(80).toStdString();
}

}  // namespace
}  // namespace quorv
