#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "convert/wordconvert.h"
#include "core/runtimeerror.h"
#include "fakes/backend_change.h"
#include "fakes/fake_office.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

class WordConvert : public ::testing::Test {
  protected:
    void SetUp() override {
        src = work.path() + "/in/";
        out = work.path() + "/out/";
        QDir().mkpath(src);
        QDir().mkpath(out);
        QDir().mkpath(work.path() + "/pdf");
        shortWait_.emplace(testing::outputWait(300));
    }
    void TearDown() override { shortWait_.reset(); }
    std::optional<testing::BackendChange> shortWait_;
    QString touch(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
    bool connected() const { return office.attaches() + office.creates() > 0; }

    testing::FakeOfficeServer office;
    QTemporaryDir work;
    QString src, out;
    QString pdfDir = work.path() + "/pdf/";
    WordOptions opts;
};

TEST_F(WordConvert, ExportRunsTheCallsInOrderAndQuits) {
    const QString doc = touch(src + "报告 一.docx");
    EXPECT_EQ(word2xps(doc, "pdf", out, 17, opts).output, out + "报告 一.pdf");
    const QStringList expected{
        "word get documents",
        "word call documents.open(\"" + doc + "\")",
        "word get application",
        "word set application.visible = false",
        "word get activedocument",
        "word call activedocument.exportasfixedformat(\"" + out + "报告 一.pdf\", 17, false)",
        "word get normaltemplate",
        "word set normaltemplate.saved = true",
        "word call quit()"};
    EXPECT_EQ(office.callTexts(), expected);
    EXPECT_EQ(office.creates(), 1);
    EXPECT_EQ(office.liveApplications(), 0);
    EXPECT_TRUE(QFile::exists(out + "报告 一.pdf"));
}

TEST_F(WordConvert, SaveAsPassesTheSaveFormat) {
    const QString doc = touch(src + "a.doc");
    EXPECT_EQ(word2any(doc, "htm", out, 8, opts).output, out + "a.htm");
    EXPECT_TRUE(
        office.callTexts().contains("word call activedocument.saveas(\"" + out + "a.htm\", 8)"));
}

TEST_F(WordConvert, ExtensionRules) {
    EXPECT_NE(word2xps(touch(src + "A.DOC"), "pdf", out, 17, opts).output, "");
    EXPECT_NE(word2xps(touch(src + "b.docx"), "pdf", out, 17, opts).output, "");
    office.clearCalls();
    const int before = office.creates();
    EXPECT_EQ(word2xps(touch(src + "c.rtf"), "pdf", out, 17, opts).reason, FailReason::WrongType);
    EXPECT_EQ(word2xps(touch(src + "d."), "pdf", out, 17, opts).output, "")
        << "the empty extension";
    EXPECT_EQ(word2xps(touch(src + "e.txt"), "pdf", out, 17, opts).output, "");
    EXPECT_EQ(office.creates(), before) << "a refused source never starts the office";
    EXPECT_TRUE(office.calls().isEmpty());
    opts.awordhz = "#txt#aspx";
    EXPECT_EQ(word2xps(src + "e.txt", "pdf", out, 17, opts).output, out + "e.pdf");
}

// The export takes the source's name; keeping an earlier file is the batch's placement.
TEST_F(WordConvert, WritesTheSourcesNameOverAnEarlierOutput) {
    const QString doc = touch(src + "a.doc");
    touch(out + "a.pdf");
    EXPECT_EQ(word2xps(doc, "pdf", out, 17, opts).output, out + "a.pdf");
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{"a.pdf"});
}

TEST_F(WordConvert, NeverWritesOverItsOwnSource) {
    const QString doc = touch(src + "a.doc");
    EXPECT_EQ(word2any(doc, "doc", src, 0, opts).reason, FailReason::NoOutput);
    EXPECT_FALSE(connected());
}

TEST_F(WordConvert, OfficeThatWritesNothingGivesEmptyAfterTheWaitAndStillQuits) {
    office.setWritesOutput(false);
    const ConvertOutcome nothing = word2xps(touch(src + "a.doc"), "pdf", out, 17, opts);
    EXPECT_EQ(nothing.output, "");
    EXPECT_EQ(nothing.reason, FailReason::NoOutput);
    EXPECT_EQ(office.quits(), 1);
    EXPECT_EQ(office.liveApplications(), 0);
}

TEST_F(WordConvert, FailingMemberRaisesTheErrorAndLeavesNoInstance) {
    office.failMember("activedocument.exportasfixedformat", 35);
    try {
        word2xps(touch(src + "a.doc"), "pdf", out, 17, opts);
        FAIL() << "the error must reach the caller";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.record().number, 35);
        EXPECT_EQ(e.record().event, "activedocument.exportasfixedformat");
    }
    EXPECT_EQ(office.liveApplications(), 0);
    EXPECT_TRUE(office.openDocuments().isEmpty());
}

// An office that dies under a document gets a second chance on a fresh instance; one
// that dies again, or a call that merely fails, ends the conversion with the error.
TEST_F(WordConvert, AnOfficeDeathIsRetriedOnceOnAFreshInstance) {
    const QString doc = touch(src + "a.doc");
    office.dieOn("documents.open", 1);
    EXPECT_EQ(word2xps(doc, "xps", out, 18, opts).output, out + "a.xps");
    EXPECT_EQ(office.creates(), 2);
    office.dieOn("activedocument.saveas", 1);
    EXPECT_EQ(word2any(doc, "txt", out, 2, opts).output, out + "a.txt");
    EXPECT_EQ(office.creates(), 4);
    office.dieOn("activedocument.exportasfixedformat", 1);
    EXPECT_EQ(word2pdf(doc, pdfDir).output, work.path() + "/pdf/a.pdf");
    EXPECT_EQ(office.creates(), 6);

    office.dieOn("activedocument.exportasfixedformat", 2);
    try {
        word2xps(doc, "pdf", out, 17, opts);
        FAIL() << "a second death reaches the caller";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.record().number, 35);
        EXPECT_EQ(e.record().event, "activedocument.exportasfixedformat");
    }
    EXPECT_EQ(office.creates(), 8);
    EXPECT_FALSE(QFile::exists(out + "a.pdf"));

    office.failMember("documents.open", 35);
    EXPECT_THROW(word2pdf(doc, pdfDir), RuntimeError);
    EXPECT_EQ(office.creates(), 9) << "a failed call is not tried again";
    EXPECT_EQ(office.liveApplications(), 0);
    EXPECT_TRUE(office.openDocuments().isEmpty());
}

TEST_F(WordConvert, OfficeThatCannotStartGivesEmpty) {
    office.setCreateFails(true);
    EXPECT_EQ(word2xps(touch(src + "a.doc"), "pdf", out, 17, opts).reason,
              FailReason::OfficeUnavailable);
    EXPECT_EQ(word2pdf(src + "a.doc", pdfDir).reason, FailReason::OfficeUnavailable);
}

TEST_F(WordConvert, PdfForTheCommandLineGoesToThePdfFolderAndReplaces) {
    EXPECT_EQ(word2pdf(src + "missing.doc", pdfDir).reason, FailReason::SourceMissing);
    EXPECT_FALSE(connected()) << "a missing source never starts the office";

    const QString doc = touch(src + "a.docx");
    const QString earlier = touch(work.path() + "/pdf/a.pdf");
    office.setWritesOutput(false);
    EXPECT_EQ(word2pdf(doc, pdfDir).output, "");
    EXPECT_FALSE(QFile::exists(earlier)) << "the earlier PDF is gone before the export";
    office.setWritesOutput(true);
    EXPECT_EQ(word2pdf(doc, pdfDir).output, work.path() + "/pdf/a.pdf");
    EXPECT_TRUE(office.callTexts().last().endsWith("quit()"));
}

}  // namespace
}  // namespace quorv
