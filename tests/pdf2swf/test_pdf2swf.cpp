#include <signal.h>
#include <unistd.h>
#include <zlib.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <memory>

#include "gtest/gtest.h"
#include "pdf2swf.h"
#include "swfreader.h"

namespace quorv {
namespace {

using testing::readSwf;
using testing::SwfFile;

constexpr uint16_t kShowFrame = 1, kPlaceObject = 4, kRemoveObject = 5, kPlaceObject2 = 26,
                   kRemoveObject2 = 28, kFileAttributes = 69;

void ensureGuiApp() {
    static int argc = 1;
    static char name[] = "test_pdf2swf";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

// The sample document, in points: page 1 is A4 with Chinese text and a red box, page 2 is
// A5 landscape with a colour gradient, page 3 a banner wider than the longest edge a shape
// record can draw.
const QRectF kTextBox(72, 72, 400, 60);
const QRectF kRedBox(400, 700, 100, 60);
const QRectF kGradientBox(40, 100, 500, 200);
const QSizeF kPage1(595, 842), kPage2(595, 420), kPage3(4200, 300);

bool makeSamplePdf(const QString& path) {
    ensureGuiApp();
    QPdfWriter writer(path);
    writer.setResolution(72);  // painter units are points
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setPageSize(QPageSize(kPage1, QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter p;
    if (!p.begin(&writer)) return false;
    QFont cjk(QStringLiteral("Noto Sans CJK SC"));
    cjk.setPixelSize(40);
    p.setFont(cjk);
    p.setPen(Qt::black);
    p.drawText(kTextBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("中文转换测试页面"));
    p.fillRect(kRedBox, QColor(255, 0, 0));

    writer.setPageSize(QPageSize(kPage2, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.newPage();
    QFont latin(QStringLiteral("Liberation Sans"));
    latin.setPixelSize(14);
    p.setFont(latin);
    p.drawText(QPointF(40, 60), QStringLiteral("Second page, landscape A5"));
    QLinearGradient gradient(kGradientBox.topLeft(), kGradientBox.bottomRight());
    gradient.setColorAt(0, QColor(255, 0, 0));
    gradient.setColorAt(0.5, QColor(0, 255, 0));
    gradient.setColorAt(1, QColor(0, 0, 255));
    p.fillRect(kGradientBox, gradient);

    writer.setPageSize(QPageSize(kPage3, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.newPage();
    p.drawText(QPointF(40, 150), QStringLiteral("A very wide third page"));
    return p.end();
}

struct ToolRun {
    int exitCode = -1;
    QString err;
    QString out;
};

ToolRun runTool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(QUORV_PDF2SWF_PATH), args);
    ToolRun r;
    if (!process.waitForFinished(60000)) return r;
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    r.err = QString::fromUtf8(process.readAllStandardError());
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    return r;
}

ToolRun convert(const QString& in, const QString& out, const QString& version = "9") {
    return runTool({in, QStringLiteral("-o"), out, QStringLiteral("-s"),
                    QStringLiteral("flashversion=") + version});
}

int32_t twips(double points) { return static_cast<int32_t>(std::lround(points * 20)); }

class Pdf2swf : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<QTemporaryDir>();
        pdf_ = dir_->filePath(QStringLiteral("sample.pdf"));
        ASSERT_TRUE(makeSamplePdf(pdf_));
    }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override { ASSERT_TRUE(work_.isValid()); }
    QString path(const QString& name) const { return work_.filePath(name); }
    QStringList leftovers() const {
        return QDir(work_.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static std::unique_ptr<QTemporaryDir> dir_;
    static QString pdf_;
    QTemporaryDir work_;
};

std::unique_ptr<QTemporaryDir> Pdf2swf::dir_;
QString Pdf2swf::pdf_;

TEST_F(Pdf2swf, WritesOneFramePerPageWithTheFirstPageAsStage) {
    const QString out = path("sample.swf");
    const ToolRun r = convert(pdf_, out);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    const SwfFile swf = readSwf(out.toStdString());
    ASSERT_EQ(swf.error, "");
    EXPECT_EQ(swf.signature, "CWS");
    EXPECT_EQ(swf.version, 9);
    EXPECT_EQ(swf.declaredLength, swf.uncompressedLength);
    EXPECT_EQ(swf.stageXmin, 0);
    EXPECT_EQ(swf.stageYmin, 0);
    EXPECT_EQ(swf.stageXmax, twips(kPage1.width()));
    EXPECT_EQ(swf.stageYmax, twips(kPage1.height()));
    EXPECT_EQ(swf.frameCount, 3);
    EXPECT_EQ(swf.count(kShowFrame), 3);
    EXPECT_EQ(swf.count(kPlaceObject2), 3);
    EXPECT_EQ(swf.count(kRemoveObject2), 2);  // the last page stays on the stage
    ASSERT_FALSE(swf.tags.empty());
    EXPECT_EQ(swf.tags.front().code, kFileAttributes);
    EXPECT_EQ(leftovers(), QStringList{"sample.swf"});

    const auto bitmaps = swf.bitmaps();
    const auto shapes = swf.shapes();
    ASSERT_EQ(bitmaps.size(), 3u);
    ASSERT_EQ(shapes.size(), 3u);
    const QSizeF pages[] = {kPage1, kPage2, kPage3};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto& b = bitmaps[i];
        const auto& s = shapes[i];
        EXPECT_EQ(b.code, 20);
        EXPECT_EQ(b.pixels.size(), b.expectedSize());
        // Each page keeps its own size, drawn by a closed rectangle filled with its bitmap.
        ASSERT_TRUE(s.parsed);
        EXPECT_EQ(s.bitmapId, b.id);
        EXPECT_EQ(s.fillType, 0x41);
        EXPECT_EQ(s.xmax, twips(pages[i].width()));
        EXPECT_EQ(s.ymax, twips(pages[i].height()));
        EXPECT_EQ(s.pathXmin, 0);
        EXPECT_EQ(s.pathYmin, 0);
        EXPECT_EQ(s.pathXmax, s.xmax);
        EXPECT_EQ(s.pathYmax, s.ymax);
        EXPECT_EQ(s.endX, 0);
        EXPECT_EQ(s.endY, 0);
        // The bitmap fill is on the inside of the path: left of anticlockwise edges.
        EXPECT_DOUBLE_EQ(std::abs(s.signedArea), double(s.xmax) * s.ymax);
        EXPECT_TRUE((s.fill0 == 1 && s.fill1 == 0 && s.signedArea < 0) ||
                    (s.fill1 == 1 && s.fill0 == 0 && s.signedArea > 0));
        EXPECT_NEAR(s.scaleX * b.width, s.xmax, 1.0);
        EXPECT_NEAR(s.scaleY * b.height, s.ymax, 1.0);
    }
    // Frame n shows page n alone.
    std::vector<std::string> problems;
    const auto frames = swf.frames(problems);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_EQ(frames,
              (std::vector<std::vector<uint16_t>>{{shapes[0].id}, {shapes[1].id}, {shapes[2].id}}));
    // At least 96 dpi for ordinary pages; the banner is lowered to what version 9 shows.
    EXPECT_GE(bitmaps[0].width, std::lround(kPage1.width() * 96 / 72));
    EXPECT_GE(bitmaps[1].width, std::lround(kPage2.width() * 96 / 72));
    EXPECT_LE(bitmaps[2].width, 2880);
    EXPECT_GT(bitmaps[2].width, 2800);
    // Text pages go into a colour table, the gradient needs full colour.
    EXPECT_EQ(bitmaps[0].format, 3);
    EXPECT_EQ(bitmaps[1].format, 5);
}

TEST_F(Pdf2swf, BitmapsShowTheChineseTextAndTheColours) {
    for (const QString version : {"5", "9"}) {  // the bitmap tag stands alone or in a CWS body
        SCOPED_TRACE(version.toStdString());
        const QString out = path("colours" + version + ".swf");
        ASSERT_EQ(convert(pdf_, out, version).exitCode, 0);
        const auto bitmaps = readSwf(out.toStdString()).bitmaps();
        ASSERT_EQ(bitmaps.size(), 3u);
        const auto& b = bitmaps[0];
        ASSERT_EQ(b.pixels.size(), b.expectedSize());
        const double scale = b.width / kPage1.width();
        auto at = [&](const testing::SwfBitmap& bm, QPointF pt) {
            return bm.rgb(static_cast<int>(pt.x() * scale), static_cast<int>(pt.y() * scale));
        };
        auto darkIn = [&](const QRectF& box) {
            int dark = 0;
            for (double y = box.top(); y < box.bottom(); y += 1 / scale) {
                for (double x = box.left(); x < box.right(); x += 1 / scale) {
                    const auto c = at(b, {x, y});
                    if (c[0] < 96 && c[1] < 96 && c[2] < 96) ++dark;
                }
            }
            return dark;
        };
        EXPECT_GT(darkIn(kTextBox), 2000);                  // eight large glyphs
        EXPECT_EQ(darkIn(kTextBox.translated(0, 200)), 0);  // blank paper below them
        using Rgb = std::array<uint8_t, 3>;
        EXPECT_EQ(at(b, {300, 400}), (Rgb{255, 255, 255}));
        EXPECT_EQ(at(b, kRedBox.center()), (Rgb{255, 0, 0}));
        const auto& g = bitmaps[1];
        ASSERT_EQ(g.pixels.size(), g.expectedSize());
        const Rgb start = at(g, kGradientBox.topLeft() + QPointF(2, 2));
        const Rgb end = at(g, kGradientBox.bottomRight() - QPointF(2, 2));
        EXPECT_GT(start[0], 200);
        EXPECT_LT(start[2], 60);
        EXPECT_GT(end[2], 200);
        EXPECT_LT(end[0], 60);
    }
}

TEST_F(Pdf2swf, EveryVersionGetsTagsItKnows) {
    struct Case {
        int requested;
        int written;
        const char* signature;
    };
    for (const Case c :
         {Case{1, 2, "FWS"}, Case{2, 2, "FWS"}, Case{3, 3, "FWS"}, Case{5, 5, "FWS"},
          Case{6, 6, "CWS"}, Case{8, 8, "CWS"}, Case{10, 10, "CWS"}, Case{50, 50, "CWS"}}) {
        SCOPED_TRACE(c.requested);
        const QString out = path(QStringLiteral("v%1.swf").arg(c.requested));
        const ToolRun r = convert(pdf_, out, QString::number(c.requested));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        // Raising the version is said, not silent.
        EXPECT_EQ(r.err.isEmpty(), c.requested == c.written) << r.err.toStdString();
        const SwfFile swf = readSwf(out.toStdString());
        ASSERT_EQ(swf.error, "");
        EXPECT_EQ(swf.signature, c.signature);
        EXPECT_EQ(swf.version, c.written);
        EXPECT_EQ(swf.declaredLength, swf.uncompressedLength);
        if (swf.signature == "FWS") {
            EXPECT_EQ(swf.declaredLength, QFileInfo(out).size());
        }
        EXPECT_EQ(swf.frameCount, 3);
        EXPECT_EQ(swf.count(kShowFrame), 3);
        const bool v3 = c.written >= 3;
        EXPECT_EQ(swf.count(v3 ? kPlaceObject2 : kPlaceObject), 3);
        EXPECT_EQ(swf.count(v3 ? kRemoveObject2 : kRemoveObject), 2);
        EXPECT_EQ(swf.count(kFileAttributes), c.written >= 8 ? 1 : 0);
        std::vector<std::string> problems;
        const auto frames = swf.frames(problems);
        EXPECT_EQ(problems, std::vector<std::string>{});
        ASSERT_EQ(frames.size(), 3u);
        for (const auto& frame : frames) EXPECT_EQ(frame.size(), 1u);
        const auto bitmaps = swf.bitmaps();
        ASSERT_EQ(bitmaps.size(), 3u);
        for (const auto& b : bitmaps) EXPECT_EQ(b.pixels.size(), b.expectedSize());
        // Newer players take larger bitmaps, so the banner keeps its full resolution.
        if (c.written >= 10) {
            EXPECT_EQ(bitmaps[2].width, std::lround(kPage3.width() * 96 / 72));
        }
    }
}

TEST_F(Pdf2swf, PathsWithBlanksQuotesAndChineseWork) {
    const QString inDir = path(QStringLiteral("输入 文件夹 'a'"));
    const QString outDir = path(QStringLiteral("输出 \"b\" $HOME"));
    ASSERT_TRUE(QDir().mkpath(inDir));
    ASSERT_TRUE(QDir().mkpath(outDir));
    const QString in = inDir + QStringLiteral("/报告 one's \"copy\".pdf");
    ASSERT_TRUE(QFile::copy(pdf_, in));
    const QString out = outDir + QStringLiteral("/报告 one's \"copy\".swf");
    const ToolRun r = convert(in, out);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readSwf(out.toStdString()).frameCount, 3);
    EXPECT_EQ(QDir(outDir).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(out).fileName()});
}

TEST_F(Pdf2swf, OptionsInAnyOrderAndOtherSettingsAreAccepted) {
    const QString out = path("any order.swf");
    const ToolRun r =
        runTool({"-s", "zoom=72", "-s", "flashversion=7", "-o", out, "-s",
                 "languagedir=/nowhere/xpdf-chinese-simplified", pdf_, "-s", "poly2bitmap"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readSwf(out.toStdString()).version, 7);
}

TEST_F(Pdf2swf, HelpPrintsUsage) {
    const ToolRun r = runTool({"-h"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("-o OUTPUT.swf")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("flashversion=N"));
}

// A failure exits non-zero with one line on standard error and leaves no file behind.
void expectFailure(const ToolRun& r, const QString& out, const QString& mentions = QString()) {
    EXPECT_NE(r.exitCode, 0);
    EXPECT_GT(r.exitCode, 0) << "crashed or hung";
    const QString msg = r.err.trimmed();
    EXPECT_FALSE(msg.isEmpty());
    EXPECT_FALSE(msg.contains('\n')) << msg.toStdString();
    if (!mentions.isEmpty()) {
        EXPECT_TRUE(msg.contains(mentions)) << msg.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out)) << out.toStdString();
}

QString writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) return QString();
    return path;
}

TEST_F(Pdf2swf, BadInputFilesFail) {
    const QString out = path("out.swf");
    expectFailure(convert(path("missing.pdf"), out), out, "missing.pdf");
    expectFailure(convert(work_.path(), out), out);
    expectFailure(convert(writeFile(path("notes.pdf"), "just some text\n"), out), out, "not a PDF");
    expectFailure(convert(writeFile(path("empty.pdf"), ""), out), out);
    QFile sample(pdf_);
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    expectFailure(convert(writeFile(path("cut.pdf"), sample.read(600)), out), out);
    if (geteuid() != 0) {  // permissions do not stop root
        const QString locked = writeFile(path("locked.pdf"), sample.readAll());
        ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
        expectFailure(convert(locked, out), out);
    }
    for (const QString& f : leftovers()) EXPECT_TRUE(f.endsWith(".pdf")) << f.toStdString();
}

TEST_F(Pdf2swf, EncryptedPdfNeedsItsPasswordButOwnerOnlyProtectionDoesNot) {
    const QString gs = QStandardPaths::findExecutable(QStringLiteral("gs"));
    ASSERT_FALSE(gs.isEmpty()) << "ghostscript is installed by scripts/install-deps.sh";
    auto protect = [&](const QString& name, const QStringList& passwords) {
        QProcess p;
        p.start(gs, QStringList{"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite"} +
                        passwords + QStringList{"-sOutputFile=" + path(name), pdf_});
        return p.waitForFinished(60000) && p.exitCode() == 0 ? path(name) : QString();
    };
    const QString userLocked = protect("user.pdf", {"-sOwnerPassword=own", "-sUserPassword=usr"});
    const QString ownerOnly = protect("owner.pdf", {"-sOwnerPassword=own"});
    ASSERT_FALSE(userLocked.isEmpty());
    ASSERT_FALSE(ownerOnly.isEmpty());
    const QString out = path("out.swf");
    expectFailure(convert(userLocked, out), out, "password");
    const ToolRun r = convert(ownerOnly, out);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readSwf(out.toStdString()).frameCount, 3);
}

TEST_F(Pdf2swf, UnwritableOutputFails) {
    expectFailure(convert(pdf_, path("no/such/folder/out.swf")), path("no/such/folder/out.swf"),
                  "does not exist");
    const QString file = writeFile(path("plain"), "x");
    expectFailure(convert(pdf_, file + "/out.swf"), file + "/out.swf");
    ASSERT_TRUE(QDir().mkpath(path("taken.swf")));
    const ToolRun r = convert(pdf_, path("taken.swf"));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(QFileInfo(path("taken.swf")).isDir());
    expectFailure(convert(pdf_, "/proc/quorv-test.swf"), "/proc/quorv-test.swf");
    if (geteuid() != 0) {
        const QString ro = path("readonly");
        ASSERT_TRUE(QDir().mkpath(ro));
        ASSERT_TRUE(QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        expectFailure(convert(pdf_, ro + "/out.swf"), ro + "/out.swf");
        QFile::setPermissions(
            ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    EXPECT_EQ(leftovers(), QStringList{"plain"});
}

TEST_F(Pdf2swf, BadVersionsAndCommandLinesFail) {
    const QString out = path("out.swf");
    for (const QString v : {"0", "51", "abc", "", "9.5", "-3", "1e1"}) {
        SCOPED_TRACE(v.toStdString());
        expectFailure(convert(pdf_, out, v), out, "version");
    }
    expectFailure(runTool({pdf_}), out);
    expectFailure(runTool({pdf_, "-o"}), out);
    expectFailure(runTool({"-o", out, "-s", "flashversion=9"}), out);
    expectFailure(runTool({pdf_, "-o", out, "--fast"}), out);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(Pdf2swf, ExistingOutputIsReplacedOnlyOnSuccess) {
    const QString out = writeFile(path("keep.swf"), "previous result");
    ASSERT_FALSE(out.isEmpty());
    const QString bad = writeFile(path("bad.pdf"), "%PDF-1.4\nnot really\n");
    EXPECT_NE(convert(bad, out).exitCode, 0);
    EXPECT_NE(convert(pdf_, out, "99").exitCode, 0);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "previous result");
    f.close();
    ASSERT_EQ(convert(pdf_, out).exitCode, 0);
    EXPECT_EQ(readSwf(out.toStdString()).frameCount, 3);
    EXPECT_EQ(leftovers(), (QStringList{"bad.pdf", "keep.swf"}));
}

// A PDF written byte by byte, one US Letter page per entry of `contents`, each content
// stream deflated. Lets a test choose exactly how much drawing a page costs.
QByteArray rawPdf(const std::vector<QByteArray>& contents) {
    const int pages = static_cast<int>(contents.size());
    std::vector<QByteArray> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    QByteArray kids;
    for (int i = 0; i < pages; ++i) kids += QByteArray::number(3 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) +
                      " >>");
    for (int i = 0; i < pages; ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                          QByteArray::number(4 + 2 * i) + " 0 R >>");
        uLongf size = compressBound(static_cast<uLong>(contents[i].size()));
        QByteArray packed(static_cast<qsizetype>(size), '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                 reinterpret_cast<const Bytef*>(contents[i].constData()),
                 static_cast<uLong>(contents[i].size()));
        packed.resize(static_cast<qsizetype>(size));
        objects.push_back("<< /Length " + QByteArray::number(packed.size()) +
                          " /Filter /FlateDecode >>\nstream\n" + packed + "\nendstream");
    }
    QByteArray pdf = "%PDF-1.4\n";
    std::vector<qsizetype> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(static_cast<int>(i + 1)) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(static_cast<int>(objects.size() + 1)) +
           "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        pdf += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(static_cast<int>(objects.size() + 1)) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// A page that takes the renderer about `fills` times a few milliseconds: each fill covers
// half the page, alternating colours so that none can be skipped.
QByteArray slowPage(int fills) {
    QByteArray content;
    for (int i = 0; i < fills; ++i) {
        content += QByteArray::number(i % 2) + " 0 0 rg 0 0 m 612 792 l 0 792 l f\n";
    }
    return content;
}

TEST_F(Pdf2swf, TimeLimitComesFromTheCommandLine) {
    auto parse = [](const std::string& setting) {
        return pdf2swf::parseCommandLine({"in.pdf", "-o", "out.swf", "-s", setting});
    };
    // A run that never ends is stopped even when the caller sets nothing.
    EXPECT_GT(parse("flashversion=9").options.timeoutSeconds, 0);
    EXPECT_EQ(parse("timeout=5").options.timeoutSeconds, 5);
    EXPECT_EQ(parse("TimeOut=0").options.timeoutSeconds, 0);
    for (const char* bad : {"timeout=", "timeout=-1", "timeout=1.5", "timeout=ten", "timeout"}) {
        SCOPED_TRACE(bad);
        const auto parsed = parse(bad);
        EXPECT_NE(parsed.error.find("time limit"), std::string::npos) << parsed.error;
    }
    const QString out = path("out.swf");
    expectFailure(runTool({pdf_, "-o", out, "-s", "timeout=soon"}), out, "time limit");
    const ToolRun r = runTool({pdf_, "-o", out, "-s", "timeout=120"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readSwf(out.toStdString()).frameCount, 3);
}

TEST_F(Pdf2swf, ARunPastItsTimeLimitStopsAndLeavesNothing) {
    // One page that would take minutes: the stop has to reach inside the renderer.
    const QString in = writeFile(path("slow.pdf"), rawPdf({slowPage(50000)}));
    ASSERT_FALSE(in.isEmpty());
    const QString out = path("slow.swf");
    QElapsedTimer timer;
    timer.start();
    const ToolRun r = runTool({in, "-o", out, "-s", "timeout=1"});
    const qint64 ms = timer.elapsed();
    expectFailure(r, out, "time limit of 1 second");
    EXPECT_EQ(r.exitCode, pdf2swf::kExitFailed);
    EXPECT_LT(ms, 20000);
    EXPECT_EQ(leftovers(), QStringList{"slow.pdf"});

    // An earlier result stays as it was.
    const QString kept = writeFile(path("kept.swf"), "previous result");
    expectFailure(runTool({in, "-o", kept, "-s", "timeout=1"}), QString(), "time limit");
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "previous result");
    EXPECT_EQ(leftovers(), (QStringList{"kept.swf", "slow.pdf"}));
}

// A stop signal while a page renders removes the unfinished file, as the time limit does,
// and the tool still ends by that signal.
TEST_F(Pdf2swf, AStopSignalLeavesNothing) {
    const QString in = writeFile(path("slow.pdf"), rawPdf({slowPage(50000)}));
    ASSERT_FALSE(in.isEmpty());
    for (int sig : {SIGTERM, SIGINT}) {
        QProcess tool;
        tool.start(QStringLiteral(QUORV_PDF2SWF_PATH),
                   {in, "-o", path("slow.swf"), "-s", "timeout=0"});
        ASSERT_TRUE(tool.waitForStarted());
        QElapsedTimer timer;
        timer.start();
        while (leftovers().size() < 2 && timer.elapsed() < 20000) QThread::msleep(20);
        ASSERT_EQ(leftovers().size(), 2) << "no unfinished file appeared";
        ::kill(pid_t(tool.processId()), sig);
        ASSERT_TRUE(tool.waitForFinished(20000));
        EXPECT_EQ(tool.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(leftovers(), QStringList{"slow.pdf"});
    }
}

TEST_F(Pdf2swf, InProcessTheLimitIsKeptBetweenPages) {
    // Twenty pages of about half a second each; the limit passes during the second one.
    const QString in =
        writeFile(path("pages.pdf"), rawPdf(std::vector<QByteArray>(20, slowPage(150))));
    ASSERT_FALSE(in.isEmpty());
    pdf2swf::Options options;
    options.input = in.toStdString();
    options.output = path("pages.swf").toStdString();
    options.timeoutSeconds = 0.75;
    std::string error;
    std::vector<std::string> notes;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(pdf2swf::convert(options, error, notes), pdf2swf::kExitFailed);
    EXPECT_LT(timer.elapsed(), 6000);  // far from all twenty pages
    EXPECT_NE(error.find("time limit of 0.75 seconds"), std::string::npos) << error;
    EXPECT_EQ(leftovers(), QStringList{"pages.pdf"});

    // No limit at all.
    options.input = pdf_.toStdString();
    options.timeoutSeconds = 0;
    error.clear();
    ASSERT_EQ(pdf2swf::convert(options, error, notes), pdf2swf::kExitOk) << error;
    EXPECT_EQ(readSwf(options.output).frameCount, 3);
}

void noteSignal(int) {}

TEST_F(Pdf2swf, InProcessTheCallersSignalHandlersStay) {
    // While the temporary file exists a stop signal removes it; afterwards the program
    // that converted in process gets its own handlers back.
    struct sigaction mine {};
    mine.sa_handler = noteSignal;
    sigemptyset(&mine.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(sigaction(SIGTERM, &mine, &before), 0);
    pdf2swf::Options options;
    options.input = pdf_.toStdString();
    options.output = path("in process.swf").toStdString();
    std::string error;
    std::vector<std::string> notes;
    EXPECT_EQ(pdf2swf::convert(options, error, notes), pdf2swf::kExitOk) << error;
    struct sigaction after {};
    ASSERT_EQ(sigaction(SIGTERM, &before, &after), 0);
    EXPECT_EQ(after.sa_handler, &noteSignal);
}

}  // namespace
}  // namespace quorv
