// quorvcli end to end: the program started as a process in a working directory of its
// own, converting through real LibreOffice and the real quorv-pdf2swf.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "cli_run.h"
#include "convert/automation.h"
#include "core/ini.h"
#include "engines/office/office_docs.h"
#include "fakes/made_once.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "programs/quorvcli/cliconvert.h"

namespace quorv {
namespace {

using testing::CliRun;
using testing::logValue;
using testing::officesLeftBy;
using testing::runCli;

// The test documents, made once through the engine: a .docx, a .DOC and a .pdf in a
// folder whose path holds blanks.
struct Sources {
    QTemporaryDir root;
    QString folder;
    QString docx;
    QString doc;
    QString pdf;
    QString commentedDocx;  // one paragraph with a review comment
    QString commentedDoc;
};
Sources* sources = nullptr;

void makeDocuments() {
    const QString flat = sources->root.filePath("src.fodt");
    ASSERT_TRUE(testing::writeFlatText(flat, {"命令行 转换", "second page"}));
    sources->folder = sources->root.filePath("源 文件 夹");
    ASSERT_TRUE(QDir().mkpath(sources->folder));
    sources->docx = sources->folder + "/报告 一.docx";
    sources->doc = sources->folder + "/旧 报告.DOC";
    sources->pdf = sources->folder + "/已有 文档.pdf";
    ASSERT_TRUE(testing::saveThroughWord(flat, sources->docx, 16));
    ASSERT_TRUE(testing::saveThroughWord(flat, sources->doc, 0));
    ASSERT_TRUE(testing::exportThroughWord(flat, sources->pdf));
    const QString commented = sources->root.filePath("commented.fodt");
    ASSERT_TRUE(testing::writeFlatTextWithComment(commented, "已审阅 Reviewed", "请核对"));
    sources->commentedDocx = sources->folder + "/带批注.docx";
    sources->commentedDoc = sources->folder + "/带批注旧.doc";
    ASSERT_TRUE(testing::saveThroughWord(commented, sources->commentedDocx, 16));
    ASSERT_TRUE(testing::saveThroughWord(commented, sources->commentedDoc, 0));
}
const auto* const kEnv =
    testing::madeOnce(sources, makeDocuments, testing::AfterMaking::EndSession);

// A working directory with its settings file, its pdf/ folder and an SWF folder named
// without a trailing "/".
class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.path();
        swf = work + "/swf out";
        ASSERT_TRUE(QDir().mkpath(swf));
        ASSERT_TRUE(QDir().mkpath(work + "/pdf"));
        setting("other", "swfpath", swf);
        setting("other", "flashv", "8");
    }
    void setting(const QString& section, const QString& key, const QString& value) {
        ASSERT_EQ(writeIniKey(work + "/tovk.ini", section, key, value), 1);
    }
    // A conversion leaves no log, prints nothing and no office behind.
    void expectQuietRun(const CliRun& r) {
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.out, QString());
        EXPECT_EQ(r.err, QString());
        EXPECT_EQ(logValue(work), "<none>");
        EXPECT_EQ(officesLeftBy(r.pid), QStringList());
    }
    // An SWF of the Flash version the settings name, one frame per page.
    static void expectSwf(const QString& path, int version) {
        const QByteArray data = readAll(path);
        ASSERT_GE(data.size(), 8) << path.toStdString();
        EXPECT_TRUE(data.startsWith("CWS") || data.startsWith("FWS"));
        EXPECT_EQ(int(data[3]), version);
    }
    QStringList swfFiles() const { return QDir(swf).entryList(QDir::Files, QDir::Name); }
    QStringList pdfFiles() const { return QDir(work + "/pdf").entryList(QDir::Files); }

    QTemporaryDir dir;
    QString work;
    QString swf;
};

TEST_F(Cli, DocxBecomesSwfAndTheIntermediatePdfGoes) {
    const CliRun r = runCli(work, {sources->docx});
    EXPECT_EQ(r.status, kCliConverted);
    expectQuietRun(r);
    EXPECT_EQ(swfFiles(), QStringList{"报告 一.swf"});
    expectSwf(swf + "/报告 一.swf", 8);
    EXPECT_EQ(pdfFiles(), QStringList());
    EXPECT_TRUE(QFileInfo::exists(sources->docx));
}

TEST_F(Cli, UpperCaseDocIsAWordDocument) {
    const CliRun r = runCli(work, {sources->doc});
    EXPECT_EQ(r.status, kCliConverted);
    expectQuietRun(r);
    EXPECT_EQ(swfFiles(), QStringList{"旧 报告.swf"});
    expectSwf(swf + "/旧 报告.swf", 8);
    EXPECT_EQ(pdfFiles(), QStringList());
}

TEST_F(Cli, DocumentsWithAReviewCommentBecomeSwf) {
    for (const QString& source : {sources->commentedDocx, sources->commentedDoc}) {
        SCOPED_TRACE(source.toStdString());
        const CliRun r = runCli(work, {source});
        EXPECT_EQ(r.status, kCliConverted);
        expectQuietRun(r);
        expectSwf(swf + "/" + QFileInfo(source).completeBaseName() + ".swf", 8);
        EXPECT_EQ(pdfFiles(), QStringList());
    }
    EXPECT_EQ(swfFiles(), (QStringList{"带批注.swf", "带批注旧.swf"}));
}

TEST_F(Cli, PdfGoesStraightToSwfAndStays) {
    const QByteArray before = readAll(sources->pdf);
    const CliRun r = runCli(work, {sources->pdf});
    EXPECT_EQ(r.status, kCliConverted);
    expectQuietRun(r);
    EXPECT_EQ(swfFiles(), QStringList{"已有 文档.swf"});
    expectSwf(swf + "/已有 文档.swf", 8);
    EXPECT_EQ(readAll(sources->pdf), before);
    EXPECT_EQ(pdfFiles(), QStringList());
}

TEST_F(Cli, AnExistingSwfIsNeverReplaced) {
    // Even with the replace setting of the interactive program on.
    setting("sdef", "sfth", "y");
    QFile old(swf + "/已有 文档.swf");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const CliRun r = runCli(work, {sources->pdf});
    EXPECT_EQ(r.status, kCliConverted);
    EXPECT_EQ(swfFiles(), (QStringList{"0已有 文档.swf", "已有 文档.swf"}));
    EXPECT_EQ(readAll(swf + "/已有 文档.swf"), "old");
    expectSwf(swf + "/0已有 文档.swf", 8);
}

TEST_F(Cli, APathWithBlanksAsOneArgumentOrAsSeveral) {
    const CliRun one = runCli(work, {"  " + sources->docx + "  "});
    EXPECT_EQ(one.status, kCliConverted);
    expectQuietRun(one);
    QStringList parts = sources->docx.split(' ');
    ASSERT_GE(parts.size(), 4);
    parts.prepend(QString());
    parts.append(QStringLiteral(" "));
    const CliRun several = runCli(work, parts);
    EXPECT_EQ(several.status, kCliConverted);
    expectQuietRun(several);
    EXPECT_EQ(swfFiles(), (QStringList{"0报告 一.swf", "报告 一.swf"}));
    EXPECT_EQ(pdfFiles(), QStringList());
}

TEST_F(Cli, WithoutTheToolTheIntermediatePdfStays) {
    setting("other", "swftprg", work + "/no such tool");
    const CliRun r = runCli(work, {sources->docx});
    EXPECT_EQ(r.status, kCliNoOutput);
    expectQuietRun(r);
    EXPECT_EQ(swfFiles(), QStringList());
    EXPECT_EQ(pdfFiles(), QStringList{"报告 一.pdf"});
}

TEST_F(Cli, AMissingSourceProducesNothing) {
    for (const QString& missing : {sources->folder + "/gone.docx", sources->folder + "/gone.pdf"}) {
        const CliRun r = runCli(work, {missing});
        EXPECT_EQ(r.status, kCliNoOutput) << missing.toStdString();
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(logValue(work), "<none>");
        EXPECT_EQ(officesLeftBy(r.pid), QStringList());
    }
    EXPECT_EQ(swfFiles(), QStringList());
    EXPECT_EQ(pdfFiles(), QStringList());
}

TEST_F(Cli, AFreshWorkingFolderGetsItsPdfFolder) {
    ASSERT_TRUE(QDir(work + "/pdf").removeRecursively());
    const CliRun r = runCli(work, {sources->docx});
    EXPECT_EQ(r.status, kCliConverted);
    expectQuietRun(r);
    EXPECT_EQ(swfFiles(), QStringList{"报告 一.swf"});
    EXPECT_TRUE(QFileInfo(work + "/pdf").isDir());
    EXPECT_EQ(pdfFiles(), QStringList());
}

TEST_F(Cli, APdfFolderThatCannotBeMadeGivesTheErrorReportOnStandardError) {
    ASSERT_TRUE(QDir(work + "/pdf").removeRecursively());
    {
        QFile inTheWay(work + "/pdf");
        ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    }
    const CliRun r = runCli(work, {sources->docx});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kCliRuntimeError);
    EXPECT_EQ(r.out, QString());
    // The report is the last thing printed (after the office's reason): five lines, each
    // ended by CR LF.
    const qsizetype at = r.err.indexOf("错误编号：");
    ASSERT_GE(at, 0) << r.err.toStdString();
    ASSERT_TRUE(at == 0 || r.err.at(at - 1) == '\n') << r.err.toStdString();
    const QStringList report = r.err.mid(at).split("\r\n");
    ASSERT_EQ(report.size(), 6) << r.err.toStdString();
    EXPECT_EQ(report[5], QString());
    EXPECT_EQ(report[0], "错误编号：35");
    EXPECT_EQ(report[1], "出错对象：Word.application");
    EXPECT_EQ(report[2], "出错事件：activedocument.exportasfixedformat");
    EXPECT_TRUE(report[3].startsWith("出错行数：")) << report[3].toStdString();
    EXPECT_EQ(report[4], "错误信息：错误调用外部对象函数");
    EXPECT_EQ(officesLeftBy(r.pid), QStringList());
    // Nothing was logged, and the file in the folder's place is left alone.
    EXPECT_TRUE(QFileInfo(work + "/pdf").isFile());
    EXPECT_EQ(swfFiles(), QStringList());
    EXPECT_EQ(logValue(work), "<none>");
}

// A document the office must not take: the line just before the report names what was
// wrong and the file, in the list's words, so that a calling program can log it.
TEST_F(Cli, ARefusedDocumentIsNamedWithItsReasonBeforeTheReport) {
    const QByteArray good = readAll(sources->docx);
    const QString bad = sources->root.filePath("坏 文档.docx");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(good.left(good.size() / 2));
    }
    const CliRun r = runCli(work, {bad});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kCliRuntimeError);
    const qsizetype at = r.err.indexOf("错误编号：");
    ASSERT_GT(at, 0) << r.err.toStdString();
    const QStringList before = r.err.left(at).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(before.last().section('\n', -1), "文件已损坏或无法识别：" + bad)
        << r.err.toStdString();
    EXPECT_EQ(officesLeftBy(r.pid), QStringList());
    EXPECT_EQ(swfFiles(), QStringList());
    EXPECT_EQ(pdfFiles(), QStringList());
    EXPECT_EQ(logValue(work), "<none>");
}

TEST(CliDefaults, WithoutASettingsFileEveryKeyTakesItsDefault) {
    QTemporaryDir dir;
    const QString work = dir.path();
    ASSERT_TRUE(QDir().mkpath(work + "/pdf"));
    // The empty SWF folder is the file-system root; a name of this run's own keeps the
    // root clean.
    const QString name =
        QStringLiteral("quorvcli-defaults-%1").arg(QCoreApplication::applicationPid());
    const QString source = work + "/" + name + ".docx";
    ASSERT_TRUE(QFile::copy(sources->docx, source));
    const QString rootSwf = "/" + name + ".swf";
    const CliRun r = runCli(work, {source});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(officesLeftBy(r.pid), QStringList());
    // Nothing is written for a run that converts.
    EXPECT_FALSE(QFileInfo::exists(work + "/tovk.ini"));
    if (QFileInfo("/").isWritable()) {
        // The default tool beside the program ran with the default Flash version.
        EXPECT_EQ(r.status, kCliConverted) << r.err.toStdString();
        const QByteArray head = readAll(rootSwf).left(4);
        QFile::remove(rootSwf);
        ASSERT_EQ(head.size(), 4);
        EXPECT_EQ(int(head[3]), 9);
        EXPECT_FALSE(QFileInfo::exists(work + "/pdf/" + name + ".pdf"));
    } else {
        // The tool ran but the root took no file: the PDF is what is left.
        EXPECT_EQ(r.status, kCliNoOutput);
        EXPECT_TRUE(QFileInfo::exists(work + "/pdf/" + name + ".pdf"));
        EXPECT_TRUE(r.err.startsWith("quorv-pdf2swf: ")) << r.err.toStdString();
    }
}

}  // namespace
}  // namespace quorv
