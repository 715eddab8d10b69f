// PDF/A outputs of the Word conversions against real LibreOffice, checked for what an
// archive asks of each part.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <memory>

#include "convert/wordconvert.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"
#include "fakes/pdfa_checks.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

const QString kText = QStringLiteral("归档测试 Archive check");
const QString kLockedFamily = QStringLiteral("Quorv Locked");

// A copy of a system face under a family of its own whose licence bits forbid embedding
// (OS/2 fsType 2, "restricted"), as some commercial fonts ship.
bool writeRestrictedFace(const QString& from, const QString& to) {
    QByteArray d = readAll(from);
    if (d.size() < 12) return false;
    const int tables = qFromBigEndian<quint16>(d.constData() + 4);
    auto entry = [&](const char* tag) -> int {
        for (int i = 0; i < tables; ++i) {
            if (d.mid(12 + 16 * i, 4) == tag) return 12 + 16 * i;
        }
        return -1;
    };
    const int os2 = entry("OS/2");
    const int name = entry("name");
    if (os2 < 0 || name < 0) return false;
    qToBigEndian<quint16>(2, d.data() + qFromBigEndian<quint32>(d.constData() + os2 + 8) + 8);
    // A new name table (Windows Unicode records) appended; the old one is left unused.
    QByteArray records, strings;
    for (const auto& [id, value] : {std::pair{1, kLockedFamily},
                                    {2, QStringLiteral("Regular")},
                                    {4, kLockedFamily},
                                    {6, QStringLiteral("QuorvLocked")}}) {
        QByteArray s;
        for (const QChar c : value) {
            s.append(char(c.unicode() >> 8));
            s.append(char(c.unicode() & 0xff));
        }
        for (const int v : {3, 1, 0x409, id, int(s.size()), int(strings.size())}) {
            records.append(char(v >> 8));
            records.append(char(v & 0xff));
        }
        strings += s;
    }
    const int count = int(records.size() / 12);
    QByteArray table(6, '\0');
    qToBigEndian<quint16>(quint16(count), table.data() + 2);
    qToBigEndian<quint16>(quint16(6 + 12 * count), table.data() + 4);
    table += records + strings;
    while (d.size() % 4) d.append('\0');
    qToBigEndian<quint32>(quint32(d.size()), d.data() + name + 8);
    qToBigEndian<quint32>(quint32(table.size()), d.data() + name + 12);
    d += table;
    QFile f(to);
    return f.open(QIODevice::WriteOnly) && f.write(d) == d.size();
}

// A text document of one paragraph with a shape at 40 % opacity, and one in the
// restricted face.
bool writeFlatDocument(const QString& path, const QString& paragraph, const QString& shape,
                       const QString& font) {
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.text\">"
        "<office:font-face-decls><style:font-face style:name=\"F\" svg:font-family=\"'%3'\"/>"
        "</office:font-face-decls><office:automatic-styles>"
        "<style:style style:name=\"gr1\" style:family=\"graphic\"><style:graphic-properties "
        "draw:fill=\"solid\" draw:fill-color=\"#ff0000\" draw:opacity=\"40%\" "
        "draw:stroke=\"none\"/>"
        "</style:style><style:style style:name=\"P1\" style:family=\"paragraph\">"
        "<style:text-properties style:font-name=\"F\" fo:font-size=\"20pt\"/></style:style>"
        "</office:automatic-styles><office:body><office:text><text:p text:style-name=\"P1\">"
        "%1%2</text:p></office:text></office:body></office:document>\n");
    const QString rect = shape.isEmpty() ? QString()
                                         : QStringLiteral(
                                               "<draw:rect draw:style-name=\"gr1\" "
                                               "text:anchor-type=\"paragraph\" svg:width=\"6cm\" "
                                               "svg:height=\"3cm\" svg:x=\"1cm\" svg:y=\"1cm\"/>");
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(xml.arg(paragraph.toHtmlEscaped(), rect, font).toUtf8()) > 0;
}

// The colour at the middle of the shape, the page drawn at 20 dpi: (red, green, blue).
QList<int> shapeColour(const QString& pdf, const QString& dir) {
    QProcess p;
    p.start("pdftoppm", {"-r", "20", "-f", "1", "-l", "1", pdf, dir + "/page"});
    p.waitForFinished(60000);
    const QByteArray ppm = readAll(dir + "/page-1.ppm");
    // "P6\n<w> <h>\n255\n" then the pixels; the shape's middle is 4 cm right, 2.5 cm down
    // of the text area's corner (2 cm margins).
    const QList<QByteArray> head = ppm.split('\n');
    if (head.size() < 4) return {};
    const int w = head[1].split(' ').value(0).toInt();
    const int x = int((2 + 4) / 2.54 * 20), y = int((2 + 2.5) / 2.54 * 20);
    const qsizetype at = head[0].size() + head[1].size() + head[2].size() + 3 + 3 * (y * w + x);
    if (at + 3 > ppm.size()) return {};
    return {uchar(ppm[at]), uchar(ppm[at + 1]), uchar(ppm[at + 2])};
}

struct Shared {
    QTemporaryDir root;
    QString docx, shape, locked;
    std::unique_ptr<office::OfficeSession> session;
};
Shared* shared = nullptr;

class Env : public ::testing::Environment {
  public:
    void SetUp() override {
        shared = new Shared;
        // The restricted face is the office's through the user's font folder.
        const QString fonts = shared->root.filePath("data/fonts");
        QDir().mkpath(fonts);
        ASSERT_TRUE(writeRestrictedFace("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                        fonts + "/QuorvLocked.ttf"));
        qputenv("XDG_DATA_HOME", shared->root.filePath("data").toUtf8());
        shared->session = std::make_unique<office::OfficeSession>();
        const QString src = shared->root.filePath("src.fodt");
        ASSERT_TRUE(testing::writeFlatText(src, {kText, kText}));
        shared->docx = shared->root.filePath("归档.docx");
        ASSERT_TRUE(testing::saveThroughWord(src, shared->docx, 16));
        shared->shape = shared->root.filePath("透明.fodt");
        ASSERT_TRUE(writeFlatDocument(shared->shape, kText, "shape", "Liberation Serif"));
        shared->locked = shared->root.filePath("限制字体.fodt");
        ASSERT_TRUE(writeFlatDocument(shared->locked, "Locked face", QString(), kLockedFamily));
    }
    void TearDown() override {
        shared->session.reset();
        EXPECT_TRUE(office::OfficeInstance::runningPids().isEmpty());
        delete shared;
    }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

class RealPdfa : public ::testing::Test {
  protected:
    QString exportAs(const QString& source, int part, const char* name) {
        const QString folder = out.path() + "/" + name + "/";
        QDir().mkpath(folder);
        WordOptions options;
        options.awordhz = "#fodt";
        options.pdfa = part;
        return word2xps(source, "pdf", folder, 17, options).output;
    }
    QTemporaryDir out;
};

TEST_F(RealPdfa, EachPartPassesTheArchiveChecksAndKeepsTheText) {
    for (const int part : {1, 2, 3}) {
        SCOPED_TRACE(part);
        const QString pdf = exportAs(shared->docx, part, QByteArray::number(part).constData());
        ASSERT_FALSE(pdf.isEmpty());
        EXPECT_EQ(testing::pdfaProblems(pdf, part), QStringList());
        EXPECT_EQ(pdfText(pdf).count(kText), 2);
        EXPECT_EQ(pdfPages(pdf), 2);
    }
}

TEST_F(RealPdfa, PlainPdfStaysPlainAndXpsIgnoresThePart) {
    // Without the setting nothing changes: the checks find no identification.
    const QString plain = exportAs(shared->docx, 0, "plain");
    ASSERT_FALSE(plain.isEmpty());
    const QStringList problems = testing::pdfaProblems(plain, 2);
    EXPECT_TRUE(problems.join('\n').contains("pdfaid:part")) << qPrintable(problems.join("\n"));
    EXPECT_TRUE(problems.join('\n').contains("output intent")) << qPrintable(problems.join("\n"));

    const QString folder = out.path() + "/xps/";
    QDir().mkpath(folder);
    WordOptions options;
    options.pdfa = 2;
    const QString xps = word2xps(shared->docx, "xps", folder, 18, options).output;
    EXPECT_TRUE(readAll(xps).startsWith("PK"));
}

TEST_F(RealPdfa, TransparencyIsFlattenedForPartOneAndKeptAfterIt) {
    const QString one = exportAs(shared->shape, 1, "t1");
    const QString two = exportAs(shared->shape, 2, "t2");
    ASSERT_FALSE(one.isEmpty());
    ASSERT_FALSE(two.isEmpty());
    EXPECT_EQ(testing::pdfaProblems(one, 1), QStringList());
    EXPECT_EQ(testing::pdfaProblems(two, 2), QStringList());
    // Part 2 may keep the transparency group that part 1 forbids.
    EXPECT_FALSE(testing::pdfaProblems(two, 1).filter("transparency").isEmpty());
    // Either way the page looks the same: red at 40 % over white is pink, not red.
    const QList<int> c1 = shapeColour(one, out.path() + "/t1");
    const QList<int> c2 = shapeColour(two, out.path() + "/t2");
    ASSERT_EQ(c1.size(), 3);
    ASSERT_EQ(c2.size(), 3);
    EXPECT_GT(c1[0], 230);
    EXPECT_GT(c1[1], 120);
    EXPECT_LT(c1[1], 190);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c1[i], c2[i], 12);
}

// The checks themselves: a PDF/A-2b output made worse, with a page that names a font it
// does not carry, and the same file encrypted with an owner password only (readable by
// all, so the listing works).
TEST_F(RealPdfa, TheChecksFindAFontNotEmbeddedAndAnEncryptedFile) {
    const QString good = exportAs(shared->docx, 2, "worse");
    ASSERT_EQ(testing::pdfaProblems(good, 2), QStringList());
    const QString dir = out.path() + "/worse/";
    // qpdf's own overlay of a one-page file whose only font is Helvetica, not embedded.
    const QByteArray overlay =
        "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
        "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
        "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]/Contents 4 0 R"
        "/Resources<</Font<</F1 5 0 R>>>>>>endobj\n"
        "4 0 obj<</Length 36>>stream\nBT /F1 12 Tf 72 72 Td (late) Tj ET\nendstream endobj\n"
        "5 0 obj<</Type/Font/Subtype/Type1/BaseFont/Helvetica>>endobj\n"
        "trailer<</Root 1 0 R>>\n%%EOF\n";
    QFile f(dir + "overlay.pdf");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(overlay);
    f.close();
    auto qpdf = [](const QStringList& args) {
        QProcess p;
        p.start("qpdf", args);
        p.waitForFinished(60000);
        return p.exitCode();  // 3: done with warnings (the overlay has no cross-reference table)
    };
    EXPECT_NE(qpdf({good, "--overlay", dir + "overlay.pdf", "--", dir + "font.pdf"}), 2);
    EXPECT_TRUE(
        testing::pdfaProblems(dir + "font.pdf", 2).contains("font /Helvetica not embedded"));
    EXPECT_NE(qpdf({good, "--encrypt", "", "owner", "256", "--", dir + "locked.pdf"}), 2);
    EXPECT_TRUE(testing::pdfaProblems(dir + "locked.pdf", 2).contains("encrypted"));
}

TEST_F(RealPdfa, AFaceWhoseLicenceForbidsEmbeddingIsEmbeddedAnyway) {
    // LibreOffice does not honour the face's licence bits when it writes a PDF: the subset
    // goes in, so the file still meets the archive's rule that every font is embedded.
    const QString pdf = exportAs(shared->locked, 2, "locked");
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(testing::pdfaProblems(pdf, 2), QStringList());
    QProcess fonts;
    fonts.start("pdffonts", {pdf});
    fonts.waitForFinished(60000);
    EXPECT_TRUE(fonts.readAllStandardOutput().contains("QuorvLocked"));
}

}  // namespace
}  // namespace quorv
