// A batch on real LibreOffice, Ghostscript and quorv-pdf2swf still succeeds with the output
// checks registered (as every program registers them), and what it wrote passes them.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include "convert/batch/run.h"
#include "convert/outputcheck.h"
#include "engines/checks/outputchecks.h"
#include "engines/office/office_docs.h"
#include "fakes/made_once.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

struct Shared {
    QTemporaryDir root;
    QString src;  // folder of the sources, ending in "/"

    // Results come through the event loop of the owner's thread.
    Shared() {
        static int argc = 1;
        static char name[] = "test_outputchecks_office";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
};
Shared* shared = nullptr;

void makeDocuments() {
    shared->src = shared->root.filePath("源/");
    QDir().mkpath(shared->src);
    const QString flat = shared->root.filePath("a.fodt");
    ASSERT_TRUE(testing::writeFlatText(flat, {"第一页 one", "第二页 two"}));
    ASSERT_TRUE(testing::saveThroughWord(flat, shared->src + "报告.docx", 16));
    ASSERT_TRUE(testing::writeFlatText(flat, {"短 short"}));
    ASSERT_TRUE(testing::saveThroughWord(flat, shared->src + "b.doc", 0));
}
const auto* const kEnv =
    testing::madeOnce(shared, makeDocuments, testing::AfterMaking::KeepSession);

QList<BatchRunResult::Row> run(BatchRequest& q) {
    for (const char* name : {"报告.docx", "b.doc"}) q.rows.append(BatchRow{name, shared->src, {}});
    return runToEnd(q).rows;
}

TEST(OutputChecksOnRealOffice, EveryModeStillSucceedsAndItsOutputsPassTheChecks) {
    struct Case {
        const char* what;
        BatchMode mode;
        QString ext;
        int format;
        bool (*reads)(const QString&);
    };
    const QList<Case> cases{
        {"PDF", BatchMode::Pdf, "pdf", 17, checks::pdfReads},
        {"XPS", BatchMode::Xps, "xps", 18, checks::xpsReads},
        {"plain text", BatchMode::Custom, "txt", 2, nullptr},
        {"web page", BatchMode::Custom, "htm", 8, nullptr},
        {"SWF", BatchMode::Swf, "swf", 17, checks::swfReads},
    };
    for (const Case& c : cases) {
        QTemporaryDir out;
        BatchRequest q;
        q.mode = c.mode;
        q.outputBase = out.path() + "/";
        q.wordExt = c.ext;
        q.wordFormat = c.format;
        q.pdfp = out.filePath("pdf") + "/";
        q.replaceIntermediate = true;
        q.swf = SwfTool{PDF2SWF_PATH, "9", {}};
        const QList<BatchRunResult::Row> rows = run(q);
        for (const BatchRunResult::Row& r : rows) {
            EXPECT_EQ(r.result, BatchResult::Success)
                << c.what << ": " << failReasonText(r.reason).toStdString();
        }
        for (const QString& stem : {QString("报告."), QString("b.")}) {
            const QString path = out.filePath(stem + c.ext);
            ASSERT_TRUE(QFile::exists(path)) << c.what;
            if (c.reads) {
                EXPECT_TRUE(c.reads(path)) << c.what;
            }
            EXPECT_GT(QFile(path).size(), 0) << c.what;
        }
    }
}

// What the office writes, cut where a conversion that stopped writing would leave it, no
// longer passes; poppler alone still opens such a PDF.
TEST(OutputChecksOnRealOffice, RealOutputsCutShortFail) {
    QTemporaryDir out;
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.outputBase = out.path() + "/";
    ASSERT_EQ(run(q).value(0).result, BatchResult::Success);
    const QByteArray pdf = readAll(out.filePath("报告.pdf"));
    q.mode = BatchMode::Xps;
    q.rows.clear();
    ASSERT_EQ(run(q).value(0).result, BatchResult::Success);
    const QByteArray xps = readAll(out.filePath("报告.xps"));
    for (const double part : {0.5, 0.9, 0.99}) {
        QFile cut(out.filePath("cut.pdf"));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(pdf.left(qsizetype(pdf.size() * part)));
        cut.close();
        EXPECT_FALSE(checks::pdfReads(cut.fileName())) << part;
        QFile cutXps(out.filePath("cut.xps"));
        ASSERT_TRUE(cutXps.open(QIODevice::WriteOnly));
        cutXps.write(xps.left(qsizetype(xps.size() * part)));
        cutXps.close();
        EXPECT_FALSE(checks::xpsReads(cutXps.fileName())) << part;
    }
}

}  // namespace
}  // namespace quorv
