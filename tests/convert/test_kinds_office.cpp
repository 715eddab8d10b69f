// Workbooks, presentations, WPS Office files and documents whose names lie, converted by the
// real engine: pages as their own application prints them, text present, hidden parts and
// notes left out, Chinese faces, and a clear reason where there is nothing to convert.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "convert/contentfind.h"
#include "convert/kind_docs.h"
#include "convert/officeconvert.h"
#include "engines/office/office_docs.h"
#include "fakes/made_once.h"
#include "fakes/pdfa_checks.h"
#include "fakes/protected_files.h"
#include "fakes/test_files.h"
#include "fidelity/pdfglyphs.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

const QString kInArea = QStringLiteral("打印区域内");
const QString kOutside = QStringLiteral("区域外文字");
const QString kHiddenSheet = QStringLiteral("隐藏表内容");
const QString kFit = QStringLiteral("整页缩放");
const QString kSlide1 = QStringLiteral("第一张幻灯片");
const QString kSlide3 = QStringLiteral("第三张幻灯片");
const QString kHiddenSlide = QStringLiteral("隐藏幻灯片");
const QString kNotes = QStringLiteral("演讲者备注");

struct Shared {
    QTemporaryDir root;
    QString src;  // folder of the sources, ending in "/"
};
Shared* shared = nullptr;

QString source(const QString& name) { return shared->src + name; }

bool copyAs(const QString& from, const QString& to) {
    return QFile::copy(source(from), source(to));
}

void makeDocuments() {
    if (qEnvironmentVariableIsSet("QUORV_KEEP_OUTPUT")) shared->root.setAutoRemove(false);
    shared->src = shared->root.path() + "/源文件/";
    QDir().mkpath(shared->src);
    const QString book = source("book.fods");
    ASSERT_TRUE(testing::writeFlatWorkbook(book, kInArea, kOutside, kHiddenSheet, kFit));
    ASSERT_TRUE(testing::saveThroughExcel(book, source("报表.xls"), 56));
    ASSERT_TRUE(testing::saveThroughExcel(book, source("报表.xlsx"), 51));
    ASSERT_TRUE(testing::saveThroughExcel(source("报表.xlsx"), source("报表.ods"), 60));
    const QString slides = source("slides.fodp");
    ASSERT_TRUE(testing::writeFlatSlides(slides, {{kSlide1, "微软雅黑", {}, false},
                                                  {kHiddenSlide, "宋体", {}, true},
                                                  {kSlide3, "宋体", kNotes, false}}));
    ASSERT_TRUE(testing::saveThroughPowerPoint(slides, source("演示.ppt"), 1));
    ASSERT_TRUE(testing::saveThroughPowerPoint(slides, source("演示.pptx"), 24));
    ASSERT_TRUE(testing::saveThroughPowerPoint(slides, source("演示.odp"), 35));
    // WPS Office's names over Microsoft's formats, and a workbook package named .xls.
    ASSERT_TRUE(copyAs("报表.xls", "报表.et"));
    ASSERT_TRUE(copyAs("报表.xlsx", "报表.ett"));
    ASSERT_TRUE(copyAs("演示.ppt", "演示.dps"));
    ASSERT_TRUE(copyAs("演示.pptx", "演示.dpt"));
    ASSERT_TRUE(copyAs("报表.xlsx", "包.xls"));
}
const auto* const kEnv =
    testing::madeOnce(shared, makeDocuments, testing::AfterMaking::KeepSession);

class Kinds : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = out.path() + "/输出/";
        QDir().mkpath(folder);
        // QUORV_KEEP_OUTPUT keeps the outputs for a person to look at.
        if (qEnvironmentVariableIsSet("QUORV_KEEP_OUTPUT")) out.setAutoRemove(false);
    }
    QTemporaryDir out;
    QString folder;
};

// The reason of the run-time error a call raises; None when it raises none.
template <class F>
FailReason raisedReason(F f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.reason();
    }
    return FailReason::None;
}

// Text without the blanks and line breaks pdftotext puts between cells.
QString flatText(const QString& pdf) {
    QString t = pdfText(pdf);
    t.remove(QRegularExpression(QStringLiteral("\\s")));
    return t;
}

TEST_F(Kinds, AWorkbookPrintsItsPrintAreaAndFittedSheetAndSkipsHiddenAndEmptyOnes) {
    for (const char* name :
         {"报表.xls", "报表.xlsx", "报表.ods", "报表.et", "报表.ett", "包.xls"}) {
        SCOPED_TRACE(name);
        const ConvertOutcome o = office2xps(source(name), "pdf", folder, 17, {});
        ASSERT_TRUE(o.written()) << failReasonText(o.reason).toStdString();
        EXPECT_TRUE(o.output.endsWith(".pdf"));
        // One page for the print area, one for the sheet fitted to a page; the empty sheet
        // and the hidden one print nothing.
        EXPECT_EQ(pdfPages(o.output), 2);
        const QString text = flatText(o.output);
        EXPECT_TRUE(text.contains(kInArea));
        EXPECT_TRUE(text.contains(kFit));
        EXPECT_TRUE(text.contains(QStringLiteral("宽表格内容119-15"))) << "the last cell fits";
        EXPECT_FALSE(text.contains(kOutside));
        EXPECT_FALSE(text.contains(kHiddenSheet));
        if (!qEnvironmentVariableIsSet("QUORV_KEEP_OUTPUT")) QFile::remove(o.output);
    }
}

TEST_F(Kinds, APresentationPrintsOnePagePerVisibleSlideAtItsSizeWithoutNotes) {
    for (const char* name : {"演示.ppt", "演示.pptx", "演示.odp", "演示.dps", "演示.dpt"}) {
        SCOPED_TRACE(name);
        const ConvertOutcome o = office2xps(source(name), "pdf", folder, 17, {});
        ASSERT_TRUE(o.written()) << failReasonText(o.reason).toStdString();
        EXPECT_EQ(pdfPages(o.output), 2);
        const QString text = flatText(o.output);
        EXPECT_TRUE(text.contains(kSlide1));
        EXPECT_TRUE(text.contains(kSlide3));
        EXPECT_FALSE(text.contains(kHiddenSlide));
        EXPECT_FALSE(text.contains(kNotes));
        // The slide's own size (28 x 15.75 cm), not a sheet of paper with the slide on it.
        EXPECT_TRUE(runText("pdfinfo", {o.output})
                        .contains(QRegularExpression("79[34]\\.\\d+ x 44[67]\\.\\d+ pts")))
            << runText("pdfinfo", {o.output}).toStdString();
        if (!qEnvironmentVariableIsSet("QUORV_KEEP_OUTPUT")) QFile::remove(o.output);
    }
}

TEST_F(Kinds, TheBytesNotTheNameChooseTheServer) {
    // Notices that office systems export as "Word" files, and a Word 97 file under WPS's name.
    ASSERT_TRUE(testing::writeText(source("通知.doc"),
                                   "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                                   "<body><p>网页通知正文</p></body></html>"));
    ASSERT_TRUE(testing::writeText(
        source("通知二.doc"),
        "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"sep\"\r\n\r\n"
        "--sep\r\nContent-Type: text/html; charset=\"utf-8\"\r\nContent-Location: "
        "file:///C:/a.htm\r\n\r\n<html><body><p>单文件网页正文</p></body></html>\r\n--sep--\r\n"));
    ASSERT_TRUE(testing::writeFlatText(source("文字.fodt"), {QStringLiteral("金山文字正文")}));
    ASSERT_TRUE(testing::saveThroughWord(source("文字.fodt"), source("文字.wps"), 0));
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"通知.doc", "网页通知正文"},
        {"通知二.doc", "单文件网页正文"},
        {"文字.wps", "金山文字正文"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ConvertOutcome o = office2xps(source(c.name), "pdf", folder, 17, {});
        ASSERT_TRUE(o.written()) << failReasonText(o.reason).toStdString();
        EXPECT_TRUE(flatText(o.output).contains(QString::fromUtf8(c.text)));
    }
    // Each kind's own function refuses the others' files.
    EXPECT_EQ(excel2xps(source("演示.pptx"), "pdf", folder, 17, {}).reason, FailReason::WrongType);
    EXPECT_EQ(ppt2xps(source("报表.xls"), "pdf", folder, 17, {}).reason, FailReason::WrongType);
}

TEST_F(Kinds, NothingToPrintAndNoKnownKindAreReasonsNotEmptyOutputs) {
    ASSERT_TRUE(testing::writeFlatEmptyWorkbook(source("empty.fods")));
    ASSERT_TRUE(testing::saveThroughExcel(source("empty.fods"), source("空.xlsx"), 51));
    ASSERT_TRUE(testing::writeFlatSlides(source("hidden.fodp"), {{"藏", "宋体", {}, true}}));
    ASSERT_TRUE(testing::saveThroughPowerPoint(source("hidden.fodp"), source("全藏.pptx"), 24));
    ASSERT_TRUE(testing::writeText(source("说明.txt"), "纯文本"));
    for (const char* name : {"空.xlsx", "全藏.pptx"}) {
        EXPECT_EQ(raisedReason([&] { office2xps(source(name), "pdf", folder, 17, {}); }),
                  FailReason::NothingToPrint)
            << name;
        EXPECT_FALSE(QFile::exists(folder + QString::fromUtf8(name).section('.', 0, 0) + ".pdf"));
    }
    EXPECT_EQ(office2xps(source("说明.txt"), "pdf", folder, 17, {}).reason,
              FailReason::UnknownKind);
    EXPECT_EQ(office2xps(source("无.xlsx"), "pdf", folder, 17, {}).reason,
              FailReason::SourceMissing);
    EXPECT_EQ(failReasonText(FailReason::NothingToPrint), QStringLiteral("没有可打印的内容"));
}

TEST_F(Kinds, XpsCustomFormatsNamingPdfaAndPasswordsApplyToEveryKind) {
    const ConvertOutcome xps = office2xps(source("演示.pptx"), "xps", folder, 18, {});
    ASSERT_TRUE(xps.written());
    EXPECT_TRUE(readAll(xps.output).startsWith("PK"));
    const ConvertOutcome bookXps = office2xps(source("报表.xlsx"), "xps", folder, 18, {});
    ASSERT_TRUE(bookXps.written());

    // The custom mode's web page and text: a workbook's sheets as a page, its first as CSV.
    const ConvertOutcome web = office2any(source("报表.xlsx"), "htm", folder, 8, {});
    ASSERT_TRUE(web.written());
    EXPECT_TRUE(QString::fromUtf8(readAll(web.output)).contains(kInArea));
    const ConvertOutcome csv = office2any(source("报表.xls"), "txt", folder, 2, {});
    ASSERT_TRUE(csv.written());
    const QString csvText = QString::fromUtf8(readAll(csv.output));
    EXPECT_TRUE(csvText.contains(kInArea) && csvText.contains(",")) << csvText.toStdString();
    EXPECT_FALSE(csvText.contains(kHiddenSheet));
    EXPECT_EQ(office2any(source("演示.ppt"), "htm", folder, 8, {}).reason,
              FailReason::NoSuchFormat);
    const ConvertOutcome pptx = office2any(source("演示.ppt"), "pptx", folder, 16, {});
    ASSERT_TRUE(pptx.written());
    EXPECT_EQ(documentKind(pptx.output), DocKind::PowerPoint);

    // The export takes the source's name, over an earlier file of it.
    const ConvertOutcome first = office2xps(source("演示.odp"), "pdf", folder, 17, {});
    const ConvertOutcome second = office2xps(source("演示.odp"), "pdf", folder, 17, {});
    EXPECT_EQ(first.output, folder + "演示.pdf");
    EXPECT_EQ(second.output, folder + "演示.pdf");

    WordOptions archive;
    archive.pdfa = 2;
    const ConvertOutcome a = office2xps(source("演示.pptx"), "pdf", folder, 17, archive);
    ASSERT_TRUE(a.written());
    EXPECT_EQ(testing::pdfaProblems(a.output, 2), QStringList());
    const ConvertOutcome b = office2xps(source("报表.ods"), "pdf", folder, 17, archive);
    ASSERT_TRUE(b.written());
    EXPECT_EQ(testing::pdfaProblems(b.output, 2), QStringList());

    const QString locked = source("locked.xls");
    ASSERT_TRUE(QFile::copy(QStringLiteral(PROTECTED_FILES_DIR "/locked.xls"), locked));
    WordOptions withPassword;
    withPassword.passwords = {"错的", testing::kBookPassword};
    EXPECT_TRUE(office2xps(locked, "pdf", folder, 17, withPassword).written());
}

TEST_F(Kinds, TheSearchFindsWordsOnSlidesAndInNotes) {
    for (const char* name : {"演示.pptx", "演示.dps"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(presentationFind(source(name), QStringLiteral("三张")), true);
        EXPECT_EQ(presentationFind(source(name), kNotes), true);
        EXPECT_EQ(presentationFind(source(name), QStringLiteral("不在其中")), false);
    }
}

TEST_F(Kinds, ChineseFacesOfSlidesGetTheStandIns) {
    const ConvertOutcome o = office2xps(source("演示.pptx"), "pdf", folder, 17, {});
    ASSERT_TRUE(o.written());
    const QList<testing::PdfChar> chars = testing::pdfChars(o.output);
    const struct {
        const QString& text;
        const char* face;
    } cases[] = {{kSlide1, "Hei SC"}, {kSlide3, "Song SC"}};
    for (const auto& c : cases) {
        const auto run = testing::findRun(chars, c.text);
        ASSERT_FALSE(run.isEmpty()) << c.text.toStdString();
        EXPECT_EQ(testing::nearestFace(o.output, run).toStdString(), c.face);
    }
}

}  // namespace
}  // namespace quorv
