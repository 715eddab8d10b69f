// The batch engine run to its end: which rows may be in flight together, in what order rows of one
// output name run, what each kind of row comes to, and how a copy lands.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "convert/batch/run.h"
#include "convert/wordconvert.h"
#include "core/failreason.h"
#include "fakes/backend_change.h"
#include "fakes/fake_office.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

BatchRequest request(BatchMode mode, bool keepSubfolders,
                     const QList<QPair<QString, QString>>& rows) {  // (zml, filey)
    BatchRequest q;
    q.mode = mode;
    q.outputBase = "/out/";
    q.keepSubfolders = keepSubfolders;
    q.pdfp = "/ap/pdf/";
    for (const auto& [zml, name] : rows) q.rows.append(BatchRow{name, "/src/" + zml, zml});
    return q;
}

// Rows started, one round at a time: each round starts every row that may start, then
// finishes them all. "0 1 | 2" means rows 0 and 1 ran together, then row 2.
QString rounds(const BatchRequest& q) {
    QList<QStringList> keys;
    for (const BatchRow& r : q.rows) keys << batchRowKeys(q, r);
    BatchSchedule s(keys);
    QStringList out;
    while (!s.allStarted()) {
        QStringList round;
        QList<int> started;
        while (const std::optional<int> row = s.peek()) {
            s.start(*row);
            started << *row;
            round << QString::number(*row);
        }
        if (started.isEmpty()) return "stuck";
        for (int r : started) s.finish(r);
        out << round.join(' ');
    }
    return out.join(" | ");
}

TEST(BatchSchedule, RowsThatCouldWriteOneNameRunInListOrder) {
    struct Case {
        const char* what;
        BatchMode mode;
        bool keep;
        QList<QPair<QString, QString>> rows;
        const char* expected;
    };
    const QList<Case> cases{
        {"distinct names all at once",
         BatchMode::Pdf,
         false,
         {{"", "a.doc"}, {"", "b.doc"}, {"", "c.docx"}},
         "0 1 2"},
        {"same base name from two folders, one output folder",
         BatchMode::Pdf,
         false,
         {{"x/", "a.doc"}, {"y/", "a.docx"}, {"", "b.doc"}},
         "0 2 | 1"},
        {"same base name kept in separate subfolders",
         BatchMode::Pdf,
         true,
         {{"x/", "a.doc"}, {"y/", "a.docx"}},
         "0 1"},
        {"a numbered name meets the name it numbers",
         BatchMode::Xps,
         false,
         {{"", "a.doc"}, {"", "0a.doc"}, {"", "12A.doc"}},
         "0 | 1 | 2"},
        {"a third row waits for both before it",
         BatchMode::Custom,
         false,
         {{"x/", "r.doc"}, {"y/", "r.doc"}, {"z/", "r.doc"}, {"", "s.doc"}},
         "0 3 | 1 | 2"},
        {"copies of one name",
         BatchMode::Copy,
         false,
         {{"x/", "a.pdf"}, {"y/", "a.pdf"}, {"", "b.pdf"}},
         "0 2 | 1"},
        {"SWF: the intermediate PDFs share one folder even when outputs do not",
         BatchMode::Swf,
         true,
         {{"x/", "a.doc"}, {"y/", "a.doc"}, {"y/", "b.doc"}},
         "0 2 | 1"},
        {"a later row is not held up by a waiting one",
         BatchMode::Pdf,
         false,
         {{"", "a.doc"}, {"x/", "a.doc"}, {"", "b.doc"}, {"", "c.doc"}},
         "0 2 3 | 1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rounds(request(c.mode, c.keep, c.rows)), c.expected) << c.what;
    }
}

TEST(BatchSchedule, ARowOfAKeyWaitsUntilTheEarlierOneIsFinishedNotJustStarted) {
    const BatchRequest q = request(BatchMode::Pdf, false, {{"x/", "a.doc"}, {"y/", "a.doc"}});
    BatchSchedule s({batchRowKeys(q, q.rows[0]), batchRowKeys(q, q.rows[1])});
    ASSERT_EQ(s.peek(), 0);
    s.start(0);
    EXPECT_FALSE(s.peek().has_value()) << "row 1 must not start while row 0 runs";
    s.finish(0);
    EXPECT_EQ(s.peek(), 1);
}

// Copy rows on a pool of 3: every file arrives, numbered names as one at a time makes
// them, and a stop lets the rows in flight finish without starting others.
struct CopyRun {
    QTemporaryDir src;
    QTemporaryDir out;
    BatchRequest q;

    explicit CopyRun(int rows, int pool) {
        q.mode = BatchMode::Copy;
        q.outputBase = out.path() + "/";
        q.sfth = "n";
        q.poolSize = pool;
        for (int i = 0; i < rows; ++i) {
            // Rows i and i + 1 of each pair share a name from two folders.
            const QString zml = QString("f%1/").arg(i % 2);
            const QString name = QString("n%1.txt").arg(i / 2);
            QDir().mkpath(src.path() + "/" + zml);
            QFile f(src.path() + "/" + zml + name);
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray::number(i));
            q.rows.append(BatchRow{name, src.path() + "/" + zml, zml});
        }
    }
};

// Results come through the event loop of the owner's thread.
void ensureApp() {
    static int argc = 1;
    static char name[] = "test_batchengine";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// A request run to its end the one way the programs run it, as these tests read it.
class TestRun {
  public:
    explicit TestRun(BatchRequest q) : q_(std::move(q)) {}
    // Asked before each row starts; false stops the run.
    void setStartGate(std::function<bool()> gate) { gate_ = std::move(gate); }
    // "index:result" of each row, sorted; the rows' order and reasons when asked.
    QStringList run(QList<int>* order = nullptr, QList<FailReason>* reasons = nullptr) {
        ensureApp();
        QStringList results;
        RunCallbacks callbacks;
        if (gate_) callbacks.stopWhen = [this] { return !gate_(); };
        callbacks.rowFinished = [&](int index, BatchResult r, FailReason why) {
            if (order) *order << index;
            if (reasons) {
                if (reasons->size() <= index) reasons->resize(index + 1);
                (*reasons)[index] = why;
            }
            results << QString("%1:%2").arg(index).arg(int(r));
        };
        result_ = runToEnd(q_, callbacks);
        results.sort();
        return results;
    }
    bool stopped() const { return result_.stopped; }
    std::exception_ptr error() const { return result_.raised; }
    const QStringList& intermediates() const { return result_.intermediates; }

  private:
    BatchRequest q_;
    std::function<bool()> gate_;
    BatchRunResult result_;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(BatchEngine, CopiesOnAPoolGiveTheFilesOfOneAtATime) {
    CopyRun run(8, 3);
    TestRun e(run.q);
    const QStringList results = e.run();
    EXPECT_EQ(results.size(), 8);
    for (const QString& r : results) EXPECT_TRUE(r.endsWith(":0")) << r.toStdString();
    for (int pair = 0; pair < 4; ++pair) {
        // The earlier row of the list keeps the plain name, the later one is numbered.
        const QString n = QString("n%1.txt").arg(pair);
        EXPECT_EQ(readAll(run.out.path() + "/" + n), QByteArray::number(pair * 2));
        EXPECT_EQ(readAll(run.out.path() + "/0" + n), QByteArray::number(pair * 2 + 1));
    }
    EXPECT_FALSE(e.stopped());
}

TEST(BatchEngine, AClosedGateStartsNoFurtherRowAndRowsInFlightReport) {
    CopyRun run(6, 2);
    TestRun e(run.q);
    int asked = 0;
    e.setStartGate([&] { return ++asked <= 3; });
    QList<int> order;
    const QStringList results = e.run(&order);
    EXPECT_EQ(results.size(), 3) << "three rows started, all three report";
    EXPECT_TRUE(e.stopped());
    EXPECT_FALSE(QFile::exists(run.out.path() + "/n2.txt")) << "row 4 never started";
}

// A stand-in SWF tool: writes the file named after -o.
QString writeSwfTool(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "#!/bin/sh\nprev=\nfor a; do [ \"$prev\" = -o ] && printf FWS > \"$a\"; prev=$a; done\n");
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Each kind of row and what it comes to, on the fake office: the result, and the reason
// the list shows for a row that did not succeed.
TEST(BatchEngine, EachRowComesToItsResultAndReason) {
    testing::FakeOfficeServer office;
    QTemporaryDir src, out, pdf;
    auto put = [&](const QString& name, const QByteArray& bytes = {}) {
        QFile f(src.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return name;
    };
    struct Case {
        const char* what;
        BatchMode mode;
        QString name;
        std::function<void(BatchRequest&)> adjust;
        BatchResult result;
        FailReason reason;
    };
    const QString tool = writeSwfTool(src.filePath("tool.sh"));
    const auto none = [](BatchRequest&) {};
    const QList<Case> cases{
        {"a document", BatchMode::Pdf, put("a.doc"), none, BatchResult::Success, FailReason::None},
        {"a file that is no office document", BatchMode::Pdf, put("b.pdf", "%PDF-1.4\n"), none,
         BatchResult::Failure, FailReason::WrongType},
        {"bytes under a Word name that no office reads as a document", BatchMode::Xps,
         put("n.doc", QByteArray("\x01\x9c\0\xfe\x07 noise", 12)), none, BatchResult::Failure,
         FailReason::UnknownKind},
        {"and in SWF mode, before any intermediate PDF", BatchMode::Swf,
         put("o.doc", QByteArray("\x02\0\0\x11", 4)), none, BatchResult::Failure,
         FailReason::UnknownKind},
        {"text under a Word name opens as text, as in Word", BatchMode::Pdf,
         put("p.doc", "纯文本的通知"), none, BatchResult::Success, FailReason::None},
        {"a type the request adds", BatchMode::Xps, put("c.txt"),
         [](BatchRequest& q) { q.awordhz = "#txt"; }, BatchResult::Success, FailReason::None},
        {"an office that cannot start", BatchMode::Custom, put("d.doc"),
         [&](BatchRequest&) { office.setCreateFails(true); }, BatchResult::Failure,
         FailReason::OfficeUnavailable},
        {"a copy of a file that is gone", BatchMode::Copy, "gone.pdf", none, BatchResult::Failure,
         FailReason::SourceMissing},
        {"SWF refuses a blank in the name", BatchMode::Swf, put("e f.doc"), none,
         BatchResult::Blank, FailReason::BlankInName},
        {"SWF takes it when asked", BatchMode::Swf, put("g h.doc"),
         [](BatchRequest& q) { q.blankNamesTaken = true; }, BatchResult::Success, FailReason::None},
        {"SWF refuses a blank also when the run goes on past errors", BatchMode::Swf,
         put("k l.doc"), [](BatchRequest& q) { q.goOn = true; }, BatchResult::Blank,
         FailReason::BlankInName},
        {"an office that writes no file", BatchMode::Pdf, put("m.doc"),
         [&](BatchRequest&) { office.setWritesOutput(false); }, BatchResult::Failure,
         FailReason::NoOutput},
        {"a SWF tool that fails", BatchMode::Swf, put("j.pdf"),
         [](BatchRequest& q) { q.swf.program = "/bin/false"; }, BatchResult::Failure,
         FailReason::SwfFailed},
    };
    const testing::BackendChange shortWait(
        testing::outputWait(50));  // for the office that writes no file
    for (const Case& c : cases) {
        office.setCreateFails(false);
        office.setWritesOutput(true);
        BatchRequest q;
        q.mode = c.mode;
        q.outputBase = out.path() + "/";
        q.sfth = "y";
        q.wordExt = "htm";
        q.wordFormat = 8;
        q.pdfp = pdf.path() + "/";
        q.swf = SwfTool{tool, "9", {}};
        q.rows.append(BatchRow{c.name, src.path() + "/", {}});
        c.adjust(q);
        TestRun e(q);
        QList<FailReason> reasons;
        const QStringList results = e.run(nullptr, &reasons);
        ASSERT_EQ(results.size(), 1) << c.what;
        EXPECT_EQ(results[0], QString("0:%1").arg(int(c.result))) << c.what;
        EXPECT_EQ(reasons.value(0), c.reason) << c.what;
        EXPECT_FALSE(e.error()) << c.what;
    }
}

// Without the folder of the intermediate PDFs a Word row fails before the office is
// asked, and a PDF row, which needs none, still converts.
TEST(BatchEngine, WithoutItsIntermediateFolderWordRowsFailUnaskedAndPdfRowsConvert) {
    testing::FakeOfficeServer office;
    QTemporaryDir src, out;
    for (const char* name : {"i.doc", "x.pdf"}) {
        QFile f(src.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    BatchRequest q;
    q.mode = BatchMode::Swf;
    q.outputBase = out.path() + "/";
    q.sfth = "y";
    q.pdfp = src.filePath("pdf") + "/";
    q.swf = SwfTool{writeSwfTool(src.filePath("tool.sh")), "9", {}};
    q.rows = {BatchRow{"i.doc", src.path() + "/", {}}, BatchRow{"x.pdf", src.path() + "/", {}}};
    TestRun e(q);
    QList<FailReason> reasons;
    EXPECT_EQ(e.run(nullptr, &reasons), (QStringList{"0:1", "1:0"}));
    EXPECT_EQ(reasons, (QList<FailReason>{FailReason::OutputUnwritable, FailReason::None}));
    EXPECT_TRUE(office.calls().isEmpty());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList{"x.swf"});
    EXPECT_FALSE(QFileInfo::exists(q.pdfp)) << "the engine makes no intermediate folder";
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// A copy keeps an earlier file of its name unless told to replace it, starts no office,
// and fails, leaving the source whole, when the output folder is the source's own.
TEST(BatchEngine, ACopyKeepsOrReplacesAnEarlierFileAndNeverCopiesOntoItsSource) {
    testing::FakeOfficeServer office;
    QTemporaryDir src, out;
    writeFile(src.filePath("a.doc"), "source a.doc");
    writeFile(out.filePath("a.doc"), "old target");
    BatchRequest q;
    q.mode = BatchMode::Copy;
    q.outputBase = out.path() + "/";
    q.sfth = "n";
    q.rows.append(BatchRow{"a.doc", src.path() + "/", {}});
    const auto run = [&] {
        TestRun e(q);
        QList<FailReason> reasons;
        const QStringList results = e.run(nullptr, &reasons);
        return results.join(' ') + " " + QString::number(int(reasons.value(0)));
    };
    const QString success = QString("0:0 %1").arg(int(FailReason::None));
    EXPECT_EQ(run(), success);
    EXPECT_EQ(readAll(out.filePath("a.doc")), "old target");
    EXPECT_EQ(readAll(out.filePath("0a.doc")), "source a.doc");

    q.sfth = "y";
    EXPECT_EQ(run(), success);
    EXPECT_EQ(readAll(out.filePath("a.doc")), "source a.doc");
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"0a.doc", "a.doc"}))
        << "no temporary file is left";

    q.outputBase = src.path() + "/";
    EXPECT_EQ(run(), QString("0:1 %1").arg(int(FailReason::NoOutput)));
    EXPECT_EQ(readAll(src.filePath("a.doc")), "source a.doc");
    EXPECT_TRUE(office.calls().isEmpty()) << "a copy starts nothing";
}

TEST(CopyIntoPlace, ReplacesOnlyWithACompleteCopyAndKeepsPermissions) {
    QTemporaryDir d;
    const QString s = d.path() + "/s.sh";
    const QString t = d.path() + "/t.sh";
    writeFile(s, QByteArray(3 << 20, 'x'));  // more than one chunk
    QFile(s).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(t, "old");
    EXPECT_TRUE(copyIntoPlace(s, t));
    EXPECT_EQ(readAll(t), readAll(s));
    EXPECT_TRUE(QFileInfo(t).permissions() & QFile::ExeOwner);
    EXPECT_EQ(QFileInfo(t).lastModified(), QFileInfo(s).lastModified());

    writeFile(t, "old");
    EXPECT_FALSE(copyIntoPlace(d.path() + "/none", t));
    EXPECT_FALSE(copyIntoPlace(d.path(), t)) << "a folder is not a file to copy";
    EXPECT_EQ(readAll(t), "old");
    QDir().mkpath(d.path() + "/dir");
    EXPECT_FALSE(copyIntoPlace(s, d.path() + "/dir")) << "a folder is never replaced";
    EXPECT_FALSE(copyIntoPlace(s, d.path() + "/./s.sh")) << "the source itself";
    EXPECT_EQ(readAll(s).size(), 3 << 20);
    EXPECT_EQ(QDir(d.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"s.sh", "t.sh"}));
}

// A one-row SWF request as the command line makes it: its intermediate PDF replaces an
// earlier one, the SWF keeps an earlier one, and the PDF is handed back for removal.
TEST(BatchEngine, ACommandLineRequestReplacesItsPdfAndKeepsTheSwf) {
    testing::FakeOfficeServer office;
    QTemporaryDir src, out, pdf;
    for (const QString& f :
         {src.filePath("a.docx"), pdf.filePath("a.pdf"), out.filePath("a.swf")}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    BatchRequest q;
    q.mode = BatchMode::Swf;
    q.outputBase = out.path() + "/";
    q.sfth = "n";
    q.replaceIntermediate = true;
    q.blankNamesTaken = true;
    q.pdfp = pdf.path() + "/";
    q.swf = SwfTool{writeSwfTool(src.filePath("tool.sh")), "9", {}};
    q.rows.append(BatchRow{"a.docx", src.path() + "/", {}});
    TestRun e(q);
    EXPECT_EQ(e.run(), QStringList{"0:0"});
    EXPECT_EQ(e.intermediates(), QStringList{pdf.filePath("a.pdf")});
    EXPECT_EQ(QDir(pdf.path()).entryList(QDir::Files), QStringList{"a.pdf"});
    EXPECT_EQ(readAll(out.filePath("a.swf")), QByteArray()) << "the earlier SWF is kept";
    EXPECT_EQ(readAll(out.filePath("0a.swf")), "FWS");
}

// With the output check on, a file the office or the tool left broken is no output: the
// row fails as one that wrote nothing and the file is gone; what reads still succeeds.
TEST(BatchEngine, ABrokenOutputFailsItsRowAndIsRemoved) {
    testing::FakeOfficeServer office;
    office.setOutputsChecked(true);
    using Output = testing::FakeOfficeServer::Output;
    QTemporaryDir src, out, pdf;
    struct Case {
        const char* what;
        BatchMode mode;
        QString name;
        Output output;
        QByteArray source;
        bool succeeds;
        QStringList left;  // files in the output folder afterwards
    };
    const QList<Case> cases{
        {"a whole PDF", BatchMode::Pdf, "a.doc", Output::Whole, "a", true, {"a.pdf"}},
        {"a PDF cut short", BatchMode::Pdf, "b.doc", Output::CutShort, "b", false, {}},
        {"an empty PDF", BatchMode::Pdf, "c.doc", Output::Empty, "c", false, {}},
        {"text under a PDF name", BatchMode::Pdf, "d.doc", Output::Text, "d", false, {}},
        {"a whole XPS", BatchMode::Xps, "e.doc", Output::Whole, "e", true, {"e.xps"}},
        {"an XPS cut short", BatchMode::Xps, "f.doc", Output::CutShort, "f", false, {}},
        {"a web page", BatchMode::Custom, "g.doc", Output::Text, "g", true, {"g.htm"}},
        {"an empty web page", BatchMode::Custom, "h.doc", Output::Empty, "h", false, {}},
        {"an empty web page of an empty source",
         BatchMode::Custom,
         "i.doc",
         Output::Empty,
         "",
         true,
         {"i.htm"}},
        // The intermediate PDF reads, the tool's three bytes do not; the failed row keeps
        // its PDF as a failed SWF row always has.
        {"an SWF without a header", BatchMode::Swf, "j.doc", Output::Whole, "j", false, {}},
        {"an intermediate PDF cut short",
         BatchMode::Swf,
         "k.doc",
         Output::CutShort,
         "k",
         false,
         {}},
    };
    for (const Case& c : cases) {
        writeFile(src.filePath(c.name), c.source);
        office.setOutputFor(c.name, c.output);
        BatchRequest q;
        q.mode = c.mode;
        q.outputBase = out.path() + "/";
        q.sfth = "y";
        q.wordExt = "htm";
        q.wordFormat = 8;
        q.pdfp = pdf.path() + "/";
        q.swf = SwfTool{writeSwfTool(src.filePath("tool.sh")), "9", {}};
        q.rows.append(BatchRow{c.name, src.path() + "/", {}});
        TestRun e(q);
        QList<FailReason> reasons;
        const QStringList results = e.run(nullptr, &reasons);
        EXPECT_EQ(results, QStringList{QString("0:%1").arg(
                               int(c.succeeds ? BatchResult::Success : BatchResult::Failure))})
            << c.what;
        EXPECT_EQ(reasons.value(0), c.succeeds ? FailReason::None : FailReason::NoOutput) << c.what;
        QStringList left = QDir(out.path()).entryList(QDir::Files);
        for (const QString& f : std::as_const(left)) QFile::remove(out.filePath(f));
        EXPECT_EQ(left, c.left) << c.what;
        EXPECT_TRUE(QFile::exists(src.filePath(c.name))) << c.what;
    }
    EXPECT_EQ(QDir(pdf.path()).entryList(QDir::Files), QStringList{"j.pdf"})
        << "the PDF cut short is gone too";
}

// A row that writes nothing or a broken file fails and leaves an earlier file of its
// output's name as it was.
TEST(BatchEngine, ABrokenFileTheRowDidNotWriteStays) {
    testing::FakeOfficeServer office;
    office.setOutputsChecked(true);
    using Output = testing::FakeOfficeServer::Output;
    QTemporaryDir src, out;
    for (const char* name : {"a.doc", "b.doc", "c.doc"}) writeFile(src.filePath(name), "x");
    writeFile(out.filePath("a.pdf"), "an old file, not a PDF");
    writeFile(out.filePath("b.pdf"), "an old file, not a PDF");
    writeFile(out.filePath("c.pdf"), "an old file, not a PDF");
    office.setOutputFor("b.doc", Output::CutShort);
    office.setOutputFor("c.doc", Output::CutShort);
    std::optional<testing::BackendChange> shortWait(std::in_place, testing::outputWait(50));
    auto runOne = [&](const QString& name, const QString& sfth) {
        BatchRequest q;
        q.mode = BatchMode::Pdf;
        q.outputBase = out.path() + "/";
        q.sfth = sfth;
        q.rows.append(BatchRow{name, src.path() + "/", {}});
        TestRun e(q);
        QList<FailReason> reasons;
        const QStringList results = e.run(nullptr, &reasons);
        return results.value(0) + " " + failReasonText(reasons.value(0));
    };
    office.setWritesOutput(false);
    EXPECT_EQ(runOne("a.doc", "y"), "0:1 未生成输出文件") << "the office wrote nothing";
    // Nor does a good file of that name make a row that wrote nothing a success.
    const QString good = out.filePath("good.pdf");
    writeFile(src.filePath("good.doc"), "x");
    office.setWritesOutput(true);
    office.setOutputFor("good.doc", Output::Whole);
    EXPECT_EQ(runOne("good.doc", "y"), "0:0 ");
    const QByteArray earlier = readAll(good);
    office.setWritesOutput(false);
    EXPECT_EQ(runOne("good.doc", "y"), "0:1 未生成输出文件") << "an earlier run's output";
    EXPECT_EQ(readAll(good), earlier);
    QFile::remove(good);
    office.setWritesOutput(true);
    EXPECT_EQ(runOne("b.doc", "y"), "0:1 未生成输出文件") << "a replacing file cut short";
    EXPECT_EQ(runOne("c.doc", "n"), "0:1 未生成输出文件") << "a numbered new file cut short";
    shortWait.reset();
    // A broken output never reaches its name, so the earlier file it would have replaced
    // is not lost, and nothing half-written is left beside it.
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden |
                                         QDir::NoDotAndDotDot),
              (QStringList{"a.pdf", "b.pdf", "c.pdf"}));
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"}) {
        EXPECT_EQ(readAll(out.filePath(name)), "an old file, not a PDF") << name;
    }
}

// What the rows ask of the program's PDF rewrite and check: a PDF output gets the whole
// options and is checked with the open password; an SWF's intermediate PDF gets only the
// watermark; a PDF that cannot be rewritten fails its row and is not left unprotected.
TEST(BatchEngine, PdfOutputsAreRewrittenBeforeTheirCheckAndAStepPdfOnlyMarked) {
    testing::FakeOfficeServer office;
    QTemporaryDir src, out, pdf;
    for (const char* name : {"a.doc", "b.doc"}) writeFile(src.filePath(name), "x");
    QList<PdfOptions> rewrites;
    QStringList checkedWith;
    bool rewriteFails = false;
    testing::BackendChange change([&](ConvertBackend& b) {
        b.postProcessPdf = [&](const QString&, const PdfOptions& o, QString* error) {
            rewrites << o;
            if (rewriteFails && error) *error = "disk full";
            return !rewriteFails;
        };
        b.outputReads = [&](const QString&, OutputKind, const QString&, const QString& pw) {
            checkedWith << pw;
            return true;
        };
    });
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.outputBase = out.path() + "/";
    q.sfth = "y";
    q.pdf.protection.openPassword = "开门";
    q.pdf.protection.noPrint = true;
    q.pdf.watermark.text = "内部资料";
    q.rows = {BatchRow{"a.doc", src.path() + "/", {}}};
    EXPECT_EQ(TestRun(q).run(), QStringList{"0:0"});
    ASSERT_EQ(rewrites.size(), 1);
    EXPECT_EQ(rewrites[0].protection.openPassword, "开门");
    EXPECT_TRUE(rewrites[0].protection.noPrint);
    EXPECT_EQ(checkedWith, QStringList{"开门"});

    rewrites.clear();
    BatchRequest swf = q;
    swf.mode = BatchMode::Swf;
    swf.pdfp = pdf.path() + "/";
    swf.swf = SwfTool{writeSwfTool(src.filePath("tool.sh")), "9", {}};
    swf.rows = {BatchRow{"b.doc", src.path() + "/", {}}};
    EXPECT_EQ(TestRun(swf).run(), QStringList{"0:0"});
    ASSERT_EQ(rewrites.size(), 1);
    EXPECT_FALSE(rewrites[0].protection.any()) << "the SWF tool must read its PDF";
    EXPECT_EQ(rewrites[0].watermark.text, "内部资料");

    rewriteFails = true;
    QFile::remove(out.filePath("a.pdf"));
    QList<FailReason> reasons;
    EXPECT_EQ(TestRun(q).run(nullptr, &reasons), QStringList{"0:1"});
    EXPECT_EQ(reasons, QList<FailReason>{FailReason::PdfRewriteFailed});
    EXPECT_FALSE(QFileInfo::exists(out.filePath("a.pdf"))) << "no unprotected file stays";
}

// The merge at a run's end: the successful rows in list order under their names, the
// others named as left out, the parts removed only when asked, nothing on a stopped run.
TEST(RunMerge, TakesTheConvertedInOrderAndNothingWhenInterrupted) {
    QTemporaryDir out;
    for (const char* name : {"a.pdf", "c.pdf"}) writeFile(out.filePath(name), "%PDF");
    QList<PdfPart> merged;
    QString target;
    testing::BackendChange change([&](ConvertBackend& b) {
        b.mergePdfs = [&](const QList<PdfPart>& parts, const QString& to, const PdfProtection&) {
            merged = parts;
            target = to;
            PdfMergeOutcome m;
            m.written = true;
            m.pages = int(parts.size());
            return m;
        };
    });
    BatchRequest q;
    q.mode = BatchMode::Pdf;
    q.outputBase = out.path() + "/";
    q.pdf.merge = {true, "全部", false};
    const QList<RunOutput> rows{
        {"a.doc", out.filePath("a.pdf")}, {"b.doc", {}}, {"c.doc", out.filePath("c.pdf")}};

    const MergedRun stopped = mergeRunOutputs(q, rows, true);
    EXPECT_TRUE(stopped.asked);
    EXPECT_FALSE(stopped.written);
    EXPECT_TRUE(merged.isEmpty());

    const MergedRun m = mergeRunOutputs(q, rows, false);
    EXPECT_TRUE(m.written);
    EXPECT_EQ(target, out.filePath("全部.pdf"));
    ASSERT_EQ(merged.size(), 2);
    EXPECT_EQ(merged[0].title, "a.doc");
    EXPECT_EQ(merged[1].title, "c.doc");
    EXPECT_EQ(m.leftOut, QStringList{"b.doc"});
    EXPECT_EQ(m.text(), "已合并为一个PDF：全部.pdf\n未合并 1 个：b.doc");
    EXPECT_FALSE(QFileInfo::exists(out.filePath("a.pdf"))) << "parts removed as asked";

    q.pdf.merge.on = false;
    EXPECT_FALSE(mergeRunOutputs(q, rows, false).asked);
}

}  // namespace
}  // namespace quorv
