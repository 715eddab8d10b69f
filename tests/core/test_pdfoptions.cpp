#include <QFile>
#include <QTemporaryDir>

#include "core/defaults.h"
#include "core/ini.h"
#include "core/pdfoptions.h"
#include "fakes/pdf_options_checks.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

QString profileIn(const QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath("tovk.ini");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

TEST(PdfOptionsFile, RoundTripsAndOddValuesFallBackToTheDefaults) {
    QTemporaryDir dir;
    const QString profile = profileIn(dir, "[sdef]\nsfth=y\n");
    const PdfOptions none = readPdfOptions(profile);
    EXPECT_FALSE(none.rewritesOutputs());
    EXPECT_FALSE(none.merge.on);
    EXPECT_TRUE(none.merge.keepParts);
    EXPECT_EQ(none.watermark.size, PdfWatermark::kDefaultSize);
    EXPECT_TRUE(none.watermark.tiled);

    PdfOptions o;
    o.protection = {"a=b;#[x]", "所有者", true, false, true};
    o.watermark = {"仅供参考", 30, 45, false};
    o.merge = {true, "合同.pdf", false};
    ASSERT_EQ(writePdfOptions(profile, o), 1);
    testing::expectSamePdfOptions(readPdfOptions(profile), o);
    // The other keys of the file are kept.
    EXPECT_EQ(readIniKey(profile, "sdef", "sfth", ""), "y");

    const QString odd = profileIn(dir, "[sdef]\nsyzh=9999\nsybtm=x\npdfdk=plain\njzdy=Y\nsypp=n\n");
    const PdfOptions o2 = readPdfOptions(odd);
    EXPECT_EQ(o2.watermark.size, PdfWatermark::kMaxSize);
    EXPECT_EQ(o2.watermark.opacity, PdfWatermark::kDefaultOpacity);
    EXPECT_EQ(o2.protection.openPassword, "") << "a value not in the stored form is no password";
    EXPECT_FALSE(o2.protection.noPrint);
    EXPECT_FALSE(o2.watermark.tiled);
}

TEST(PdfOptionsFile, RestoredDefaultsHoldNoneOfTheKeys) {
    for (const QString& line : defaultFileLines()) {
        for (const char* k : {"pdfdk", "pdfqx", "jzdy", "syzw", "hbpdf", "blfj"}) {
            EXPECT_FALSE(line.startsWith(QLatin1String(k) + "=")) << line.toStdString();
        }
    }
}

TEST(PdfOptionsRefusal, PdfaExcludesEncryptionAndPdfa1ExcludesASeeThroughMark) {
    PdfOptions o;
    EXPECT_EQ(pdfOptionsRefusal(2, o), "");
    for (int part : {1, 2, 3}) {
        PdfOptions p;
        p.protection.noChange = true;
        const QString why = pdfOptionsRefusal(part, p);
        EXPECT_TRUE(why.contains("PDF/A")) << why.toStdString();
        EXPECT_TRUE(why.contains("加密")) << why.toStdString();
        EXPECT_EQ(pdfOptionsRefusal(0, p), "");
    }
    PdfOptions mark;
    mark.watermark = {"草稿", 48, 30, true};
    EXPECT_NE(pdfOptionsRefusal(1, mark), "");
    EXPECT_EQ(pdfOptionsRefusal(2, mark), "");
    mark.watermark.opacity = 100;
    EXPECT_EQ(pdfOptionsRefusal(1, mark), "");

    PdfOptions merge;
    merge.merge = {true, "../x", true};
    EXPECT_EQ(pdfOptionsRefusal(0, merge), "合并文件名无效");
}

TEST(PdfOptionsMerge, NamesStayInTheOutputFolderAndEndInPdf) {
    EXPECT_EQ(mergedFileName(""), "合并.pdf");
    EXPECT_EQ(mergedFileName("  合同汇编 "), "合同汇编.pdf");
    EXPECT_EQ(mergedFileName("a.PDF"), "a.PDF");
    EXPECT_EQ(mergedFileName("v1.2"), "v1.2.pdf");
    EXPECT_EQ(mergedFileName("sub/a.pdf"), "");
    EXPECT_EQ(mergedFileName("a\\b"), "");
    EXPECT_EQ(mergedFileName(".."), "");
}

}  // namespace
}  // namespace quorv
