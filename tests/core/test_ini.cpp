#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>

#include "core/defaults.h"
#include "core/ini.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs two writer processes at once, each writing `n` keys of its own into `ini`, and
// counts the keys that came through with their values.
int keysOfTwoRacingWriters(const QString& ini, int n) {
    QProcess a, b;
    const QString writer = QStringLiteral(INI_WRITER_PATH);
    a.start(writer, {ini, "race", "a", QString::number(n)});
    b.start(writer, {ini, "race", "b", QString::number(n)});
    if (!a.waitForFinished(120000) || !b.waitForFinished(120000)) return -1;
    if (a.exitCode() != 0 || b.exitCode() != 0) return -2;
    int found = 0;
    for (int i = 0; i < n; ++i) {
        for (const char* p : {"a", "b"}) {
            if (readIniKey(ini, "race", QLatin1String(p) + QString::number(i), "") ==
                QStringLiteral("value %1").arg(i)) {
                ++found;
            }
        }
    }
    return found;
}

class IniTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString file() const { return dir.filePath(QStringLiteral("tovk.ini")); }
};

TEST_F(IniTest, MissingFileSectionOrKeyGivesTheCallersDefault) {
    EXPECT_EQ(readIniKey(file(), "other", "flashv", "9"), "9");
    writeBytes(file(), "[other]\nflashv=7\n");
    EXPECT_EQ(readIniKey(file(), "gsly", "flashv", "dflt"), "dflt");
    EXPECT_EQ(readIniKey(file(), "other", "langd", "x"), "x");
    EXPECT_EQ(readIniKey(file(), "other", "flashv", "9"), "7");
}

TEST_F(IniTest, ValuesAreTheTextAfterTheFirstEqualsWithBlanksDropped) {
    writeBytes(file(),
               "  [ other ]  \r\n"
               "swftprg=\r\n"
               "  langd =  /opt/x = y  \r\n"
               "flashv\t=\t10\t\r\n"
               "swfpath=/srv/swf\r\r\n"
               "[sdef]\n"
               "fdt=2017-10-01 13:36:55\n");
    EXPECT_EQ(readIniKey(file(), "other", "swftprg", "default"), "");
    EXPECT_EQ(readIniKey(file(), "other", "langd", ""), "/opt/x = y");
    EXPECT_EQ(readIniKey(file(), "other", "flashv", ""), "10");
    EXPECT_EQ(readIniKey(file(), "other", "swfpath", ""), "/srv/swf");
    EXPECT_EQ(readIniKey(file(), "sdef", "fdt", ""), "2017-10-01 13:36:55");
    // A key of another section is not found under this one.
    EXPECT_EQ(readIniKey(file(), "sdef", "flashv", "none"), "none");
}

TEST_F(IniTest, WriteCreatesFileSectionAndKeyAndReplacesInPlace) {
    EXPECT_EQ(writeIniKey(file(), "sdef", "scgs", "2"), 1);
    EXPECT_EQ(writeIniKey(file(), "gsly", "mpath", "/out/文件夹/"), 1);
    EXPECT_EQ(writeIniKey(file(), "sdef", "wjls", "3"), 1);
    EXPECT_EQ(writeIniKey(file(), "sdef", "scgs", "5"), 1);
    EXPECT_EQ(QString::fromUtf8(readAll(file())),
              "[sdef]\nscgs=5\nwjls=3\n[gsly]\nmpath=/out/文件夹/\n");
    EXPECT_EQ(readIniKey(file(), "gsly", "mpath", ""), "/out/文件夹/");
}

TEST_F(IniTest, WriteKeepsOtherLinesAndAddsKeyAtEndOfItsSection) {
    writeBytes(file(), "; note\r\n[other]\r\nflashv=9\r\n\r\n[elog]\r\nlog=old\r\n");
    ASSERT_EQ(writeIniKey(file(), "other", "langd", "/l"), 1);
    EXPECT_EQ(readAll(file()), "; note\n[other]\nflashv=9\nlangd=/l\n\n[elog]\nlog=old\n");
}

TEST_F(IniTest, EveryReadSeesTheFileAsItIsNow) {
    writeBytes(file(), "[sdef]\nscgs=1\n");
    EXPECT_EQ(readIniKey(file(), "sdef", "scgs", ""), "1");
    ASSERT_EQ(writeIniKey(file(), "sdef", "scgs", "2"), 1);
    EXPECT_EQ(readIniKey(file(), "sdef", "scgs", ""), "2");
    // Rewritten in place by someone else: same file, new content.
    writeBytes(file(), "[sdef]\nscgs=33\n");
    EXPECT_EQ(readIniKey(file(), "sdef", "scgs", ""), "33");
    QFile::remove(file());
    EXPECT_EQ(readIniKey(file(), "sdef", "scgs", "gone"), "gone");
    const QString other = dir.filePath("other.ini");
    writeBytes(other, "[sdef]\nscgs=4\n");
    EXPECT_EQ(readIniKey(other, "sdef", "scgs", ""), "4");
}

TEST_F(IniTest, LineBreaksInAValueCannotInjectKeys) {
    ASSERT_EQ(writeIniKey(file(), "elog", "log", "bad\n[other]\nswftprg=/bin/evil"), 1);
    EXPECT_EQ(readIniKey(file(), "other", "swftprg", "safe"), "safe");
    EXPECT_EQ(readIniKey(file(), "elog", "log", ""), "bad [other] swftprg=/bin/evil");
}

TEST_F(IniTest, LegacyGb18030FileReadsAsChineseAndIsWrittenBackAsUtf8) {
    QStringEncoder gb("GB18030");
    ASSERT_TRUE(gb.isValid());
    const QString text = QStringLiteral("[elog]\r\nlog=17/10/01 13:36接收的参数无效\r\n");
    writeBytes(file(), gb(text));
    EXPECT_EQ(readIniKey(file(), "elog", "log", ""), "17/10/01 13:36接收的参数无效");
    ASSERT_EQ(writeIniKey(file(), "gsly", "mpath", "/输出/"), 1);
    EXPECT_EQ(QString::fromUtf8(readAll(file())),
              "[elog]\nlog=17/10/01 13:36接收的参数无效\n[gsly]\nmpath=/输出/\n");
}

TEST_F(IniTest, TwoProcessesWritingAtOnceLoseNoKey) {
    EXPECT_EQ(keysOfTwoRacingWriters(file(), 200), 400);
}

// A settings file that is writable in a folder that is not (an installed layout).
class UnwritableFolderTest : public IniTest {
  protected:
    void SetUp() override {
        sub = dir.filePath("ro");
        ASSERT_TRUE(QDir().mkpath(sub));
        ini = sub + "/tovk.ini";
        writeBytes(ini, "[other]\nflashv=9\n; kept\n");
        if (!makeUnwritable(sub, true)) GTEST_SKIP() << "cannot make a folder unwritable here";
        locked = true;
    }
    void TearDown() override {
        makeFileUnwritable(ini, false);
        if (locked) makeUnwritable(sub, false);
    }
    QStringList besideIt() const {
        return QDir(sub).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QString sub, ini;
    bool locked = false;
};

TEST_F(UnwritableFolderTest, WritesGoIntoTheFileItselfAndAreReadAtOnce) {
    ASSERT_EQ(writeIniKey(ini, "other", "flashv", "10"), 1);
    ASSERT_EQ(writeIniKey(ini, "gsly", "mpath", "/输出/"), 1);
    EXPECT_EQ(readAll(ini), "[other]\nflashv=10\n; kept\n[gsly]\nmpath=/输出/\n");
    // Equally long rewrites within one clock tick are each seen by the next read.
    for (const char* v : {"11", "12", "13", "14"}) {
        ASSERT_EQ(writeIniKey(ini, "other", "flashv", v), 1);
        EXPECT_EQ(readIniKey(ini, "other", "flashv", ""), v);
    }
    // A shorter file leaves nothing of the longer one behind.
    ASSERT_EQ(replaceIniFile(ini, {"[a]", "b=1"}), IniRestoreResult::Ok);
    EXPECT_EQ(readAll(ini), "[a]\nb=1\n");
    EXPECT_EQ(readIniKey(ini, "other", "flashv", "<none>"), "<none>");
    EXPECT_EQ(restoreIniDefaults(ini), IniRestoreResult::Ok);
    EXPECT_EQ(readIniKey(ini, "other", "flashv", ""), "9");
    EXPECT_EQ(besideIt(), QStringList{"tovk.ini"}) << "no temporary or lock file was made";
}

TEST_F(UnwritableFolderTest, TwoProcessesWritingInPlaceAtOnceLoseNoKey) {
    EXPECT_EQ(keysOfTwoRacingWriters(ini, 150), 300);
    EXPECT_EQ(readIniKey(ini, "other", "flashv", ""), "9");
}

TEST_F(UnwritableFolderTest, ARewriteWithoutRoomFailsAndLeavesTheOldTextWhole) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{24, 24};  // a little more than the file, less than the new text
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(writeIniKey(ini, "other", "flashv", "a much longer value") == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failure is reported";
    EXPECT_EQ(readAll(ini), "[other]\nflashv=9\n; kept\n");
}

TEST_F(UnwritableFolderTest, AFileThatCannotBeWrittenEitherFailsAndStaysAsItWas) {
    if (!makeFileUnwritable(ini, true)) GTEST_SKIP() << "cannot make a file unwritable here";
    EXPECT_EQ(writeIniKey(ini, "other", "flashv", "10"), -1);
    EXPECT_EQ(restoreIniDefaults(ini), IniRestoreResult::OpenFailed);
    makeFileUnwritable(ini, false);
    EXPECT_EQ(readAll(ini), "[other]\nflashv=9\n; kept\n");
    // Missing and impossible to create is the other failure.
    EXPECT_EQ(writeIniKey(sub + "/new.ini", "other", "flashv", "10"), -1);
    EXPECT_EQ(restoreIniDefaults(dir.filePath("no/such/folder/tovk.ini")),
              IniRestoreResult::OpenFailed);
}

TEST_F(IniTest, RestoreThatFailsWhileWritingKeepsThePreviousFileWhole) {
    // A full disk, simulated by a file size limit in a child process.
    writeBytes(file(), "[other]\nflashv=12\n");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{128, 128};  // room for the lock, not for the content
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(static_cast<int>(restoreIniDefaults(file())));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(IniRestoreResult::WriteFailed));
    EXPECT_EQ(readAll(file()), "[other]\nflashv=12\n");
    // Nothing half-written or stale is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"tovk.ini"});
}

}  // namespace
}  // namespace quorv
