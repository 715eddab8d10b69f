// The Word conversions and the SWF step against real LibreOffice and quorv-pdf2swf.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "convert/pdf2swf1.h"
#include "convert/wordconvert.h"
#include "engines/office/office_docs.h"
#include "fakes/made_once.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

const QString kText = QStringLiteral("转换测试 Conversion check");

struct Shared {
    QTemporaryDir root;
    QString docx;
};
Shared* shared = nullptr;

void makeDocuments() {
    const QString src = shared->root.filePath("src.fodt");
    ASSERT_TRUE(testing::writeFlatText(src, {kText}));
    QDir().mkpath(shared->root.filePath("源 文件"));
    shared->docx = shared->root.filePath("源 文件/报告 一.docx");
    ASSERT_TRUE(testing::saveThroughWord(src, shared->docx, 16));
}
const auto* const kEnv =
    testing::madeOnce(shared, makeDocuments, testing::AfterMaking::KeepSession);

class RealWord : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = out.path() + "/输出 目录/";
        QDir().mkpath(folder);
    }
    QTemporaryDir out;
    QString folder;
};

TEST_F(RealWord, DocxToPdfXpsWebPageAndText) {
    const QString pdf = word2xps(shared->docx, "pdf", folder, 17, {}).output;
    ASSERT_EQ(pdf, folder + "报告 一.pdf");
    EXPECT_TRUE(pdfText(pdf).contains(kText));

    const QString xps = word2xps(shared->docx, "xps", folder, 18, {}).output;
    ASSERT_EQ(xps, folder + "报告 一.xps");
    EXPECT_TRUE(readAll(xps).startsWith("PK"));

    const QString htm = word2any(shared->docx, "htm", folder, 8, {}).output;
    ASSERT_EQ(htm, folder + "报告 一.htm");
    EXPECT_TRUE(QString::fromUtf8(readAll(htm)).contains("Conversion check"));

    const QString txt = word2any(shared->docx, "txt", folder, 2, {}).output;
    ASSERT_EQ(txt, folder + "报告 一.txt");
    EXPECT_TRUE(QString::fromUtf8(readAll(txt)).contains(kText));
}

TEST_F(RealWord, AMissingOutputFolderFailsTheCallAndIsNotMade) {
    const QString missing = out.path() + "/无此 目录/";
    try {
        word2xps(shared->docx, "pdf", missing, 17, {});
        ADD_FAILURE() << "the export into a missing folder did not fail";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.record().number, kErrCallFailed);
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(RealWord, DocxThroughPdfToSwfInAFolderWithABlank) {
    ASSERT_TRUE(QDir().mkpath(out.path() + "/pdf"));
    const QString pdf = word2pdf(shared->docx, out.path() + "/pdf/").output;
    ASSERT_EQ(pdf, out.path() + "/pdf/报告 一.pdf");
    const QString swf =
        pdf2swf1(pdf, folder, SwfTool{QStringLiteral(PDF2SWF_PATH), "9", {}}).output;
    ASSERT_EQ(swf, folder + "报告 一.swf");
    const QByteArray head = readAll(swf).left(4);
    EXPECT_EQ(head.left(3), "CWS");
    EXPECT_EQ(head[3], 9);
}

}  // namespace
}  // namespace quorv
