// The typefaces of converted documents, read off the PDF the real engine writes: each
// requested Chinese family drawn in a face of its style, with the glyph forms of the run's
// language, and Word's Latin defaults in faces of the same metrics.
#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "convert/wordconvert.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officesession.h"
#include "fakes/test_files.h"
#include "fidelity/minidocx.h"
#include "fidelity/pdfglyphs.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

using testing::DocxPara;

// Characters whose Japanese and mainland forms differ.
const QString kHan = QStringLiteral("骨直角令写次真");

struct Case {
    const char* font;
    const char* lang;
    const char* face;  // the reference face the run must look like
};

class Fidelity : public ::testing::Test {
  protected:
    void SetUp() override {
        out = dir.path() + "/out/";
        QDir().mkpath(out);
    }
    void TearDown() override { EXPECT_TRUE(office::OfficeInstance::runningPids().isEmpty()); }

    QString convert(const QString& name, const QList<DocxPara>& paras,
                    const testing::DocxOptions& options = {}) {
        const QString src = dir.filePath(name + ".docx");
        EXPECT_TRUE(testing::writeDocx(src, paras, options));
        return word2xps(src, "pdf", out, 17, {}).output;
    }

    // Converts one paragraph per case and checks the face each is drawn in.
    void expectFaces(const QList<Case>& cases) {
        QList<DocxPara> paras;
        for (int i = 0; i < cases.size(); ++i) {
            paras.append({kHan + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')),
                          QString::fromUtf8(cases[i].font), "Times New Roman",
                          QString::fromLatin1(cases[i].lang)});
        }
        const QString pdf = convert("faces", paras);
        ASSERT_FALSE(pdf.isEmpty());
        const QList<testing::PdfChar> chars = testing::pdfChars(pdf);
        for (int i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(std::string(cases[i].font) + " " + cases[i].lang);
            const auto run = testing::findRun(
                chars, kHan + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')));
            ASSERT_FALSE(run.isEmpty());
            EXPECT_EQ(testing::nearestFace(pdf, run).toStdString(), cases[i].face)
                << "embedded as " << run.first().font.toStdString();
        }
    }

    QTemporaryDir dir;
    QString out;
};

const QList<Case> kFamilies{
    {"宋体", "zh-CN", "Song SC"},
    {"SimSun", "", "Song SC"},
    {"新宋体", "", "Song SC"},
    {"华文宋体", "zh-CN", "Song SC"},
    {"黑体", "zh-CN", "Hei SC"},
    {"微软雅黑", "", "Hei SC"},
    {"等线", "zh-CN", "Hei SC"},
    {"DengXian", "", "Hei SC"},
    {"仿宋_GB2312", "zh-CN", "FangSong"},
    {"仿宋", "", "FangSong"},
    {"FangSong", "zh-CN", "FangSong"},
    {"楷体_GB2312", "zh-CN", "Kai"},
    {"KaiTi", "", "Kai"},
    {"华文楷体", "zh-CN", "Kai"},
    // A font nobody knows: mainland forms unless the run says otherwise.
    {"某某字体", "", "Hei SC"},
    {"某某字体", "zh-CN", "Hei SC"},
    {"某某字体", "ja-JP", "Hei JP"},
    {"某某字体", "zh-TW", "Hei TC"},
    // A Japanese run keeps its forms in a Chinese family's stand-in.
    {"宋体", "ja-JP", "Song JP"},
    {"MS Mincho", "ja-JP", "Song JP"},
};

TEST_F(Fidelity, EachChineseFamilyGetsAFaceOfItsStyleWithItsLanguagesForms) {
    office::OfficeSession session;
    expectFaces(kFamilies);
}

TEST_F(Fidelity, UntaggedRunsGetMainlandFormsWhateverTheLocale) {
    // A Japanese desktop: LibreOffice's own default for Asian text would follow it.
    const bool hadLang = qEnvironmentVariableIsSet("LANG");
    const QByteArray lang = qgetenv("LANG");
    qputenv("LANG", "ja_JP.UTF-8");
    qputenv("LC_ALL", "ja_JP.UTF-8");
    {
        office::OfficeSession session;
        expectFaces({{"宋体", "", "Song SC"},
                     {"某某字体", "", "Hei SC"},
                     {"仿宋_GB2312", "", "FangSong"},
                     {"某某字体", "ja-JP", "Hei JP"}});
    }
    if (hadLang) {
        qputenv("LANG", lang);
    } else {
        qunsetenv("LANG");
    }
    qunsetenv("LC_ALL");
}

TEST_F(Fidelity, WordsLatinDefaultsGetFacesOfTheSameMetrics) {
    office::OfficeSession session;
    QString text;
    for (int i = 0; i < 40; ++i) {
        text += QStringLiteral("The quick brown fox %1 jumps over the lazy dog; ").arg(i);
    }
    QList<DocxPara> calibri, carlito;
    for (int i = 0; i < 60; ++i) {
        calibri.append({text, "宋体", "Calibri", {}, 22});
        carlito.append({text, "宋体", "Carlito", {}, 22});
    }
    const QString a = convert("calibri", calibri);
    const QString b = convert("carlito", carlito);
    ASSERT_FALSE(a.isEmpty());
    ASSERT_FALSE(b.isEmpty());
    EXPECT_TRUE(testing::embeddedFonts(a).join(" ").contains("Carlito"))
        << testing::embeddedFonts(a).join(' ').toStdString();
    // The same line breaks as the metric-compatible face set directly: the same pages.
    EXPECT_EQ(pdfPages(a), pdfPages(b));
    EXPECT_GT(pdfPages(a), 3);

    const QString cambria = convert("cambria", {{"Cambria body text", "宋体", "Cambria"}});
    EXPECT_TRUE(testing::embeddedFonts(cambria).join(" ").contains("Caladea"))
        << testing::embeddedFonts(cambria).join(' ').toStdString();
    const QString arial = convert("arial", {{"Arial body text", "宋体", "Arial"},
                                            {"Times body text", "宋体", "Times New Roman"},
                                            {"Courier body text", "宋体", "Courier New"}});
    const QStringList fonts = testing::embeddedFonts(arial);
    for (const char* face : {"LiberationSans", "LiberationSerif", "LiberationMono"}) {
        EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(),
                                [&](const QString& f) { return f.startsWith(face); }))
            << face << " in " << fonts.join(' ').toStdString();
    }
}

TEST_F(Fidelity, ADocumentWhoseMainPartHasAnotherNameIsConverted) {
    office::OfficeSession session;
    testing::DocxOptions options;
    options.mainPart = "word/b.xml";
    const QString pdf =
        convert("renamed", {{"正文 main part elsewhere", "宋体", "Times New Roman"}}, options);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_TRUE(pdfText(pdf).contains("main part elsewhere"));
}

}  // namespace
}  // namespace quorv
