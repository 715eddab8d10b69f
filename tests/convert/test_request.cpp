// The one builder of requests, the table of modes and the check that refuses a request
// asking for two things that exclude each other.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <functional>

#include "convert/backend.h"
#include "convert/batch/request.h"
#include "convert/batch/run.h"
#include "core/defaults.h"
#include "core/ini.h"
#include "core/pdfoptions.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

BatchRequest usable(BatchMode mode) {
    BatchRequest q;
    q.mode = mode;
    q.outputBase = "/out/";
    q.pdfp = "/ap/pdf/";
    q.poolSize = 2;
    return q;
}

TEST(RequestProblem, ContradictoryRequestsAreRefusedWithTheirReason) {
    struct Case {
        const char* what;
        BatchMode mode;
        std::function<void(BatchRequest&)> change;
        const char* refusal;  // empty: runs
    };
    const QList<Case> cases{
        {"a plain PDF run", BatchMode::Pdf, [](BatchRequest&) {}, ""},
        {"PDF/A with PDF", BatchMode::Pdf, [](BatchRequest& q) { q.pdfa = 3; }, ""},
        {"a search writes nothing", BatchMode::Find, [](BatchRequest& q) { q.outputBase.clear(); },
         ""},
        {"PDF/A with XPS", BatchMode::Xps, [](BatchRequest& q) { q.pdfa = 2; },
         "PDF/A 只用于 pdf 输出，不能用于 xps"},
        {"PDF/A with a copy", BatchMode::Copy, [](BatchRequest& q) { q.pdfa = 1; },
         "PDF/A 只用于 pdf 输出，不能用于 copy"},
        {"a PDF/A part that does not exist", BatchMode::Pdf, [](BatchRequest& q) { q.pdfa = 4; },
         "PDF/A 格式无效"},
        {"no worker", BatchMode::Pdf, [](BatchRequest& q) { q.poolSize = 0; },
         "同时转换的个数应为 1 到 16"},
        {"more workers than offered", BatchMode::Copy, [](BatchRequest& q) { q.poolSize = 17; },
         "同时转换的个数应为 1 到 16"},
        {"a writing mode without an output folder", BatchMode::Custom,
         [](BatchRequest& q) { q.outputBase.clear(); }, "缺少输出目录"},
        {"SWF without a folder for its PDFs", BatchMode::Swf,
         [](BatchRequest& q) { q.pdfp.clear(); }, "缺少中间 PDF 目录"},
        {"SWF options on a PDF run are only unused", BatchMode::Pdf,
         [](BatchRequest& q) { q.blankNamesTaken = q.replaceIntermediate = true; }, ""},
        {"PDF/A on an SWF run, whose PDFs are only a step", BatchMode::Swf,
         [](BatchRequest& q) { q.pdfa = 1; }, "PDF/A 只用于 pdf 输出，不能用于 swf"},
        {"PDF/A with an open password", BatchMode::Pdf,
         [](BatchRequest& q) {
             q.pdfa = 2;
             q.pdf.protection.openPassword = "x";
         },
         "PDF/A归档格式不能加密，请去掉密码和权限限制"},
        {"PDF/A with printing forbidden", BatchMode::Pdf,
         [](BatchRequest& q) {
             q.pdfa = 3;
             q.pdf.protection.noPrint = true;
         },
         "PDF/A归档格式不能加密，请去掉密码和权限限制"},
        {"a watermark too small to read", BatchMode::Pdf,
         [](BatchRequest& q) {
             q.pdf.watermark.text = "内部";
             q.pdf.watermark.size = 2;
         },
         "水印字号应为 6 到 200"},
        {"an invisible watermark", BatchMode::Pdf,
         [](BatchRequest& q) { q.pdf.watermark.opacity = 0; }, "水印不透明度应为 1 到 100"},
    };
    for (const Case& c : cases) {
        BatchRequest q = usable(c.mode);
        c.change(q);
        EXPECT_EQ(requestProblem(q), QString::fromUtf8(c.refusal)) << c.what;
    }
}

TEST(RequestProblem, ARefusedRequestRunsNoRowAndSaysWhy) {
    static int argc = 1;
    static char name[] = "test_request";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    QTemporaryDir src;
    BatchRequest q = usable(BatchMode::Copy);
    q.outputBase = src.path() + "/";
    q.pdfa = 2;
    q.rows.append(BatchRow{"a.pdf", src.path() + "/", {}});
    int started = 0;
    RunCallbacks callbacks;
    callbacks.rowStarted = [&](int) { ++started; };
    const BatchRunResult r = runToEnd(q, callbacks);
    EXPECT_EQ(r.refusal, "PDF/A 只用于 pdf 输出，不能用于 copy");
    EXPECT_EQ(started, 0);
    EXPECT_FALSE(r.error.has_value());
}

TEST(BatchModes, EachModeHasOneNameAndItsOutputs) {
    for (const ModeInfo& m : batchModes()) {
        EXPECT_EQ(modeNamed(modeName(m.mode)), m.mode) << m.name;
        EXPECT_EQ(&modeInfo(m.mode), &m) << "the table is in the enum's order";
    }
    EXPECT_FALSE(modeNamed("PDF").has_value()) << "names are compared as written";
    BatchRequest q = usable(BatchMode::Custom);
    q.wordExt = "htm";
    q.wordFormat = 8;
    EXPECT_EQ(outputKindOf(q), OutputKind::Text);
    EXPECT_EQ(outputExtensionOf(q), "htm");
    q.mode = BatchMode::Xps;
    EXPECT_EQ(outputKindOf(q), OutputKind::Xps);
    EXPECT_EQ(outputExtensionOf(q), "xps");
    q.mode = BatchMode::Copy;
    EXPECT_FALSE(outputKindOf(q).has_value()) << "a copy is the source's bytes";
}

// Every program starts from the settings file; what it overrides wins, and each option
// is read only for the modes that use it.
TEST(RequestFromSettings, ReadsTheSettingsAndTakesTheOverrides) {
    QTemporaryDir ap;
    GlobalSettings g;
    g.ap_path = ap.path();
    g.profile = profilePathFor(ap.path());
    g.sfth = "n";
    g.awordhz = "#txt";
    ASSERT_EQ(writeSetting(g.profile, Key::Pool, "3"), 1);
    ASSERT_EQ(writeSetting(g.profile, Key::Sfjx, "y"), 1);
    ASSERT_EQ(writeSetting(g.profile, Key::Pdfa, "2"), 1);
    ASSERT_EQ(writeSetting(g.profile, Key::Wsavehz, "htm"), 1);
    ASSERT_EQ(writeSetting(g.profile, Key::Wsavely, "8"), 1);

    const BatchRequest pdf = requestFromSettings(BatchMode::Pdf, g);
    EXPECT_EQ(pdf.poolSize, 3);
    EXPECT_TRUE(pdf.goOn);
    EXPECT_EQ(pdf.pdfa, 2);
    EXPECT_EQ(pdf.sfth, "n");
    EXPECT_EQ(pdf.awordhz, "#txt");
    EXPECT_TRUE(pdf.wordExt.isEmpty());

    const BatchRequest custom = requestFromSettings(BatchMode::Custom, g);
    EXPECT_EQ(custom.wordExt, "htm");
    EXPECT_EQ(custom.wordFormat, 8);
    EXPECT_EQ(custom.pdfa, 0);

    const BatchRequest swf = requestFromSettings(BatchMode::Swf, g);
    EXPECT_EQ(swf.pdfp, ap.path() + "/pdf/");
    EXPECT_FALSE(swf.swf.program.isEmpty());

    RequestOverrides o;
    o.poolSize = 1;
    o.goOn = false;
    o.sfth = "y";
    o.pdfa = 0;
    const BatchRequest over = requestFromSettings(BatchMode::Pdf, g, o);
    EXPECT_EQ(over.poolSize, 1);
    EXPECT_FALSE(over.goOn);
    EXPECT_EQ(over.sfth, "y");
    EXPECT_EQ(over.pdfa, 0);
    o.pdfa = 3;
    EXPECT_FALSE(requestProblem(requestFromSettings(BatchMode::Xps, g, o)).isEmpty())
        << "a part asked for with XPS is kept for the check to refuse";
}

// The PDF options come from the settings with each given override over them, and only for
// the modes whose outputs are or come from a PDF; only PDF outputs are merged.
TEST(RequestFromSettings, PdfOptionsTakeEachOverrideAndStayOffWhereNoPdfIsMade) {
    QTemporaryDir ap;
    GlobalSettings g;
    g.ap_path = ap.path();
    g.profile = profilePathFor(ap.path());
    PdfOptions set;
    set.protection.openPassword = "settings";
    set.protection.noCopy = true;
    set.watermark.text = "内部资料";
    set.merge.on = true;
    set.merge.fileName = "全部";
    ASSERT_EQ(writePdfOptions(g.profile, set), 1);

    const BatchRequest pdf = requestFromSettings(BatchMode::Pdf, g);
    EXPECT_EQ(pdf.pdf.protection.openPassword, "settings");
    EXPECT_TRUE(pdf.pdf.protection.noCopy);
    EXPECT_EQ(pdf.pdf.watermark.text, "内部资料");
    EXPECT_TRUE(pdf.pdf.merge.on);

    RequestOverrides o;
    o.pdf.openPassword = "given";
    o.pdf.noPrint = true;
    o.pdf.watermarkTiled = false;
    o.pdf.mergeFile = "合同";
    o.pdf.keepParts = false;
    const BatchRequest over = requestFromSettings(BatchMode::Pdf, g, o);
    EXPECT_EQ(over.pdf.protection.openPassword, "given");
    EXPECT_TRUE(over.pdf.protection.noPrint);
    EXPECT_TRUE(over.pdf.protection.noCopy) << "what is not given stays the settings'";
    EXPECT_FALSE(over.pdf.watermark.tiled);
    EXPECT_EQ(over.pdf.merge.fileName, "合同");
    EXPECT_FALSE(over.pdf.merge.keepParts);

    const BatchRequest swf = requestFromSettings(BatchMode::Swf, g);
    EXPECT_EQ(swf.pdf.watermark.text, "内部资料");
    EXPECT_FALSE(swf.pdf.merge.on) << "SWF files are not merged into a PDF";
    for (BatchMode m : {BatchMode::Xps, BatchMode::Copy, BatchMode::Find}) {
        const BatchRequest q = requestFromSettings(m, g);
        EXPECT_FALSE(q.pdf.rewritesOutputs() || q.pdf.merge.on) << modeName(m).toStdString();
    }
}

// A program that installs no backend would run without output checks: it ends at once.
TEST(BackendDeathTest, AProgramWithoutOneEndsAtOnceAndLoudly) {
    EXPECT_DEATH(installBackend(ConvertBackend{}), "backend needs");
}

}  // namespace
}  // namespace quorv
