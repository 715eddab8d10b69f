// The checks an output passes before its row counts as converted, on files made here:
// whole ones pass, and each way an office or a tool can leave a broken one fails.
#include <QFile>
#include <QTemporaryDir>

#include "engines/checks/outputchecks.h"
#include "fakes/output_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

using namespace quorv::testing;

struct Files {
    QTemporaryDir dir;
    QString put(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
};

struct Case {
    const char* what;
    QByteArray bytes;
    bool reads;
};

void expectCases(OutputKind kind, const char* ext, const QList<Case>& cases) {
    Files files;
    const QString source = files.put("source.docx", "a source");
    int n = 0;
    for (const Case& c : cases) {
        const QString path = files.put(QString("out%1.%2").arg(n++).arg(ext), c.bytes);
        EXPECT_EQ(checks::outputReads(path, kind, source), c.reads) << c.what;
        EXPECT_EQ(QFile(path).size(), c.bytes.size()) << c.what << ": a check changes nothing";
    }
    EXPECT_FALSE(checks::outputReads(files.dir.filePath("missing"), kind, source))
        << "a file that is not there";
}

TEST(OutputChecks, APdfReadsWhenWholeWithAPage) {
    const QByteArray good = pdfBytes(2);
    QByteArray bent = good;
    bent.replace("/Root 1 0 R", "/Root 9 0 R");
    expectCases(
        OutputKind::Pdf, "pdf",
        {
            {"two pages", good, true},
            {"cut short in the middle", good.left(good.size() / 2), false},
            // poppler rebuilds the table of a file that lost its end and opens it.
            {"cut short just before its end marker", good.left(good.indexOf("startxref")), false},
            {"a page tree without pages", pdfBytes(0), false},
            {"a trailer naming no catalog", bent, false},
            {"text under a PDF name", "fake output\n%%EOF\n", false},
            {"empty", QByteArray(), false},
        });
}

TEST(OutputChecks, AnXpsReadsAsACompleteZipWithAFixedDocumentSequence) {
    const QByteArray good = xpsBytes();
    expectCases(
        OutputKind::Xps, "xps",
        {
            {"as Ghostscript writes it", good, true},
            {"cut short: the central directory is gone", good.left(good.size() - 30), false},
            {"a package without its fixed document sequence", xpsBytes(false), false},
            {"a zip without pages",
             zipBytes({{"FixedDocumentSequence.fdseq", "<FixedDocumentSequence/>"}}), false},
            {"a PDF under an XPS name", pdfBytes(1), false},
            {"empty", QByteArray(), false},
        });
}

TEST(OutputChecks, AnSwfReadsWithAWholeHeaderAndAFrame) {
    const QByteArray fws = swfBytes(false, 3);
    const QByteArray cws = swfBytes(true, 3);
    QByteArray badSignature = fws;
    badSignature[0] = 'X';
    QByteArray bentStream = cws;
    bentStream[10] = char(bentStream[10] ^ 0x5A);
    QByteArray longerThanSaid = cws;
    longerThanSaid[4] = char(longerThanSaid[4] + 1);
    expectCases(OutputKind::Swf, "swf",
                {
                    {"uncompressed, three frames", fws, true},
                    {"compressed, three frames", cws, true},
                    {"one frame", swfBytes(true, 1), true},
                    {"a signature that is neither FWS nor CWS", badSignature, false},
                    {"uncompressed without frames", swfBytes(false, 0), false},
                    {"compressed without frames", swfBytes(true, 0), false},
                    {"uncompressed, cut short", fws.left(fws.size() - 3), false},
                    {"compressed, cut short", cws.left(cws.size() - 4), false},
                    {"compressed, damaged stream", bentStream, false},
                    {"compressed, shorter than its header says", longerThanSaid, false},
                    {"the three bytes of a signature only", "FWS", false},
                });
}

TEST(OutputChecks, ATextIsEmptyOnlyWhenItsSourceIs) {
    Files files;
    const QString full = files.put("full.txt", "字");
    const QString empty = files.put("empty.txt", "");
    const QString out = files.put("out.txt", "");
    EXPECT_FALSE(checks::outputReads(out, OutputKind::Text, full));
    EXPECT_TRUE(checks::outputReads(out, OutputKind::Text, empty));
    EXPECT_TRUE(checks::outputReads(full, OutputKind::Text, full));
}

// An OFD package as the tool lays it out: OFD.xml naming the document, its page tree, and
// one content part per page. `listed` pages in the tree, `contents` of them with a part.
QByteArray ofdBytes(int listed, int contents, const QByteArray& docRoot = "Doc_0/Document.xml") {
    QByteArray pages;
    for (int i = 0; i < listed; ++i) {
        pages += "<ofd:Page ID=\"" + QByteArray::number(i + 2) + "\" BaseLoc=\"Pages/Page_" +
                 QByteArray::number(i) + "/Content.xml\"/>";
    }
    QList<QPair<QByteArray, QByteArray>> members{
        {"OFD.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ofd:OFD "
         "xmlns:ofd=\"http://www.ofdspec.org/2016\" Version=\"1.0\" DocType=\"OFD\">"
         "<ofd:DocBody><ofd:DocInfo><ofd:DocID>x</ofd:DocID></ofd:DocInfo><ofd:DocRoot>" +
             docRoot + "</ofd:DocRoot></ofd:DocBody></ofd:OFD>"},
        {"Doc_0/Document.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ofd:Document "
         "xmlns:ofd=\"http://www.ofdspec.org/2016\"><ofd:CommonData><ofd:MaxUnitID>9"
         "</ofd:MaxUnitID></ofd:CommonData><ofd:Pages>" +
             pages + "</ofd:Pages></ofd:Document>"}};
    for (int i = 0; i < contents; ++i) {
        members.append({"Doc_0/Pages/Page_" + QByteArray::number(i) + "/Content.xml",
                        "<ofd:Page xmlns:ofd=\"http://www.ofdspec.org/2016\"/>"});
    }
    return zipBytes(members);
}

TEST(OutputChecks, AnOfdReadsWholeWithThePagesOfItsPdf) {
    Files files;
    const QString pdf = files.put("source.pdf", pdfBytes(2));
    const QByteArray good = ofdBytes(2, 2);
    const QList<Case> cases{
        {"two pages from a two-page PDF", good, true},
        {"a root named from the package root", ofdBytes(2, 2, "/Doc_0/Document.xml"), true},
        {"cut short: the central directory is gone", good.left(good.size() - 30), false},
        {"cut in half", good.left(good.size() / 2), false},
        {"one page fewer than the PDF", ofdBytes(1, 1), false},
        {"one page more than the PDF", ofdBytes(3, 3), false},
        {"a page listed without its content", ofdBytes(2, 1), false},
        {"a root naming no document", ofdBytes(2, 2, "Doc_1/Document.xml"), false},
        {"a zip without OFD.xml", zipBytes({{"Doc_0/Document.xml", "<a/>"}}), false},
        {"a PDF under an OFD name", pdfBytes(2), false},
        {"empty", QByteArray(), false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = files.put(QString("out%1.ofd").arg(n++), c.bytes);
        EXPECT_EQ(checks::outputReads(path, OutputKind::Ofd, pdf), c.reads) << c.what;
        EXPECT_EQ(QFile(path).size(), c.bytes.size()) << c.what << ": a check changes nothing";
    }
    // Checked again against its document (a resumed batch), whose PDF is gone: the package
    // must still be whole and have pages.
    const QString docx = files.put("source.docx", "a document");
    EXPECT_TRUE(checks::outputReads(files.put("good.ofd", good), OutputKind::Ofd, docx));
    EXPECT_FALSE(checks::outputReads(files.put("none.ofd", ofdBytes(0, 0)), OutputKind::Ofd, docx));
    EXPECT_FALSE(checks::outputReads(files.put("cut.ofd", good.left(good.size() - 30)),
                                     OutputKind::Ofd, docx));
    EXPECT_FALSE(checks::outputReads(files.dir.filePath("missing.ofd"), OutputKind::Ofd, pdf));
}

TEST(OutputChecks, TheProgramsBackendChecksEveryOutput) {
    Files files;
    const QString cut = files.put("cut.pdf", pdfBytes(1).left(100));
    const QString source = files.put("a.docx", "a source");
    EXPECT_FALSE(outputReads(cut, OutputKind::Pdf, source));
    EXPECT_TRUE(outputReads(files.put("whole.pdf", pdfBytes(1)), OutputKind::Pdf, source));
    EXPECT_EQ(outputKindOfFormat(17), OutputKind::Pdf);
    EXPECT_EQ(outputKindOfFormat(18), OutputKind::Xps);
    EXPECT_EQ(outputKindOfFormat(8), OutputKind::Text);
}

}  // namespace
}  // namespace quorv
