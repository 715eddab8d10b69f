// What a document's bytes tell before the office reads it, on files LibreOffice wrote
// (tests/convert/files: locked.* saved with the password "abc", plain.* without one) and
// on files broken here.
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <stdexcept>

#include "convert/docbytes.h"
#include "core/failreason.h"
#include "core/runtimeerror.h"
#include "fakes/test_files.h"
#include "fidelity/minidocx.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

const QString kFiles = QStringLiteral(DOC_FILES_DIR);

struct Scratch {
    QTemporaryDir dir;
    QString put(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    QString copy(const char* fixture, const QString& name) {
        return put(name, readAll(kFiles + "/" + fixture));
    }
};

TEST(DocumentBytes, PasswordProtectionIsReadFromEachFormatsOwnMark) {
    Scratch s;
    const struct {
        const char* fixture;
        const char* as;
        FailReason expected;
    } cases[] = {
        {"locked.doc", "a.doc", FailReason::Password},
        {"plain.doc", "a.doc", FailReason::None},
        {"locked.xls", "a.xls", FailReason::Password},
        {"plain.xls", "a.xls", FailReason::None},
        {"locked.docx", "a.docx", FailReason::Password},
        {"locked.xlsx", "a.xlsx", FailReason::Password},
        {"plain.xlsx", "a.xlsx", FailReason::None},
        // The container, not the name, tells an encrypted package.
        {"locked.docx", "a.DOCM", FailReason::Password},
        {"locked.xlsx", "a.dotx", FailReason::Password},
        // A Word header's flag is not looked for in a workbook, nor the reverse.
        {"locked.doc", "a.xls", FailReason::None},
        {"locked.xls", "a.doc", FailReason::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(documentBytesProblem(s.copy(c.fixture, QString::fromLatin1(c.as))), c.expected)
            << c.fixture << " as " << c.as;
    }
}

TEST(DocumentBytes, AWord2007NameMustHoldAPackageWithItsMainPart) {
    Scratch s;
    const QByteArray good = readAll(kFiles + "/plain.docx");
    ASSERT_GT(good.size(), 1000);
    QByteArray noise(4096, '\0');
    QRandomGenerator gen(18);
    for (char& c : noise) c = char(gen.bounded(256));
    testing::DocxOptions renamed;
    renamed.mainPart = "word/b.xml";
    testing::DocxOptions renamedPacked = renamed;
    renamedPacked.deflate = true;
    testing::DocxOptions fromRoot = renamed;
    fromRoot.relsTarget = "/word/b.xml";
    testing::DocxOptions dangling = renamed;
    dangling.relsTarget = "word/c.xml";
    const struct {
        const char* what;
        QString path;
        FailReason expected;
    } cases[] = {
        {"a real one", s.put("good.docx", good), FailReason::None},
        {"a real one as .docm", s.put("good.docm", good), FailReason::None},
        {"cut in half", s.put("half.docx", good.left(good.size() / 2)), FailReason::Damaged},
        {"one byte short", s.put("short.docx", good.chopped(1)), FailReason::Damaged},
        {"random bytes", s.put("noise.dotx", noise), FailReason::Damaged},
        {"empty", s.put("empty.docx", QByteArray()), FailReason::Damaged},
        {"plain text", s.put("text.docx", "Hello, just text\n"), FailReason::Damaged},
        {"a workbook package", s.copy("plain.xlsx", "book.docx"), FailReason::Damaged},
        {"a workbook in an OLE file", s.copy("plain.xls", "old.docx"), FailReason::Damaged},
        // A Word 97 document under a 2007 name is a real document, read as a .doc.
        {"a Word 97 document", s.copy("plain.doc", "old97.docx"), FailReason::None},
        {"a locked Word 97 document", s.copy("locked.doc", "lock97.docx"), FailReason::Password},
        // The package's relationships name the main part, whatever its name.
        {"main part word/b.xml", s.put("b.docx", testing::docxBytes({}, renamed)),
         FailReason::None},
        {"main part word/b.xml, deflated", s.put("bz.docx", testing::docxBytes({}, renamedPacked)),
         FailReason::None},
        {"named from the root", s.put("root.docx", testing::docxBytes({}, fromRoot)),
         FailReason::None},
        {"relationships naming no member", s.put("none.docx", testing::docxBytes({}, dangling)),
         FailReason::Damaged},
        // Other names are left to the office, which reads text and web pages fine.
        {"random bytes as .txt", s.put("noise.txt", noise), FailReason::None},
        {"random bytes as .xlsx", s.put("noise.xlsx", noise), FailReason::None},
        {"random bytes as .doc", s.put("noise.doc", noise), FailReason::None},
        {"a missing file", s.dir.filePath("gone.docx"), FailReason::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(documentBytesProblem(c.path), c.expected) << c.what;
    }
    bool ok = false;
    const QStringList names = zipMemberNames(good, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(names.contains("word/document.xml")) << names.join(' ').toStdString();
    zipMemberNames(good.left(good.size() - 30), &ok);
    EXPECT_FALSE(ok);
}

// Bytes that look like the start of a container but lead nowhere: never a crash, never a
// refusal of a format the detector does not judge.
TEST(DocumentBytes, BrokenContainersAreJudgedWithoutReadingPastTheEnd) {
    Scratch s;
    const QByteArray ole = readAll(kFiles + "/locked.doc");
    QByteArray loops = ole;
    // Every table entry names sector 0: each chain ends in a loop there.
    for (qsizetype at = 512; at + 4 <= loops.size(); at += 4) {
        loops[at] = 0;
        loops[at + 1] = loops[at + 2] = loops[at + 3] = 0;
    }
    EXPECT_EQ(documentBytesProblem(s.put("head.doc", ole.left(600))), FailReason::None);
    EXPECT_EQ(documentBytesProblem(s.put("loops.doc", loops)), FailReason::None);
    EXPECT_EQ(documentBytesProblem(s.put("head.docx", ole.left(600))), FailReason::Damaged);
    QByteArray endOnly("PK\x05\x06", 4);
    endOnly += QByteArray(18, '\xFF');
    EXPECT_EQ(documentBytesProblem(s.put("end.docx", endOnly)), FailReason::Damaged);
}

// A compound file of one sector of allocation table and one of directory, holding empty
// streams of the given names: what decides a binary file's kind is which streams it has.
QByteArray oleWithStreams(const QStringList& names) {
    QByteArray header(512, '\0');
    const uchar magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    auto put16 = [](QByteArray& b, int at, quint16 v) {
        b[at] = char(v & 0xFF);
        b[at + 1] = char(v >> 8);
    };
    auto put32 = [&](QByteArray& b, int at, quint32 v) {
        put16(b, at, quint16(v & 0xFFFF));
        put16(b, at + 2, quint16(v >> 16));
    };
    for (int i = 0; i < 8; ++i) header[i] = char(magic[i]);
    put16(header, 0x1A, 3);       // major version
    put16(header, 0x1C, 0xFFFE);  // byte order
    put16(header, 0x1E, 9);       // 512-byte sectors
    put16(header, 0x20, 6);       // 64-byte mini sectors
    put32(header, 0x2C, 1);       // one allocation sector
    put32(header, 0x30, 1);       // directory at sector 1
    put32(header, 0x38, 4096);    // mini stream cut-off
    put32(header, 0x3C, 0xFFFFFFFE);
    put32(header, 0x44, 0xFFFFFFFE);
    for (int i = 0; i < 109; ++i) put32(header, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    QByteArray fat(512, '\xFF');
    put32(fat, 0, 0xFFFFFFFD);  // sector 0 holds the table itself
    put32(fat, 4, 0xFFFFFFFE);  // the directory ends in sector 1
    QByteArray dir(512, '\0');
    auto entry = [&](int n, const QString& name, int type) {
        const int at = n * 128;
        for (int i = 0; i < name.size(); ++i) put16(dir, at + 2 * i, name[i].unicode());
        put16(dir, at + 0x40, quint16(2 * (name.size() + 1)));
        dir[at + 0x42] = char(type);
        put32(dir, at + 0x74, 0xFFFFFFFE);
    };
    entry(0, "Root Entry", 5);
    for (int i = 0; i < names.size() && i < 3; ++i) entry(i + 1, names[i], 2);
    return header + fat + dir;
}

TEST(DocumentKinds, TheContainerDecidesTheKindWhateverTheName) {
    Scratch s;
    const QByteArray html = "<!DOCTYPE html>\n<html><body><p>通知</p></body></html>\n";
    const QByteArray mht =
        "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Type: text/html; "
        "charset=\"utf-8\"\r\n\r\n<html><body>通知</body></html>\r\n--b--\r\n";
    const QByteArray excelHtml =
        "<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><body><table><tr><td>1</td>"
        "</tr></table></body></html>";
    const QByteArray flatSlides =
        "<?xml version=\"1.0\"?><office:document office:mimetype="
        "\"application/vnd.oasis.opendocument.presentation\"/>";
    const QByteArray spreadsheet2003 =
        "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n<Workbook/>";
    const struct {
        const char* what;
        QString path;
        DocKind expected;
    } cases[] = {
        {"Word 97", s.copy("plain.doc", "a.doc"), DocKind::Word},
        {"Excel 97", s.copy("plain.xls", "a.xls"), DocKind::Excel},
        {"Word 2007", s.copy("plain.docx", "a.docx"), DocKind::Word},
        {"Excel 2007", s.copy("plain.xlsx", "a.xlsx"), DocKind::Excel},
        {"PowerPoint 2007", s.copy("plain.pptx", "a.pptx"), DocKind::PowerPoint},
        {"OpenDocument text", s.copy("plain.odt", "a.odt"), DocKind::Word},
        {"OpenDocument sheets", s.copy("plain.ods", "a.ods"), DocKind::Excel},
        {"OpenDocument slides", s.copy("plain.odp", "a.odp"), DocKind::PowerPoint},
        {"binary slides", s.put("a.ppt", oleWithStreams({"PowerPoint Document"})),
         DocKind::PowerPoint},
        {"Excel 5 workbook", s.put("old.xls", oleWithStreams({"Book"})), DocKind::Excel},
        // Names that lie: the bytes win.
        {"OOXML workbook as .xls", s.copy("plain.xlsx", "lie.xls"), DocKind::Excel},
        {"Word 97 as .xls", s.copy("plain.doc", "lie2.xls"), DocKind::Word},
        {"slides as .doc", s.copy("plain.pptx", "lie3.doc"), DocKind::PowerPoint},
        {"HTML as .doc", s.put("notice.doc", html), DocKind::Word},
        {"MHT as .doc", s.put("notice2.doc", mht), DocKind::Word},
        {"HTML with a BOM and blanks", s.put("b.doc", "\xEF\xBB\xBF \n" + html), DocKind::Word},
        {"RTF as .doc", s.put("r.doc", "{\\rtf1\\ansi 通知}"), DocKind::Word},
        {"Excel's web page as .doc", s.put("t.doc", excelHtml), DocKind::Excel},
        {"a web page under a workbook's name", s.put("t.xls", html), DocKind::Excel},
        {"flat OpenDocument slides", s.put("f.xml", flatSlides), DocKind::PowerPoint},
        {"Excel 2003 XML", s.put("x.xml", spreadsheet2003), DocKind::Excel},
        // WPS Office's names hold Microsoft's formats; a .wps may be a Works file.
        {"WPS text", s.copy("plain.doc", "a.wps"), DocKind::Word},
        {"WPS sheets", s.copy("plain.xls", "a.et"), DocKind::Excel},
        {"WPS slides", s.put("a.dps", oleWithStreams({"PowerPoint Document"})),
         DocKind::PowerPoint},
        {"WPS slides template as OOXML", s.copy("plain.pptx", "a.dpt"), DocKind::PowerPoint},
        {"Works", s.put("works.wps", oleWithStreams({"CONTENTS", "MatOST"})), DocKind::Word},
        // Bytes that show no kind: the name decides, and nothing when it names none.
        {"damaged .docx", s.put("cut.docx", readAll(kFiles + "/plain.docx").left(300)),
         DocKind::Word},
        {"encrypted package as .pptx", s.copy("locked.xlsx", "locked.pptx"), DocKind::PowerPoint},
        {"text as .et", s.put("t.et", "1,2,3\n"), DocKind::Excel},
        {"a PDF", s.put("a.pdf", "%PDF-1.4\n%%EOF\n"), DocKind::Unknown},
        {"an unknown OLE file", s.put("o.bin", oleWithStreams({"Other"})), DocKind::Unknown},
        {"text without a name kind", s.put("readme.txt", "hello\n"), DocKind::Unknown},
        {"a missing file", s.dir.filePath("gone"), DocKind::Unknown},
        {"an empty file", s.put("empty", ""), DocKind::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(int(documentKind(c.path)), int(c.expected)) << c.what;
    }
}

TEST(DocumentKinds, EveryOfficeExtensionNamesItsKindInAnyCase) {
    for (const char* e : {"doc", "DOCX", "dotm", "rtf", "odt", "wps", "wpt"}) {
        EXPECT_EQ(kindByExtension(QString("a.") + e), DocKind::Word) << e;
    }
    for (const char* e : {"xls", "xlsx", "XLSM", "xlsb", "ods", "et", "ett"}) {
        EXPECT_EQ(kindByExtension(QString("a.") + e), DocKind::Excel) << e;
    }
    for (const char* e : {"ppt", "PPTX", "pps", "ppsx", "pot", "potx", "odp", "dps", "dpt"}) {
        EXPECT_EQ(kindByExtension(QString("a.") + e), DocKind::PowerPoint) << e;
    }
    for (const char* e : {"a.pdf", "a.txt", "a.ps", "noext", "a."}) {
        EXPECT_EQ(kindByExtension(e), DocKind::Unknown) << e;
    }
}

TEST(FailReasons, ACaughtErrorGivesItsOwnCauseOrTheGenericOne) {
    RuntimeError timedOut(kErrCallFailed, "Word.application", "documents.open");
    timedOut.setReason(FailReason::Timeout);
    EXPECT_EQ(failReasonOf(std::make_exception_ptr(timedOut)), FailReason::Timeout);
    EXPECT_EQ(failReasonText(FailReason::Timeout), "转换超时");
    const RuntimeError plain(kErrMemberNotFound, "Word.application", "x");
    EXPECT_EQ(failReasonOf(std::make_exception_ptr(plain)), FailReason::Unknown);
    EXPECT_EQ(failReasonOf(std::make_exception_ptr(std::runtime_error("x"))), FailReason::Unknown);
    EXPECT_EQ(failReasonOf(nullptr), FailReason::None);
    EXPECT_EQ(failReasonText(FailReason::None), QString());
}

}  // namespace
}  // namespace quorv
