// The command-line text and time stamp of quorvcli, and the requests it rejects (these
// never reach the office, so they run without LibreOffice).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "cli_run.h"
#include "core/ini.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using testing::CliRun;
using testing::logValue;
using testing::runCli;
using testing::stampedDuring;

const QString kWrongType = QString::fromUtf8(kCliWrongType);
const QString kNoArguments = QString::fromUtf8(kCliNoArguments);

TEST(CliCommandText, NoArgumentIsNoTextButAnEmptyArgumentIsEmptyText) {
    EXPECT_FALSE(cliCommandText({}).has_value());
    ASSERT_TRUE(cliCommandText({QString()}).has_value());
    EXPECT_EQ(*cliCommandText({QString()}), QString());
    EXPECT_EQ(*cliCommandText({"   "}), QString());
}

TEST(CliCommandText, ArgumentsJoinWithSingleBlanksAndOuterBlanksGo) {
    EXPECT_EQ(*cliCommandText({"  /in/a.doc  "}), "/in/a.doc");
    EXPECT_EQ(*cliCommandText({"/my", "docs/a", "b.doc"}), "/my docs/a b.doc");
    EXPECT_EQ(*cliCommandText({" ", "/my docs/a.doc", " "}), "/my docs/a.doc");
    // Inner blanks of one argument are the path's own.
    EXPECT_EQ(*cliCommandText({"/my  docs/a.doc"}), "/my  docs/a.doc");
    // Quotation marks are part of the path.
    EXPECT_EQ(*cliCommandText({"\"/in/a.doc\""}), "\"/in/a.doc\"");
}

TEST(CliTimestamp, TwoDigitFieldsAndTheTwentyFourHourClock) {
    EXPECT_EQ(cliTimestamp(QDateTime(QDate(2017, 10, 1), QTime(13, 36, 55))), "17/10/01 13:36");
    EXPECT_EQ(cliTimestamp(QDateTime(QDate(2009, 3, 4), QTime(7, 5, 0))), "09/03/04 07:05");
    EXPECT_EQ(cliTimestamp(QDateTime(QDate(2100, 12, 31), QTime(23, 59, 59))), "00/12/31 23:59");
}

class Rejected : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.path();
        writeIniKey(work + "/tovk.ini", "other", "swfpath", work + "/swf");
        QDir().mkpath(work + "/swf");
        QDir().mkpath(work + "/pdf");
    }
    // Rejected requests leave only the log value: no output, no message.
    void expectRejected(const CliRun& r) {
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.status, kCliRejected);
        EXPECT_EQ(r.out, QString());
        EXPECT_EQ(r.err, QString());
        EXPECT_TRUE(QDir(work + "/swf").isEmpty());
        EXPECT_TRUE(QDir(work + "/pdf").isEmpty());
    }
    QTemporaryDir dir;
    QString work;
};

TEST_F(Rejected, WrongTypeIsLoggedWithTheSourcePath) {
    const QString rtf = work + "/in/a.rtf";
    QDir().mkpath(work + "/in");
    QFile f(rtf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\\rtf1 x}");
    f.close();
    const CliRun r = runCli(work, {rtf});
    expectRejected(r);
    const QString log = logValue(work);
    EXPECT_TRUE(stampedDuring(r, log, kWrongType + rtf)) << log.toStdString();
    // The rest of the file is kept.
    EXPECT_EQ(readIniKey(work + "/tovk.ini", "other", "swfpath", "?"), work + "/swf");
}

TEST_F(Rejected, EmptyArgumentIsAWrongTypeWithNoPath) {
    const CliRun r = runCli(work, {QString()});
    expectRejected(r);
    EXPECT_TRUE(stampedDuring(r, logValue(work), kWrongType)) << logValue(work).toStdString();
}

TEST_F(Rejected, QuotedPathIsAWrongType) {
    const QString quoted = "\"" + work + "/my docs/a.docx\"";
    const CliRun r = runCli(work, {quoted});
    expectRejected(r);
    EXPECT_TRUE(stampedDuring(r, logValue(work), kWrongType + quoted))
        << logValue(work).toStdString();
}

TEST_F(Rejected, NoArgumentAtAll) {
    const CliRun r = runCli(work, {});
    expectRejected(r);
    EXPECT_TRUE(stampedDuring(r, logValue(work), kNoArguments)) << logValue(work).toStdString();
}

TEST_F(Rejected, OnlyTheLaterOfTwoFailingRunsRemains) {
    const CliRun first = runCli(work, {work + "/a.txt"});
    expectRejected(first);
    ASSERT_TRUE(stampedDuring(first, logValue(work), kWrongType + work + "/a.txt"));
    const CliRun second = runCli(work, {});
    expectRejected(second);
    EXPECT_TRUE(stampedDuring(second, logValue(work), kNoArguments))
        << logValue(work).toStdString();
    QFile ini(work + "/tovk.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ini.readAll());
    EXPECT_EQ(text.count(QStringLiteral("log=")), 1);
    EXPECT_FALSE(text.contains(kWrongType));
}

TEST_F(Rejected, WithoutASettingsFileTheLogCreatesIt) {
    QFile::remove(work + "/tovk.ini");
    const CliRun r = runCli(work, {work + "/a.xls"});
    expectRejected(r);
    EXPECT_TRUE(stampedDuring(r, logValue(work), kWrongType + work + "/a.xls"));
}

TEST_F(Rejected, AnExtensionIsComparedInLowerCaseAndWhole) {
    // "docx" inside a longer extension or a dot-less name is no Word document.
    for (const QString& name :
         {QStringLiteral("a.docxx"), QStringLiteral("a.pdf.bak"), QStringLiteral("docx")}) {
        const CliRun r = runCli(work, {work + "/" + name});
        expectRejected(r);
        EXPECT_TRUE(stampedDuring(r, logValue(work), kWrongType + work + "/" + name))
            << name.toStdString();
    }
}

}  // namespace
}  // namespace quorv
