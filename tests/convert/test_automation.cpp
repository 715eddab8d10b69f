#include <QFile>
#include <QTemporaryDir>

#include "convert/automation.h"
#include "fakes/fake_office.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

using testing::FakeOfficeServer;

class Automation : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath(QStringLiteral("报告 1.docx"));
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("content");
    }

    QTemporaryDir dir;
    QString source;
    FakeOfficeServer fake;
};

TEST_F(Automation, ServerNamesAreNotCaseSensitive) {
    for (const char* name : {"Word.application", "Word.Application", "WORD.APPLICATION",
                             "Excel.Application", "excel.application"}) {
        OleObject ole;
        EXPECT_EQ(ole.connectToNewObject(QString::fromLatin1(name)), 0) << name;
        EXPECT_TRUE(ole.isConnected());
    }
    EXPECT_EQ(fake.creates(), 5);
    EXPECT_EQ(fake.liveApplications(), 0);  // every client released its object
}

TEST_F(Automation, ConnectFailuresAreNonZero) {
    OleObject ole;
    EXPECT_NE(ole.connectToNewObject(QStringLiteral("Outlook.Application")), 0);
    EXPECT_NE(ole.connectToObject(QStringLiteral("Word.application")), 0);  // nothing runs
    fake.setCreateFails(true);
    EXPECT_NE(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
    EXPECT_FALSE(ole.isConnected());
    fake.setAttachAvailable(true);
    EXPECT_EQ(ole.connectToObject(QStringLiteral("Word.application")), 0);
    EXPECT_EQ(fake.attaches(), 1);
}

TEST_F(Automation, UnknownMemberIs32AndNamesThePath) {
    OleObject ole;
    ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
    ole.call({"documents", "open"}, {source});
    ErrorRecord r = errorOf([&] { ole.call({"ActiveDocument", "ExportAsFixedFormatX"}, {"a"}); });
    EXPECT_EQ(r.number, kErrMemberNotFound);
    EXPECT_EQ(r.object, "Word.application");
    EXPECT_EQ(r.event, "activedocument.exportasfixedformatx");
    // A property that exists but cannot be written, and a step that does not exist.
    EXPECT_EQ(errorOf([&] { ole.set({"activedocument"}, 1); }).number, kErrMemberNotFound);
    r = errorOf([&] { ole.set({"nosuch", "visible"}, false); });
    EXPECT_EQ(r.number, kErrMemberNotFound);
    EXPECT_EQ(r.event, "nosuch.visible");
}

TEST_F(Automation, MemberNamesAreNotCaseSensitive) {
    OleObject ole;
    ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.Application")), 0);
    ole.set({"DisplayAlerts"}, false);
    ole.set({"APPLICATION", "DisplayAlerts"}, false);
    ole.call({"Documents", "Open"}, {source});
    ole.set({"Application", "Visible"}, false);
    ole.call({"ActiveDocument", "ExportAsFixedFormat"}, {dir.filePath("out.pdf"), 17, false});
    EXPECT_TRUE(QFile::exists(dir.filePath("out.pdf")));
    EXPECT_EQ(fake.calls().back().path, "activedocument.exportasfixedformat");
}

TEST_F(Automation, WrongArgumentTypeIs33) {
    OleObject ole;
    ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
    ole.call({"documents", "open"}, {source});
    ErrorRecord r = errorOf([&] {
        ole.call({"activedocument", "exportasfixedformat"}, {"x.pdf", "pdf", false});
    });
    EXPECT_EQ(r.number, kErrBadArgumentType);
    EXPECT_EQ(r.object, "Word.application");
    EXPECT_EQ(r.event, "activedocument.exportasfixedformat");
    // An object where a text is expected; a text where a flag is expected.
    Variant doc = ole.get({"activedocument"});
    EXPECT_EQ(errorOf([&] { ole.call({"documents", "open"}, {doc}); }).number, kErrBadArgumentType);
    EXPECT_EQ(errorOf([&] { ole.set({"visible"}, "maybe"); }).number, kErrBadArgumentType);
    // Values that automation converts are accepted: "17" and 17.0 are the integer 17.
    ole.call({"activedocument", "exportasfixedformat"}, {dir.filePath("a.pdf"), "17", 0});
    ole.call({"activedocument", "exportasfixedformat"}, {dir.filePath("b.pdf"), 17.0, false});
    EXPECT_TRUE(QFile::exists(dir.filePath("a.pdf")));
    EXPECT_TRUE(QFile::exists(dir.filePath("b.pdf")));
}

TEST_F(Automation, WrongArgumentCountIs34) {
    OleObject ole;
    ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
    ErrorRecord r = errorOf([&] { ole.call({"documents", "open"}); });
    EXPECT_EQ(r.number, kErrBadArgumentCount);
    EXPECT_EQ(r.event, "documents.open");
    ole.call({"documents", "open"}, {source});
    EXPECT_EQ(errorOf([&] {
                  ole.call({"activedocument", "saveas"}, {"a", 2, 3});
              }).number,
              kErrBadArgumentCount);
    EXPECT_EQ(errorOf([&] { ole.call({"quit"}, {1, 2, 3, 4}); }).number, kErrBadArgumentCount);
    EXPECT_EQ(fake.quits(), 0);
}

TEST_F(Automation, FailedCallIs35AndReleaseClosesEverything) {
    fake.failMember("activedocument.exportasfixedformat", kErrCallFailed);
    ErrorRecord r;
    {
        OleObject ole;
        ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
        ole.call({"documents", "open"}, {source});
        EXPECT_EQ(fake.openDocuments().size(), 1);
        r = errorOf([&] {
            ole.call({"activedocument", "exportasfixedformat"}, {dir.filePath("o.pdf"), 17, false});
            ole.set({"normaltemplate", "saved"}, true);  // skipped: the error came first
        });
    }
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.object, "Word.application");
    EXPECT_EQ(r.event, "activedocument.exportasfixedformat");
    EXPECT_FALSE(QFile::exists(dir.filePath("o.pdf")));
    EXPECT_EQ(fake.calls().back().path, "activedocument.exportasfixedformat");
    EXPECT_EQ(fake.liveApplications(), 0);
    EXPECT_TRUE(fake.openDocuments().isEmpty());
}

TEST_F(Automation, CallsThatCannotWorkAre35) {
    OleObject ole;
    // Not connected at all.
    EXPECT_EQ(errorOf([&] { ole.call({"quit"}); }).number, kErrCallFailed);
    ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
    // No document open yet; a source that does not exist; a call after quit.
    ErrorRecord r = errorOf([&] { ole.call({"activedocument", "saveas"}, {"x.htm", 8}); });
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.event, "activedocument.saveas");
    EXPECT_EQ(errorOf([&] {
                  ole.call({"documents", "open"}, {dir.filePath("none.doc")});
              }).number,
              kErrCallFailed);
    ole.call({"quit"});
    EXPECT_EQ(errorOf([&] { ole.call({"documents", "open"}, {source}); }).number, kErrCallFailed);
    EXPECT_EQ(fake.quits(), 1);
}

TEST_F(Automation, FakeRecordsTheWordSequenceAndWritesOutput) {
    OleObject ole;
    ASSERT_EQ(ole.connectToNewObject(QStringLiteral("Word.application")), 0);
    ole.call({"documents", "open"}, {source});
    ole.set({"application", "visible"}, false);
    ole.call({"activedocument", "saveas"}, {dir.filePath("out.htm"), 8});
    ole.set({"normaltemplate", "saved"}, true);
    ole.call({"quit"});
    const QStringList expected{
        QStringLiteral("word get documents"),
        QStringLiteral("word call documents.open(\"%1\")").arg(source),
        QStringLiteral("word get application"),
        QStringLiteral("word set application.visible = false"),
        QStringLiteral("word get activedocument"),
        QStringLiteral("word call activedocument.saveas(\"%1\", 8)").arg(dir.filePath("out.htm")),
        QStringLiteral("word get normaltemplate"),
        QStringLiteral("word set normaltemplate.saved = true"),
        QStringLiteral("word call quit()"),
    };
    EXPECT_EQ(fake.callTexts(), expected);
    EXPECT_TRUE(QFile::exists(dir.filePath("out.htm")));

    fake.setWritesOutput(false);
    OleObject again;
    ASSERT_EQ(again.connectToNewObject(QStringLiteral("Word.application")), 0);
    again.call({"documents", "open"}, {source});
    again.call({"activedocument", "exportasfixedformat"}, {dir.filePath("none.pdf"), 17, false});
    EXPECT_FALSE(QFile::exists(dir.filePath("none.pdf")));
}

TEST_F(Automation, FindResultsOfWordAndExcel) {
    OleObject word;
    ASSERT_EQ(word.connectToNewObject(QStringLiteral("Word.Application")), 0);
    word.call({"documents", "open"}, {source});
    word.call({"application", "selection", "find", "clearformatting"});
    EXPECT_FALSE(word.call({"application", "selection", "find", "execute"}, {"x"}).toBool());
    fake.setFindResult(true);
    EXPECT_TRUE(word.call({"application", "selection", "find", "execute"}, {"x"}).toBool());

    fake.setSheetCount(2);
    fake.setFindSheet(2);
    OleObject excel;
    ASSERT_EQ(excel.connectToNewObject(QStringLiteral("Excel.Application")), 0);
    excel.set({"application", "displayalerts"}, false);
    excel.call({"workbooks", "open"}, {source});
    EXPECT_EQ(excel.get({"worksheets", "count"}).toInt(), 2);
    EXPECT_TRUE(
        excel.call({"activeworkbook", {"worksheets", {1}}, "cells", "find"}, {"x"}).isEmpty());
    EXPECT_TRUE(
        excel.call({"activeworkbook", {"worksheets", {2}}, "cells", "find"}, {"x"}).isObject());
    EXPECT_EQ(fake.callTexts().last(), "excel call activeworkbook.worksheets(2).cells.find(\"x\")");
    ErrorRecord r = errorOf([&] {
        excel.call({"activeworkbook", {"worksheets", {3}}, "cells", "find"}, {"x"});
    });
    EXPECT_EQ(r.number, kErrCallFailed);
    EXPECT_EQ(r.object, "Excel.Application");
    EXPECT_EQ(r.event, "activeworkbook.worksheets(3).cells.find");
    fake.failMember("activeworkbook.worksheets.cells.find", kErrBadArgumentType);
    EXPECT_EQ(errorOf([&] {
                  excel.call({"activeworkbook", {"worksheets", {1}}, "cells", "find"}, {"x"});
              }).number,
              kErrBadArgumentType);
    excel.call({"workbooks", "close"});
    EXPECT_EQ(fake.openDocuments(), QStringList{source});  // Word still has its document
    excel.call({"quit"});
}

TEST(VariantCoercion, FollowsAutomationConversions) {
    using P = DispatchObject::Param;
    EXPECT_EQ(DispatchObject::coerce(Variant("18"), P::Int).toInt(), 18);
    EXPECT_EQ(DispatchObject::coerce(Variant(true), P::Int).toInt(), 1);
    EXPECT_EQ(DispatchObject::coerce(Variant(17), P::Text).toText(), "17");
    EXPECT_FALSE(DispatchObject::coerce(Variant("False"), P::Bool).toBool());
    EXPECT_TRUE(DispatchObject::coerce(Variant(2.5), P::Bool).toBool());
    for (auto [value, type] :
         {std::pair{Variant("abc"), P::Int}, std::pair{Variant(), P::Text},
          std::pair{Variant("yes"), P::Bool}, std::pair{Variant(1), P::Object}}) {
        try {
            DispatchObject::coerce(value, type);
            ADD_FAILURE() << value.describe().toStdString();
        } catch (const DispatchError& e) {
            EXPECT_EQ(e.code, kErrBadArgumentType);
        }
    }
}

}  // namespace
}  // namespace quorv
