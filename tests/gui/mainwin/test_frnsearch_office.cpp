// The content search against a real LibreOffice: Chinese and Latin texts in .doc, .docx
// and the second sheet of an .xls, one instance for the whole search, every document
// closed as soon as it is searched, and no instance left on any way out.

#include <signal.h>

#include <QDir>
#include <QProgressBar>
#include <chrono>
#include <memory>
#include <thread>

#include "convert/kind_docs.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeinstance.h"
#include "fakes/qt_print.h"
#include "search_window.h"

namespace quorv {
namespace {

using office::OfficeInstance;

// Documents made once for every case, in a folder with a Chinese name and a blank.
struct Documents {
    QTemporaryDir root;
    QString dir;
    QString commented;  // the same text with a review comment, as .doc and .docx
};
Documents* docs = nullptr;

class DocumentsEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        docs = new Documents;
        ASSERT_TRUE(docs->root.isValid());
        docs->dir = docs->root.filePath(QStringLiteral("搜索 测试"));
        ASSERT_TRUE(QDir().mkpath(docs->dir));
        QString error;
        std::shared_ptr<OfficeInstance> office = OfficeInstance::start(&error);
        ASSERT_TRUE(office) << error.toStdString();
        auto make = [&](const QString& source, const QString& name, const char* filter) {
            office::DocumentRef d = office->load(source);
            office->store(d, docs->dir + "/" + name, QString::fromLatin1(filter));
            office->close(d);
        };
        const QString report = docs->root.filePath("report.fodt");
        const QString other = docs->root.filePath("other.fodt");
        ASSERT_TRUE(testing::writeFlatText(report, {"季度报告 Hello Quorvane 你好世界"}));
        ASSERT_TRUE(testing::writeFlatText(other, {"无关的内容 Nothing to see"}));
        make(report, "报告.doc", "MS Word 97");
        make(report, "报告.docx", "MS Word 2007 XML");
        make(other, "其他.doc", "MS Word 97");
        make(other, "其他.docx", "MS Word 2007 XML");
        const QString book1 = docs->root.filePath("book1.fods");
        const QString book2 = docs->root.filePath("book2.fods");
        ASSERT_TRUE(testing::writeFlatSheets(
            book1, {{"一", {"apple"}}, {"二", {"香蕉", "你好世界，朋友"}}}));
        ASSERT_TRUE(
            testing::writeFlatSheets(book2, {{"一", {"pear"}}, {"二", {"HELLO quorvane list"}}}));
        const QString commented = docs->root.filePath("commented.fodt");
        ASSERT_TRUE(
            testing::writeFlatTextWithComment(commented, "审阅过的 Reviewed text", "请再看一遍"));
        docs->commented = docs->dir + "/批注";
        ASSERT_TRUE(QDir().mkpath(docs->commented));
        make(commented, "批注/带批注.doc", "MS Word 97");
        make(commented, "批注/带批注.docx", "MS Word 2007 XML");
        make(book1, "表格.xls", "MS Excel 97");
        make(book2, "清单.xls", "MS Excel 97");
        make(book1, "表格.xlsx", "Calc MS Excel 2007 XML");
        make(book2, "清单.xlsx", "Calc MS Excel 2007 XML");
        // A presentation with the word on its second slide, one with it only in the notes,
        // one without it, and a Word document under WPS Office's name.
        const QString deck1 = docs->root.filePath("deck1.fodp");
        const QString deck2 = docs->root.filePath("deck2.fodp");
        const QString deck3 = docs->root.filePath("deck3.fodp");
        ASSERT_TRUE(testing::writeFlatSlides(
            deck1, {{"封面", "宋体", {}, false}, {"年度总结 你好世界", "微软雅黑", {}, false}}));
        ASSERT_TRUE(testing::writeFlatSlides(deck2, {{"封面", "宋体", "讲稿：你好世界", false}}));
        ASSERT_TRUE(testing::writeFlatSlides(deck3, {{"无关的幻灯片", "宋体", {}, false}}));
        make(deck1, "幻灯片.pptx", "Impress MS PowerPoint 2007 XML");
        make(deck2, "备注.ppt", "MS PowerPoint 97");
        make(deck3, "其他.pptx", "Impress MS PowerPoint 2007 XML");
        make(report, "报告.wps", "MS Word 97");
        office->end();
    }
    void TearDown() override {
        delete docs;
        docs = nullptr;
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new DocumentsEnvironment);

const QStringList kFiles{"报告.doc", "报告.docx", "其他.doc", "其他.docx", "表格.xls", "清单.xls"};

// A pool of one office and a pool of two mark the same rows and count the same.
TEST(ContentSearchOffice, ChineseAndLatinTextsInDocDocxAndXlsOnPoolsOfOneAndTwo) {
    for (const char* pool : {"1", "2"}) {
        SCOPED_TRACE(std::string("pool ") + pool);
        testing::SearchWindowBase s;
        writeSetting(globals().profile, Key::Pool, pool);
        s.add(kFiles, docs->dir);
        s.w.cbx_1->setChecked(true);
        s.search(QStringLiteral(" 你好世界 "));
        EXPECT_EQ(s.marks(), (QStringList{"报告.doc +找到", "报告.docx +找到", "其他.doc -",
                                          "其他.docx -", "表格.xls +找到", "清单.xls -"}));
        EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到3个"});
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty()) << "no soffice left";
        EXPECT_FALSE(s.desktop.minimized);

        // Latin letters in another case; the workbook's match is on its second sheet.
        s.desktop.messages.clear();
        s.search(QStringLiteral("hello QUORVANE"));
        EXPECT_EQ(s.marks(), (QStringList{"报告.doc +找到", "报告.docx +找到", "其他.doc -",
                                          "其他.docx -", "表格.xls -", "清单.xls +找到"}));
        EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到3个"});
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
    }
}

TEST(ContentSearchOffice, XlsxWorkbookWithTheWordOnItsSecondSheetIsFound) {
    testing::SearchWindowBase s;
    s.add({"表格.xlsx", "清单.xlsx"}, docs->dir);
    s.search(QStringLiteral("hello QUORVANE"));
    EXPECT_EQ(s.marks(), (QStringList{"表格.xlsx -", "清单.xlsx +找到"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到1个"});
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty()) << "no soffice left";
}

// Presentations are searched on their slides and notes, and a WPS Office name goes by
// what the file is.
TEST(ContentSearchOffice, AWordOnASlideOrInTheNotesAndAWpsDocumentAreFound) {
    testing::SearchWindowBase s;
    s.add({"幻灯片.pptx", "备注.ppt", "其他.pptx", "报告.wps"}, docs->dir);
    s.search(QStringLiteral("你好世界"));
    EXPECT_EQ(s.marks(), (QStringList{"幻灯片.pptx +找到", "备注.ppt +找到", "其他.pptx -",
                                      "报告.wps +找到"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到3个"});
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty()) << "no soffice left";
}

// Documents with a review comment are searched like any other; and when the office dies
// in the middle of a row, the row is searched again on a fresh instance.
TEST(ContentSearchOffice, CommentedDocumentsAndAnOfficeKilledDuringARow) {
    testing::SearchWindowBase s;
    s.add({"带批注.doc", "带批注.docx"}, docs->commented);
    s.add({"报告.docx", "其他.doc"}, docs->dir);
    s.search(QStringLiteral("reviewed"));
    EXPECT_EQ(s.marks(),
              (QStringList{"带批注.doc +找到", "带批注.docx +找到", "报告.docx -", "其他.doc -"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到2个"});

    qint64 killed = 0;
    std::thread killer;
    // When the second row's result is in, before the third row is handed out.
    QObject::connect(s.w.vpb_1, &QProgressBar::valueChanged, s.w.vpb_1, [&](int done) {
        if (done != 2 || killed != 0) return;
        killed = OfficeInstance::runningPids().value(0);
        ASSERT_GT(killed, 0);
        ::kill(pid_t(killed), SIGSTOP);  // the row's open cannot be answered
        killer = std::thread([pid = killed] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            ::kill(pid_t(pid), SIGKILL);
        });
    });
    s.desktop.messages.clear();
    s.search(QStringLiteral("你好世界"));
    if (killer.joinable()) killer.join();
    EXPECT_EQ(s.marks(),
              (QStringList{"带批注.doc -", "带批注.docx -", "报告.docx +找到", "其他.doc -"}));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到1个"});
    EXPECT_TRUE(testing::waitGone(killed));
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
}

TEST(ContentSearchOffice, DocumentThatCannotBeOpenedEndsTheOfficeBeforeTheReport) {
    testing::SearchWindowBase s;
    {
        QFile source(docs->dir + "/报告.docx");
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QFile bad(s.path("坏 文件.docx"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write(source.readAll().left(200));  // a truncated package
    }
    s.add({"报告.docx"}, docs->dir);
    s.add({"坏 文件.docx"});
    s.w.cbx_1->setChecked(true);
    QString atReport;
    s.desktop.atMessage = [&] {
        atReport = QString("minimised %1, instances %2")
                       .arg(s.desktop.minimized)
                       .arg(OfficeInstance::runningPids().size());
    };
    s.search(QStringLiteral("你好"));
    ASSERT_EQ(s.desktop.messages.size(), 1u);
    EXPECT_EQ(s.desktop.messages[0].title, "");
    EXPECT_TRUE(s.desktop.messages[0].text.contains("documents.open"))
        << s.desktop.messages[0].text.toStdString();
    EXPECT_EQ(atReport, "minimised 0, instances 0");
    EXPECT_EQ(s.marks(), (QStringList{"报告.docx +找到", "坏 文件.docx -"}));
    EXPECT_EQ(s.w.list().cellText(2, "yy"), "文件已损坏或无法识别");
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());

    // Going on past errors, the damaged file is not found, says why, and the search ends
    // with its count.
    writeSetting(globals().profile, Key::Sfjx, "y");
    s.add({"其他.doc"}, docs->dir);
    s.desktop.messages.clear();
    s.search(QStringLiteral("你好"));
    EXPECT_EQ(s.texts(), QStringList{"搜索结束,共找到1个"});
    EXPECT_EQ(s.marks(), (QStringList{"报告.docx +找到", "坏 文件.docx -", "其他.doc -"}));
    EXPECT_EQ(s.w.list().cellText(2, "yy"), "文件已损坏或无法识别");
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
}

}  // namespace
}  // namespace quorv
