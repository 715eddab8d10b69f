#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <qpdf/QPDF.hh>

#include "core/pdfoptions.h"
#include "engines/checks/outputchecks.h"
#include "engines/pdf/pdfpost.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "pdfparts.h"

namespace quorv::pdf {
namespace {

using testpdf::makePdf;
using testpdf::run;
using testpdf::textOf;

const QStringList kPages{"Quarterly report, first page", "Second page: totals 1234",
                         "Third page ends here"};

QString encryptionOf(const QString& pdf, const QString& password) {
    return run("qpdf", {"--show-encryption", "--password=" + password, pdf});
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(PdfProtection, OpenPasswordIsAes256AndTheRestrictionsHold) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    ASSERT_TRUE(makePdf(pdf, kPages));
    PdfOptions o;
    o.protection = {"s3cret", "owner9", true, true, true};
    QString error;
    ASSERT_TRUE(postProcessPdf(pdf, o, &error)) << error.toStdString();

    const QString shown = encryptionOf(pdf, "s3cret");
    EXPECT_TRUE(shown.contains("R = 6")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("AESv3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("print high resolution: not allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("extract for any purpose: not allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("modify anything: not allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Supplied password is user password")) << shown.toStdString();
    EXPECT_TRUE(encryptionOf(pdf, "owner9").contains("Supplied password is owner password"));

    // Without the password nothing opens; with it the text is all there.
    EXPECT_EQ(pdfPagesWithPassword(pdf, ""), -1);
    EXPECT_EQ(pdfPagesWithPassword(pdf, "wrong"), -1);
    EXPECT_EQ(textOf(pdf), "");
    const QString text = textOf(pdf, "s3cret");
    for (const QString& page : kPages) EXPECT_TRUE(text.contains(page)) << text.toStdString();
    // The output check passes the protected file only with its password.
    EXPECT_FALSE(checks::pdfReads(pdf));
    EXPECT_TRUE(checks::pdfReads(pdf, "s3cret"));
    EXPECT_EQ(checks::pdfPageCount(pdf, "s3cret"), 3);
}

TEST(PdfProtection, RestrictionsWithoutPasswordsCannotBeLiftedWithAnEmptyOne) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    ASSERT_TRUE(makePdf(pdf, kPages));
    PdfOptions o;
    o.protection.noPrint = true;
    ASSERT_TRUE(postProcessPdf(pdf, o));
    const QString shown = encryptionOf(pdf, "");
    EXPECT_TRUE(shown.contains("R = 6")) << shown.toStdString();
    // Anyone opens it, but as a user: the printing stays forbidden.
    EXPECT_TRUE(shown.contains("Supplied password is user password")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("print low resolution: not allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("extract for any purpose: allowed")) << shown.toStdString();
    EXPECT_TRUE(checks::pdfReads(pdf));
}

TEST(PdfProtection, OnlyAnOpenPasswordLeavesEverythingAllowedOnceOpened) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    ASSERT_TRUE(makePdf(pdf, kPages));
    PdfOptions o;
    o.protection.openPassword = "开门 123";
    ASSERT_TRUE(postProcessPdf(pdf, o));
    EXPECT_EQ(pdfPagesWithPassword(pdf, ""), -1);
    EXPECT_EQ(pdfPagesWithPassword(pdf, "开门 123"), 3);
    const QString shown = encryptionOf(pdf, "开门 123");
    EXPECT_TRUE(shown.contains("modify anything: allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("print high resolution: allowed")) << shown.toStdString();
}

TEST(PdfPostProcess, NothingAskedLeavesTheFileAndAFailureLeavesItToo) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    ASSERT_TRUE(makePdf(pdf, kPages));
    const QByteArray before = bytesOf(pdf);
    EXPECT_TRUE(postProcessPdf(pdf, PdfOptions{}));
    EXPECT_EQ(bytesOf(pdf), before);

    // Not a PDF at all: no rewrite, the file as it was, no temporary left beside it.
    const QString bad = dir.filePath("bad.pdf");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4 cut short");
    }
    PdfOptions o;
    o.protection.openPassword = "x";
    o.watermark.text = "内部资料";
    QString error;
    EXPECT_FALSE(postProcessPdf(bad, o, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(bytesOf(bad), QByteArray("%PDF-1.4 cut short"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(PdfWatermark, TextStaysWholeAndTheMarkIsSeenOnEveryPage) {
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain.pdf");
    ASSERT_TRUE(makePdf(plain, kPages));
    const QString textBefore = textOf(plain);
    const int inkBefore = testpdf::darkPixels(plain);
    ASSERT_FALSE(textBefore.isEmpty());

    int inkTiled = 0, inkSingle = 0;
    for (const bool tiled : {true, false}) {
        const QString pdf = dir.filePath(tiled ? "tiled.pdf" : "single.pdf");
        ASSERT_TRUE(QFile::copy(plain, pdf));
        PdfOptions o;
        o.watermark = {"内部资料 仅供参考", 40, 30, tiled};
        QString error;
        ASSERT_TRUE(postProcessPdf(pdf, o, &error)) << error.toStdString();
        // Search and copy see the document's text exactly as before: the mark adds none.
        EXPECT_EQ(textOf(pdf), textBefore);
        EXPECT_EQ(pdfPagesWithPassword(pdf, ""), 3);
        (tiled ? inkTiled : inkSingle) = testpdf::darkPixels(pdf);
    }
    EXPECT_GT(inkSingle, inkBefore + 50);
    EXPECT_GT(inkTiled, inkSingle * 2) << "tiles cover much more of the page than one mark";
}

TEST(PdfWatermark, TurnedPagesAndProtectionTogether) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("turned.pdf");
    ASSERT_TRUE(makePdf(pdf, kPages, {}, 90));
    const QString textBefore = textOf(pdf);
    PdfOptions o;
    o.watermark = {"机密", 60, 100, false};
    o.protection.openPassword = "pw";
    ASSERT_TRUE(postProcessPdf(pdf, o));
    EXPECT_EQ(textOf(pdf, "pw"), textBefore);
    EXPECT_GT(testpdf::darkPixels(pdf, "pw"), 50);
    EXPECT_TRUE(checks::pdfReads(pdf, "pw"));
}

TEST(PdfWatermark, BlankTextMarksNothing) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("a.pdf");
    ASSERT_TRUE(makePdf(pdf, kPages));
    const QByteArray before = bytesOf(pdf);
    PdfOptions o;
    o.watermark.text = "  \n ";
    EXPECT_TRUE(postProcessPdf(pdf, o));
    EXPECT_EQ(bytesOf(pdf), before);
}

}  // namespace
}  // namespace quorv::pdf
