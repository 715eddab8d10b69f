// quorvbatch end to end: the program started as a process, converting through real
// LibreOffice, killed and resumed, and split into shares by GNU parallel.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <map>

#include "batch_run.h"
#include "convert/batch/run.h"
#include "convert/folderscan.h"
#include "convert/kind_docs.h"
#include "core/ini.h"
#include "engines/checks/outputchecks.h"
#include "engines/office/office_docs.h"
#include "fakes/made_once.h"
#include "fakes/pdfa_checks.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "gui/mainwin/zipread.h"
#include "programs/quorvbatch/batchoptions.h"

namespace quorv {
namespace {

using testing::BatchRun;
using testing::filesBelow;
using testing::lineOf;
using testing::runBatch;

const QString kFixtures = QStringLiteral(DOC_FILES_DIR);

// The documents, made once through the engine. `mixed` holds good, damaged, locked and
// foreign files, two of one stem and a subfolder; `many` holds enough to kill a run in.
struct Sources {
    QTemporaryDir root;
    QString mixed;
    QString many;
    QString docx;   // a good two-page document
    QString kinds;  // one file of each kind, and two that are no document
    QString page;   // a document with a picture

    // The runs report through the event loop, made before the office starts.
    Sources() {
        static int argc = 1;
        static char name[] = "test_quorvbatch_office";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
};
Sources* sources = nullptr;

bool copyFile(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    return QFile::copy(from, to);
}

// A text document showing one small red picture, carried inside it.
bool writeFlatTextWithPicture(const QString& path) {
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\" "
        "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
        "<office:body><office:text><text:p>图文</text:p><text:p>"
        "<draw:frame draw:name=\"pic\" text:anchor-type=\"as-char\" svg:width=\"2cm\" "
        "svg:height=\"2cm\"><draw:image><office:binary-data>"
        "iVBORw0KGgoAAAANSUhEUgAAAAgAAAAICAIAAABLbSncAAAAEklEQVR4nGP4z8CAFWEXHbQSACj/"
        "P8Fu7N9hAAAAAElF"
        "TkSuQmCC</office:binary-data></draw:image></draw:frame></text:p>"
        "</office:text></office:body></office:document>\n";
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(xml) == xml.size();
}

bool putBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void makeDocuments() {
    const QString flat = sources->root.filePath("src.fodt");
    ASSERT_TRUE(testing::writeFlatText(flat, {"批量 转换", "second page"}));
    sources->docx = sources->root.filePath("good.docx");
    const QString doc = sources->root.filePath("good.doc");
    ASSERT_TRUE(testing::saveThroughWord(flat, sources->docx, 16));
    ASSERT_TRUE(testing::saveThroughWord(flat, doc, 0));

    const QString picture = sources->root.filePath("picture.fodt");
    ASSERT_TRUE(writeFlatTextWithPicture(picture));
    sources->page = sources->root.filePath("page.docx");
    ASSERT_TRUE(testing::saveThroughWord(picture, sources->page, 16));

    const QString m = sources->mixed = sources->root.filePath("源 文件");
    ASSERT_TRUE(copyFile(sources->docx, m + "/报告.docx"));
    ASSERT_TRUE(copyFile(doc, m + "/报告.doc"));
    ASSERT_TRUE(copyFile(sources->docx, m + "/下级/报告.docx"));
    // A package cut short, and one LibreOffice saved with a password.
    ASSERT_TRUE(putBytes(m + "/损坏.docx", readAll(sources->docx).left(2000)));
    ASSERT_TRUE(copyFile(kFixtures + "/locked.docx", m + "/加密.docx"));
    ASSERT_TRUE(putBytes(m + "/说明.txt", "纯文本"));

    // A workbook printing two pages (its print area; a wide sheet fit to one page) and
    // three slides of which one is hidden, under Microsoft's and WPS Office's names.
    const QString k = sources->kinds = sources->root.filePath("各类");
    QDir().mkpath(k);
    const QString book = sources->root.filePath("book.fods");
    ASSERT_TRUE(testing::writeFlatWorkbook(book, "区域内", "区域外", "隐藏表", "一页"));
    ASSERT_TRUE(testing::saveThroughExcel(book, k + "/报表.xlsx", 51));
    ASSERT_TRUE(testing::saveThroughExcel(book, sources->root.filePath("报表.xls"), 56));
    ASSERT_TRUE(copyFile(sources->root.filePath("报表.xls"), k + "/表格.et"));
    const QString slides = sources->root.filePath("slides.fodp");
    ASSERT_TRUE(testing::writeFlatSlides(slides, {{"第一页", "微软雅黑", {}, false},
                                                  {"藏起", "宋体", {}, true},
                                                  {"第三页", "宋体", "备注", false}}));
    ASSERT_TRUE(testing::saveThroughPowerPoint(slides, k + "/演示.pptx", 24));
    ASSERT_TRUE(copyFile(sources->docx, k + "/文档.docx"));
    // An office system's "Word" notice that is a web page, and random bytes named .doc.
    ASSERT_TRUE(putBytes(k + "/通知.doc",
                         "<html><head><meta charset=\"utf-8\"></head><body><p>通知</p>"
                         "</body></html>"));
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) % 251);
    ASSERT_TRUE(putBytes(k + "/乱码.doc", noise));
    ASSERT_TRUE(putBytes(k + "/说明.txt", "纯文本"));

    const QString n = sources->many = sources->root.filePath("many");
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(copyFile(sources->docx, n + QStringLiteral("/d%1.docx").arg(i)));
    }
    ASSERT_TRUE(copyFile(doc, n + "/d0.doc"));
    ASSERT_TRUE(copyFile(sources->docx, n + "/0d0.docx"));
    ASSERT_TRUE(copyFile(sources->docx, n + "/sub1/d0.docx"));
    ASSERT_TRUE(copyFile(sources->docx, n + "/sub2/d1.docx"));
    ASSERT_TRUE(putBytes(n + "/broken.docx", readAll(sources->docx).left(1500)));
}
const auto* const kEnv =
    testing::madeOnce(sources, makeDocuments, testing::AfterMaking::EndSession);

class Quorvbatch : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.path();
    }
    QString path(const QString& name) const { return work + "/" + name; }
    // The outputs in a folder, the journals left out.
    static QStringList outputs(const QString& folder) {
        QStringList files;
        for (const QString& f : filesBelow(folder)) {
            if (!f.contains(".quorvbatch-journal")) files << f;
        }
        return files;
    }
    QTemporaryDir dir;
    QString work;
};

// The same rows through the batch engine as the window's run builds them: numbered names,
// flat output, going on past errors.
QStringList windowBatchOutputs(const QString& folder, bool recursive, const QString& outBase) {
    BatchRequest request;
    request.mode = BatchMode::Pdf;
    request.outputBase = outBase + "/";
    request.sfth = "n";
    request.poolSize = 2;
    request.goOn = true;
    ScanOptions scan;
    scan.recursive = recursive;
    scanFolder(folder, scan, [&](ScanRow&& r) {
        request.rows.append(BatchRow{r.filey, r.ypath, r.zml});
    });
    QDir().mkpath(outBase);
    runToEnd(request);
    return filesBelow(outBase);
}

TEST_F(Quorvbatch, AFolderWithBadFilesSaysPerFileWhatHappenedAndEndsWith4) {
    const BatchRun r =
        runBatch(work, {"--recursive", "--jobs", "2", "--out", "out", sources->mixed});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kBatchSomeFailed) << r.err.toStdString();
    // Standard output holds nothing but the lines; no progress without a terminal.
    EXPECT_EQ(r.lines.size(), 6) << r.out.toStdString();
    EXPECT_EQ(r.out.count('\n'), 6);
    EXPECT_FALSE(r.err.contains("已完成"));

    const QString m = sources->mixed;
    struct Expected {
        QString reason;
        QString text;
    };
    const std::map<QString, Expected> failed{
        {m + "/损坏.docx", {"damaged", "文件已损坏或无法识别"}},
        {m + "/加密.docx", {"password", "文件有密码保护"}},
        {m + "/说明.txt", {"wrong-type", "不转换此类型文件"}},
    };
    for (const auto& [source, e] : failed) {
        const QJsonObject o = lineOf(r.lines, source);
        EXPECT_EQ(o.value("status").toString(), "failed") << source.toStdString();
        EXPECT_EQ(o.value("reason").toString(), e.reason);
        EXPECT_EQ(o.value("reasonText").toString(), e.text);
        EXPECT_EQ(o.value("retryable"), QJsonValue(false));
        EXPECT_TRUE(o.value("output").isNull());
        EXPECT_TRUE(o.value("pages").isNull());
    }
    QSet<QString> written;
    for (const QString& source : {m + "/报告.docx", m + "/报告.doc", m + "/下级/报告.docx"}) {
        const QJsonObject o = lineOf(r.lines, source);
        EXPECT_EQ(o.value("status").toString(), "ok") << source.toStdString();
        EXPECT_TRUE(o.value("reason").isNull());
        EXPECT_EQ(o.value("retryable"), QJsonValue(false));
        const QString output = o.value("output").toString();
        EXPECT_TRUE(output.startsWith(path("out/"))) << output.toStdString();
        EXPECT_EQ(o.value("pages").toInt(), 2);
        EXPECT_EQ(pdfPages(output), 2);
        EXPECT_GE(o.value("ms").toInteger(-1), 0);
        written.insert(output);
    }
    EXPECT_EQ(written.size(), 3);  // three names for one stem: numbered, none overwritten

    // The outputs are those of the window's batch over the same folder.
    EXPECT_EQ(outputs(path("out")), windowBatchOutputs(m, true, path("window")));
    EXPECT_EQ(outputs(path("out")), (QStringList{"0报告.pdf", "1报告.pdf", "报告.pdf"}));
    // The journal says the same, one line per file.
    EXPECT_EQ(readAll(path("out/.quorvbatch-journal.jsonl")).count('\n'), 6);
}

TEST_F(Quorvbatch, EachKindGoesToItsOwnApplicationAndWhatIsNoDocumentIsRefused) {
    const QString k = sources->kinds;
    struct Expected {
        QString status;
        QString reason;  // empty for "ok"
        int pages;       // of a PDF written
    };
    // By content, not by name: the .et is Excel's, the HTML .doc Word's; the noise .doc
    // would otherwise be imported as text and come out a document.
    const std::map<QString, Expected> expected{
        {k + "/文档.docx", {"ok", {}, 2}},
        {k + "/报表.xlsx", {"ok", {}, 2}},
        {k + "/表格.et", {"ok", {}, 2}},
        {k + "/演示.pptx", {"ok", {}, 2}},
        {k + "/通知.doc", {"ok", {}, 1}},
        {k + "/乱码.doc", {"failed", "unknown-kind", 0}},
        {k + "/说明.txt", {"failed", "wrong-type", 0}},
    };
    for (const QString mode : {"pdf", "copy"}) {
        const BatchRun r = runBatch(work, {"--mode", mode, "--jobs", "2", "--out", mode, k});
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.lines.size(), int(expected.size())) << r.out.toStdString();
        for (const auto& [source, e] : expected) {
            const QJsonObject o = lineOf(r.lines, source);
            const std::string what = mode.toStdString() + " " + source.toStdString();
            if (mode == "copy") {  // the copy takes every file as it is
                EXPECT_EQ(o.value("status").toString(), "ok") << what;
                continue;
            }
            EXPECT_EQ(o.value("status").toString(), e.status) << what;
            EXPECT_EQ(o.value("reason").toString(), e.reason) << what;
            if (e.status == "ok") {
                EXPECT_EQ(o.value("pages").toInt(), e.pages) << what;
                EXPECT_EQ(pdfPages(o.value("output").toString()), e.pages) << what;
            } else {
                EXPECT_EQ(o.value("reasonText").toString(),
                          e.reason == "wrong-type" ? "不转换此类型文件" : "无法识别的文档类型")
                    << what;
                EXPECT_TRUE(o.value("output").isNull()) << what;
            }
        }
        EXPECT_EQ(r.status, mode == "copy" ? kBatchAllDone : kBatchSomeFailed)
            << r.err.toStdString();
    }
    // The presentation choice of --type takes presentations only.
    const BatchRun typed =
        runBatch(work, {"--type", "presentation", "--mode", "copy", "--out", "typed", k});
    EXPECT_EQ(outputs(path("typed")), QStringList{"演示.pptx"});
}

TEST_F(Quorvbatch, AnOfficeThatCannotStartIsRetryableAndEndsWith5) {
    // A bootstrap file that is not there leaves UNO without its types; the program used to
    // crash on its first call through them.
    qputenv("URE_BOOTSTRAP", "file:///nonexistent/fundamentalrc");
    const BatchRun r = runBatch(work, {"--out", "out", sources->docx});
    qunsetenv("URE_BOOTSTRAP");
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.status, kBatchSomeRetryable) << r.err.toStdString();
    const QJsonObject o = r.lines.value(0);
    EXPECT_EQ(o.value("status").toString(), "failed");
    EXPECT_EQ(o.value("reasonText").toString(), "办公组件无法启动");
    EXPECT_EQ(o.value("retryable"), QJsonValue(true));
    EXPECT_TRUE(outputs(path("out")).isEmpty());
}

TEST_F(Quorvbatch, TheTypeFilterAndAListOnStandardInput) {
    const QString m = sources->mixed;
    const BatchRun typed = runBatch(work, {"--type", "word", "--out", "typed", m});
    EXPECT_EQ(typed.status, kBatchSomeFailed);
    EXPECT_TRUE(lineOf(typed.lines, m + "/说明.txt").isEmpty());
    EXPECT_TRUE(lineOf(typed.lines, m + "/下级/报告.docx").isEmpty());  // not recursive
    EXPECT_EQ(typed.lines.size(), 4);

    const QByteArray list = (m + "/报告.docx\n" + m + "/不在.docx\r\n\n").toUtf8();
    const BatchRun listed = runBatch(work, {"--files-from", "-", "--out", "listed"}, list);
    EXPECT_EQ(listed.status, kBatchSomeFailed);
    ASSERT_EQ(listed.lines.size(), 2);
    EXPECT_EQ(lineOf(listed.lines, m + "/报告.docx").value("status").toString(), "ok");
    const QJsonObject missing = lineOf(listed.lines, m + "/不在.docx");
    EXPECT_EQ(missing.value("status").toString(), "failed");
    EXPECT_EQ(missing.value("reason").toString(), "source-missing");
    EXPECT_EQ(outputs(path("listed")), QStringList{"报告.pdf"});
}

TEST_F(Quorvbatch, SinceAndHiddenFilesAreTheWindowsScanFilters) {
    const QString in = path("dated");
    ASSERT_TRUE(copyFile(sources->docx, in + "/old.docx"));
    ASSERT_TRUE(copyFile(sources->docx, in + "/new.docx"));
    ASSERT_TRUE(copyFile(sources->docx, in + "/.hidden.docx"));
    QFile old(in + "/old.docx");
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime(QDate(2020, 5, 1), QTime(8, 0)),
                                QFileDevice::FileModificationTime));
    old.close();
    const QStringList since{"--mode", "copy", "--since", "2024-01-01 00:00:00"};
    const BatchRun plain = runBatch(work, since + QStringList{"--out", "plain", in});
    EXPECT_EQ(plain.status, kBatchAllDone);
    EXPECT_EQ(outputs(path("plain")), QStringList{"new.docx"});
    const BatchRun hidden = runBatch(work, since + QStringList{"--hidden", "--out", "hidden", in});
    EXPECT_EQ(hidden.status, kBatchAllDone);
    EXPECT_EQ(outputs(path("hidden")), (QStringList{".hidden.docx", "new.docx"}));
}

TEST_F(Quorvbatch, AllConvertedEndsWith0AndReplaceWritesOverTheSameName) {
    const QStringList args{"--replace", "--out", "out", sources->docx};
    EXPECT_EQ(runBatch(work, args).status, kBatchAllDone);
    const BatchRun again = runBatch(work, args);
    EXPECT_EQ(again.status, kBatchAllDone);
    EXPECT_EQ(again.lines.value(0).value("status").toString(), "ok");
    EXPECT_EQ(outputs(path("out")), QStringList{"good.pdf"});
    // Without it the second output is numbered, as in the window.
    EXPECT_EQ(runBatch(work, {"--out", "out", sources->docx}).status, kBatchAllDone);
    EXPECT_EQ(outputs(path("out")), (QStringList{"0good.pdf", "good.pdf"}));
}

TEST_F(Quorvbatch, AProgressLineGoesToAStandardErrorThatIsATerminal) {
    // script(1) gives the program a terminal and records what reaches it.
    const QString command = QStringLiteral("'%1' --out out '%2' > lines.txt")
                                .arg(QStringLiteral(QUORVBATCH_PATH), sources->docx);
    QProcess p;
    p.setWorkingDirectory(work);
    p.start("script", {"-q", "-e", "-c", command, path("terminal.txt")});
    ASSERT_TRUE(p.waitForFinished(300000));
    EXPECT_EQ(p.exitCode(), kBatchAllDone);
    const QString terminal = QString::fromUtf8(readAll(path("terminal.txt")));
    EXPECT_TRUE(terminal.contains("已完成 1/1")) << terminal.toStdString();
    // Standard output keeps only the lines.
    const QList<QJsonObject> lines =
        testing::jsonLines(QString::fromUtf8(readAll(path("lines.txt"))));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].value("status").toString(), "ok");
}

TEST_F(Quorvbatch, EveryModeAgainstTheRealEngine) {
    // Custom takes the settings file's Word format: plain text.
    ASSERT_EQ(writeIniKey(path("tovk.ini"), "gsly", "wsavehz", "txt"), 1);
    ASSERT_EQ(writeIniKey(path("tovk.ini"), "gsly", "wsavely", "2"), 1);
    ASSERT_EQ(writeIniKey(path("tovk.ini"), "other", "flashv", "9"), 1);
    const std::map<QString, QString> outputsOf{
        {"xps", "good.xps"}, {"custom", "good.txt"}, {"swf", "good.swf"}, {"copy", "good.docx"}};
    for (const auto& [mode, name] : outputsOf) {
        const BatchRun r = runBatch(work, {"--mode", mode, "--out", mode, sources->docx});
        EXPECT_EQ(r.status, kBatchAllDone) << mode.toStdString() << r.err.toStdString();
        EXPECT_EQ(outputs(path(mode)), QStringList{name}) << mode.toStdString();
        EXPECT_EQ(r.lines.value(0).value("output").toString(), path(mode + "/" + name));
    }
    EXPECT_TRUE(readAll(path("xps/good.xps")).startsWith("PK"));
    EXPECT_TRUE(QString::fromUtf8(readAll(path("custom/good.txt"))).contains("批量 转换"));
    const QByteArray swf = readAll(path("swf/good.swf"));
    ASSERT_GE(swf.size(), 8);
    EXPECT_EQ(int(swf[3]), 9);
    EXPECT_EQ(readAll(path("copy/good.docx")), readAll(sources->docx));
}

TEST_F(Quorvbatch, AWebPageComesWithItsPicturesAlsoUnderANumberedName) {
    ASSERT_EQ(writeIniKey(path("tovk.ini"), "gsly", "wsavehz", "html"), 1);
    ASSERT_EQ(writeIniKey(path("tovk.ini"), "gsly", "wsavely", "8"), 1);
    for (int run = 0; run < 2; ++run) {
        const BatchRun r = runBatch(work, {"--mode", "custom", "--out", "out", sources->page});
        ASSERT_EQ(r.status, kBatchAllDone) << r.err.toStdString();
    }
    const QRegularExpression img(QStringLiteral("<img[^>]*src=\"([^\"]+)\""));
    for (const QString page : {"page.html", "0page.html"}) {
        const QString html = QString::fromUtf8(readAll(path("out/" + page)));
        const QRegularExpressionMatch m = img.match(html);
        ASSERT_TRUE(m.hasMatch()) << page.toStdString() << html.toStdString();
        const QString picture = path("out/" + m.captured(1));
        EXPECT_TRUE(QFileInfo(picture).isFile()) << picture.toStdString();
        EXPECT_TRUE(readAll(picture).startsWith("\x89PNG") ||
                    readAll(picture).startsWith("\xff\xd8"))
            << picture.toStdString();
    }
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList())
        << "no part folder is left";
}

TEST_F(Quorvbatch, OfdModeWritesAnOfdOfThePdfsPagesAndText) {
    const BatchRun pdf = runBatch(work, {"--mode", "pdf", "--out", "pdf", sources->docx});
    ASSERT_EQ(pdf.status, kBatchAllDone) << pdf.err.toStdString();
    const int pages = checks::pdfPageCount(path("pdf/good.pdf"));
    ASSERT_EQ(pages, 2);

    const BatchRun r = runBatch(work, {"--mode", "ofd", "--out", "ofd", sources->docx});
    EXPECT_EQ(r.status, kBatchAllDone) << r.err.toStdString();
    EXPECT_EQ(outputs(path("ofd")), QStringList{"good.ofd"}) << "no intermediate PDF is left";
    EXPECT_EQ(r.lines.value(0).value("output").toString(), path("ofd/good.ofd"));
    EXPECT_TRUE(checks::ofdReads(path("ofd/good.ofd"), pages));
    const QMap<QString, QByteArray> package = testing::readZip(readAll(path("ofd/good.ofd")));
    QString text;
    for (auto it = package.begin(); it != package.end(); ++it) {
        if (!it.key().endsWith("/Content.xml")) continue;
        QXmlStreamReader xml(it.value());
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"TextCode") {
                text += xml.readElementText();
            }
        }
    }
    EXPECT_EQ(text.remove(QRegularExpression("\\s")), "批量转换secondpage");

    const BatchRun again =
        runBatch(work, {"--mode", "ofd", "--out", "ofd", "--resume", sources->docx});
    EXPECT_EQ(again.status, kBatchAllDone) << again.err.toStdString();
    EXPECT_EQ(again.lines.value(0).value("status").toString(), "skipped");
}

TEST_F(Quorvbatch, PdfaComesFromTheSettingsUnlessTheOptionSaysOtherwise) {
    ASSERT_EQ(writeIniKey(path("tovk.ini"), "sdef", "pdfa", "2"), 1);
    EXPECT_EQ(runBatch(work, {"--out", "set", sources->docx}).status, kBatchAllDone);
    EXPECT_EQ(testing::pdfaProblems(path("set/good.pdf"), 2), QStringList());
    EXPECT_EQ(runBatch(work, {"--pdfa", "3b", "--out", "three", sources->docx}).status,
              kBatchAllDone);
    EXPECT_EQ(testing::pdfaProblems(path("three/good.pdf"), 3), QStringList());
    EXPECT_EQ(runBatch(work, {"--pdfa", "none", "--out", "plain", sources->docx}).status,
              kBatchAllDone);
    EXPECT_FALSE(testing::pdfaProblems(path("plain/good.pdf"), 2).isEmpty());
    // Resumed with another part, a file done before is not taken as done: it is made again.
    const BatchRun other =
        runBatch(work, {"--resume", "--pdfa", "1b", "--out", "set", sources->docx});
    EXPECT_EQ(other.status, kBatchAllDone) << other.err.toStdString();
    EXPECT_EQ(other.lines.value(0).value("status").toString(), "ok");
    EXPECT_EQ(testing::pdfaProblems(path("set/0good.pdf"), 1), QStringList());
    EXPECT_EQ(runBatch(work, {"--resume", "--pdfa", "1b", "--out", "set", sources->docx})
                  .lines.value(0)
                  .value("status")
                  .toString(),
              "skipped");
}

// A program's standard output, with its exit status.
QString programOutput(const QString& program, const QStringList& args, int* status = nullptr) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (status) *status = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST_F(Quorvbatch, AProtectedWatermarkedPdfOpensOnlyWithItsPasswordAndKeepsItsText) {
    const BatchRun r =
        runBatch(work, {"--open-password", "开门123", "--forbid", "print,copy", "--watermark",
                        "内部资料", "--watermark-single", "--out", "out", sources->docx});
    ASSERT_EQ(r.status, kBatchAllDone) << r.err.toStdString();
    const QString pdf = path("out/good.pdf");
    EXPECT_EQ(r.lines.value(0).value("pages").toInt(), 2);

    const QString encryption =
        programOutput("qpdf", {"--password=开门123", "--show-encryption", pdf});
    EXPECT_TRUE(encryption.contains("AESv3")) << encryption.toStdString();
    EXPECT_TRUE(encryption.contains("print low resolution: not allowed"))
        << encryption.toStdString();
    EXPECT_TRUE(encryption.contains("extract for any purpose: not allowed"))
        << encryption.toStdString();

    int status = 0;
    programOutput("pdftotext", {pdf, "-"}, &status);
    EXPECT_NE(status, 0) << "opened without the password";
    const QString text = programOutput("pdftotext", {"-upw", "开门123", pdf, "-"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(text.contains("批量 转换")) << text.toStdString();
    EXPECT_TRUE(text.contains("second page"));
    // Search and copy see the watermark at most once a page.
    EXPECT_LE(text.count("内部资料"), 2) << text.toStdString();

    // Nothing the run keeps names the password.
    for (const QString& f : filesBelow(path("out"))) {
        if (f.endsWith(".pdf")) continue;
        EXPECT_FALSE(QString::fromUtf8(readAll(path("out/") + f)).contains("开门123"))
            << f.toStdString();
    }
    EXPECT_FALSE(r.out.contains("开门123"));
    EXPECT_FALSE(r.err.contains("开门123"));
}

TEST_F(Quorvbatch, AMergeTakesTheConvertedInListOrderAndNamesTheOneLeftOut) {
    ASSERT_TRUE(copyFile(sources->docx, path("in/乙.docx")));
    ASSERT_TRUE(putBytes(path("in/坏.docx"), readAll(sources->docx).left(1500)));
    ASSERT_TRUE(copyFile(sources->docx, path("in/甲.docx")));
    const BatchRun r = runBatch(work, {"--merge", "合同", "--merge-drop-parts", "--out", "out",
                                       path("in/乙.docx"), path("in/坏.docx"), path("in/甲.docx")});
    EXPECT_EQ(r.status, kBatchSomeFailed) << r.err.toStdString();
    const QJsonObject merged = r.lines.value(r.lines.size() - 1);
    EXPECT_EQ(merged.value("merge").toString(), path("out/合同.pdf"));
    EXPECT_EQ(merged.value("status").toString(), "ok");
    EXPECT_EQ(merged.value("pages").toInt(), 4);
    EXPECT_EQ(merged.value("leftOut").toArray().toVariantList(), QVariantList{"坏.docx"});
    EXPECT_TRUE(r.err.contains("坏.docx")) << r.err.toStdString();
    // The parts went as asked; the merged file holds their pages.
    EXPECT_EQ(outputs(path("out")), QStringList{"合同.pdf"});
    EXPECT_EQ(programOutput("qpdf", {"--show-npages", path("out/合同.pdf")}).trimmed(), "4");
    const QJsonArray top =
        QJsonDocument::fromJson(
            programOutput("qpdf", {"--json", "--json-key=outlines", path("out/合同.pdf")}).toUtf8())
            .object()["outlines"]
            .toArray();
    QStringList titles;
    for (const QJsonValue& o : top) titles << o.toObject()["title"].toString();
    EXPECT_EQ(titles, (QStringList{"乙.docx", "甲.docx"}));
}

TEST_F(Quorvbatch, ResumeRedoesAnOutputThatNoLongerReads) {
    const QStringList args{"--mode", "xps", "--out", "xps", sources->docx};
    ASSERT_EQ(runBatch(work, args).status, kBatchAllDone);
    const QByteArray whole = readAll(path("xps/good.xps"));
    ASSERT_TRUE(whole.startsWith("PK"));
    QFile cut(path("xps/good.xps"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.left(whole.size() / 2));
    cut.close();
    const BatchRun r = runBatch(work, args + QStringList{"--resume"});
    EXPECT_EQ(r.status, kBatchAllDone);
    EXPECT_EQ(r.lines.value(0).value("status").toString(), "ok") << "made again, not skipped";
    EXPECT_EQ(outputs(path("xps")), QStringList{"good.xps"});
    EXPECT_GT(readAll(path("xps/good.xps")).size(), whole.size() / 2);
}

TEST_F(Quorvbatch, ResumeSkipsWhatIsDoneAndRedoesAMissingOutputUnderItsName) {
    const QStringList args{"--recursive", "--out", "out", sources->mixed};
    ASSERT_EQ(runBatch(work, args).status, kBatchSomeFailed);
    const QByteArray journal = readAll(path("out/.quorvbatch-journal.jsonl"));
    const QString gone =
        lineOf(runBatch(work, args + QStringList{"--resume"}).lines, sources->mixed + "/报告.doc")
            .value("output")
            .toString();
    ASSERT_TRUE(QFile::remove(gone));
    const BatchRun r = runBatch(work, args + QStringList{"--resume"});
    EXPECT_EQ(r.status, kBatchSomeFailed);
    std::map<QString, int> statuses;
    for (const QJsonObject& o : r.lines) ++statuses[o.value("status").toString()];
    EXPECT_EQ(statuses["skipped"], 2);
    EXPECT_EQ(statuses["ok"], 1);
    EXPECT_EQ(statuses["failed"], 3);  // failures are tried again
    EXPECT_EQ(lineOf(r.lines, sources->mixed + "/报告.doc").value("output").toString(), gone);
    EXPECT_EQ(outputs(path("out")), (QStringList{"0报告.pdf", "1报告.pdf", "报告.pdf"}));
    EXPECT_EQ(readAll(path("out/.quorvbatch-journal.jsonl")), journal);
}

// Starts a run and kills it with SIGKILL once it has reported `lines` files; the lines
// it printed.
QList<QJsonObject> killAfter(const QString& workdir, const QStringList& args, int lines) {
    QProcess p;
    p.setWorkingDirectory(workdir);
    p.start(QStringLiteral(QUORVBATCH_PATH), args);
    QByteArray out;
    while (out.count('\n') < lines && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    p.kill();
    p.waitForFinished(10000);
    out += p.readAllStandardOutput();
    return testing::jsonLines(QString::fromUtf8(out));
}

TEST_F(Quorvbatch, KilledTwiceThenResumedEndsAsOneUninterruptedRun) {
    const QStringList args{"--recursive", "--jobs", "2", "--out", "out", sources->many};
    const BatchRun whole =
        runBatch(work, {"--recursive", "--jobs", "2", "--out", "whole", sources->many});
    ASSERT_EQ(whole.status, kBatchSomeFailed);
    ASSERT_EQ(whole.lines.size(), 15);

    const QList<QJsonObject> first = killAfter(work, args, 3);
    ASSERT_GE(first.size(), 3);
    ASSERT_LT(first.size(), 15);
    const QList<QJsonObject> second =
        killAfter(work, args + QStringList{"--resume"}, first.size() + 3);
    ASSERT_LT(second.size(), 15);
    const BatchRun last = runBatch(work, args + QStringList{"--resume"});
    EXPECT_EQ(last.status, kBatchSomeFailed);
    EXPECT_EQ(last.lines.size(), 15);

    // Nothing done before a kill is converted again.
    QSet<QString> done;
    for (const QJsonObject& o : first + second) {
        if (o.value("status").toString() != "failed") done.insert(o.value("source").toString());
    }
    for (const QString& source : done) {
        EXPECT_EQ(lineOf(last.lines, source).value("status").toString(), "skipped")
            << source.toStdString();
    }
    // The same names, each a whole PDF, no temporary file left, and the same journal.
    EXPECT_EQ(filesBelow(path("out")), filesBelow(path("whole")));
    for (const QString& f : outputs(path("out")))
        EXPECT_EQ(pdfPages(path("out/" + f)), 2) << f.toStdString();
    EXPECT_EQ(readAll(path("out/.quorvbatch-journal.jsonl")),
              readAll(path("whole/.quorvbatch-journal.jsonl")));
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
}

TEST_F(Quorvbatch, TwoSharesByGnuParallelCoverEveryFileOnce) {
    const QString common = QStringLiteral("--recursive --keep-subfolders --jobs 1 --out out ");
    QProcess p;
    p.setWorkingDirectory(work);
    p.start("bash", {"-c", QStringLiteral("parallel --jobs 2 '%1' --shard {}/2 %2 '%3' ::: 1 2")
                               .arg(QUORVBATCH_PATH, common, sources->many)});
    ASSERT_TRUE(p.waitForFinished(600000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    // parallel ends with the number of jobs that failed: both end with 4 (broken.docx).
    EXPECT_EQ(p.exitCode(), 1) << p.readAllStandardError().toStdString();

    std::map<QString, int> seen;
    for (const QJsonObject& o : testing::jsonLines(out)) ++seen[o.value("source").toString()];
    const BatchRun whole = runBatch(
        work, {"--recursive", "--keep-subfolders", "--jobs", "2", "--out", "whole", sources->many});
    ASSERT_EQ(whole.lines.size(), 15);
    EXPECT_EQ(seen.size(), 15u);
    for (const QJsonObject& o : whole.lines) {
        EXPECT_EQ(seen[o.value("source").toString()], 1)
            << o.value("source").toString().toStdString();
    }
    EXPECT_EQ(outputs(path("out")), outputs(path("whole")));
    EXPECT_TRUE(QFileInfo::exists(path("out/.quorvbatch-journal-1-of-2.jsonl")));
    EXPECT_TRUE(QFileInfo::exists(path("out/.quorvbatch-journal-2-of-2.jsonl")));
    // The shares are not empty: both did some of the work.
    EXPECT_GT(readAll(path("out/.quorvbatch-journal-1-of-2.jsonl")).count('\n'), 0);
    EXPECT_GT(readAll(path("out/.quorvbatch-journal-2-of-2.jsonl")).count('\n'), 0);
}

}  // namespace
}  // namespace quorv
