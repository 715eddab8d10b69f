#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <thread>
#include <vector>

#include "core/pdfoptions.h"
#include "engines/checks/outputchecks.h"
#include "engines/pdf/pdflock.h"
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

TEST(PdfProtection, OutputsOfOneProtectionShareTheirLockAndEachNeedsItsPassword) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.pdf"), b = dir.filePath("b.pdf"), c = dir.filePath("c.pdf");
    for (const QString& pdf : {a, b, c}) ASSERT_TRUE(makePdf(pdf, kPages));
    PdfOptions o;
    o.protection = {"甲乙 123", "owner9", false, true, false};
    ASSERT_TRUE(postProcessPdf(a, o));
    ASSERT_TRUE(postProcessPdf(b, o));
    PdfOptions other = o;
    other.protection.openPassword = "另一个";
    ASSERT_TRUE(postProcessPdf(c, other));

    // The keys are derived once per protection: a and b carry the same entries, c its own.
    const std::optional<PdfLock> lockA = readPdfLock(a, "甲乙 123");
    const std::optional<PdfLock> lockB = readPdfLock(b, "甲乙 123");
    ASSERT_TRUE(lockA && lockB);
    EXPECT_EQ(lockA->entries, lockB->entries);
    EXPECT_FALSE(readPdfLock(c, "甲乙 123"));
    ASSERT_TRUE(readPdfLock(c, "另一个"));
    EXPECT_NE(readPdfLock(c, "另一个")->entries, lockA->entries);
    EXPECT_TRUE(encryptionOf(b, "owner9").contains("Supplied password is owner password"));
    EXPECT_TRUE(encryptionOf(b, "甲乙 123").contains("extract for any purpose: not allowed"));

    // The check opens a with poppler; b is read as a was, and still only with its password.
    EXPECT_TRUE(checks::pdfReads(a, "甲乙 123"));
    EXPECT_TRUE(checks::pdfReads(b, "甲乙 123"));
    EXPECT_EQ(checks::pdfPageCount(b, "甲乙 123"), 3);
    EXPECT_FALSE(checks::pdfReads(b, "甲乙 12"));
    EXPECT_FALSE(checks::pdfReads(b, ""));
    EXPECT_FALSE(checks::pdfReads(c, "甲乙 123"));
    EXPECT_TRUE(checks::pdfReads(c, "另一个"));
    const QString text = textOf(b, "甲乙 123");
    for (const QString& page : kPages) EXPECT_TRUE(text.contains(page)) << text.toStdString();
}

TEST(PdfProtection, AKnownLockPassesNoFileThatDoesNotReadWhole) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.pdf"), b = dir.filePath("b.pdf");
    for (const QString& pdf : {a, b}) ASSERT_TRUE(makePdf(pdf, kPages));
    PdfOptions o;
    o.protection.openPassword = "s3cret";
    ASSERT_TRUE(postProcessPdf(a, o));
    ASSERT_TRUE(postProcessPdf(b, o));
    const std::optional<PdfLock> lock = readPdfLock(a, "s3cret");
    ASSERT_TRUE(lock);
    EXPECT_EQ(pagesUnderLock(b, *lock), 3);

    // Page content whose bytes were changed no longer decrypts and inflates.
    QByteArray bytes = bytesOf(b);
    const qsizetype stream = bytes.indexOf("stream\n", bytes.indexOf("/Length"));
    ASSERT_GT(stream, 0);
    for (qsizetype i = stream + 7; i < stream + 23; ++i) bytes[i] = char(bytes[i] ^ 0x5a);
    const QString damaged = dir.filePath("damaged.pdf");
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    EXPECT_FALSE(pagesUnderLock(damaged, *lock));
    // Cut short: qpdf would repair it, so the known lock does not vouch for it.
    const QString cut = dir.filePath("cut.pdf");
    {
        QFile f(cut);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytesOf(b).left(bytesOf(b).size() * 2 / 3));
    }
    EXPECT_FALSE(pagesUnderLock(cut, *lock));
    EXPECT_FALSE(checks::pdfReads(cut, "s3cret"));
    // Another lock: not the one known, whatever the password.
    PdfOptions printing = o;
    printing.protection.noPrint = true;
    const QString other = dir.filePath("other.pdf");
    ASSERT_TRUE(makePdf(other, kPages));
    ASSERT_TRUE(postProcessPdf(other, printing));
    EXPECT_FALSE(pagesUnderLock(other, *lock));
    EXPECT_TRUE(checks::pdfReads(other, "s3cret"));
}

TEST(PdfPostProcess, RowsOnSeveralThreadsAtOnce) {
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < 8; ++i) {
        files << dir.filePath(QStringLiteral("f%1.pdf").arg(i));
        ASSERT_TRUE(makePdf(files.back(), {QStringLiteral("File number %1").arg(i)}));
    }
    PdfOptions o;
    o.protection = {"开门", "权限", true, true, true};
    o.watermark.text = "内部资料";
    std::vector<std::thread> workers;
    std::vector<int> written(files.size(), 0), read(files.size(), 0);
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int i = w; i < files.size(); i += 4) {
                written[size_t(i)] = postProcessPdf(files[i], o);
                read[size_t(i)] = checks::pdfReads(files[i], "开门");
            }
        });
    }
    for (std::thread& t : workers) t.join();
    for (int i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(written[size_t(i)] && read[size_t(i)]) << i;
        EXPECT_TRUE(textOf(files[i], "开门").contains(QStringLiteral("File number %1").arg(i)));
    }
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

// The content of the watermark's form on the first page.
std::string markOf(const QString& pdf) {
    QPDF doc;
    doc.processFile(QFile::encodeName(pdf).constData());
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(doc).getAllPages().front();
    QPDFObjectHandle form =
        page.getAttribute("/Resources", false).getKey("/XObject").getKey("/QvWm");
    if (!form.isStream()) return {};
    const std::shared_ptr<Buffer> data = form.getStreamData(qpdf_dl_generalized);
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

TEST(PdfWatermark, EachTextDrawsItsOwnMark) {
    QTemporaryDir dir;
    std::string marks[3];
    const char* texts[3] = {"内部资料", "机密", "内部资料"};
    for (int i = 0; i < 3; ++i) {
        const QString pdf = dir.filePath(QStringLiteral("%1.pdf").arg(i));
        ASSERT_TRUE(makePdf(pdf, kPages));
        PdfOptions o;
        o.watermark = {texts[i], 40, 30, true};
        ASSERT_TRUE(postProcessPdf(pdf, o));
        marks[i] = markOf(pdf);
        ASSERT_FALSE(marks[i].empty());
    }
    EXPECT_EQ(marks[0], marks[2]);
    EXPECT_NE(marks[0], marks[1]);
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
