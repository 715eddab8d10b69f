// The batch engine run to its end: which rows may be in flight together, in what order rows of one
// output name run, what each kind of row comes to, and how a copy lands.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

#include "convert/batch/run.h"
#include "convert/wordconvert.h"
#include "core/failreason.h"
#include "fakes/backend_change.h"
#include "fakes/fake_office.h"
#include "fakes/qt_print.h"
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
    // Asked before each row starts and while rows run; false stops the run.
    void setStartGate(std::function<bool()> gate) { gate_ = std::move(gate); }
    // "index:result" of each row, sorted; the rows' order and reasons when asked.
    QStringList run(QList<int>* order = nullptr, QList<FailReason>* reasons = nullptr) {
        ensureApp();
        QStringList results;
        RunCallbacks callbacks;
        if (gate_) callbacks.stopWhen = [this] { return !gate_(); };
        callbacks.rowStarted = [this](int) { ++started_; };
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
    int started() const { return started_; }
    std::exception_ptr error() const { return result_.raised; }
    const QStringList& intermediates() const { return result_.intermediates; }

  private:
    BatchRequest q_;
    std::function<bool()> gate_;
    BatchRunResult result_;
    int started_ = 0;
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
    // The gate is asked before each start and while rows run: it closes on what has
    // started, not on how often it was asked.
    e.setStartGate([&] { return e.started() < 3; });
    QList<int> order;
    const QStringList results = e.run(&order);
    EXPECT_EQ(results.size(), 3) << "three rows started, all three report";
    EXPECT_TRUE(e.stopped());
    EXPECT_FALSE(QFile::exists(run.out.path() + "/n2.txt")) << "row 4 never started";
}

// A stand-in SWF tool: fails for a PDF named *bad*, and otherwise copies the PDF it was
// given into the file named after -o, so that an SWF shows which PDF the tool read.
QString writeSwfTool(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "#!/bin/sh\nprev=\nfor a; do [ \"$prev\" = -o ] && out=$a; prev=$a; done\n"
        "case \"$1\" in *bad*) exit 1 ;; esac\ncat \"$1\" > \"$out\"\n");
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Files below a case's folder, '|' between them: "out/a.pdf" for a file of any bytes,
// "out/a.doc=old target" for one with these bytes, in which "{src}" stands for the
// source folder.
QList<QPair<QString, std::optional<QByteArray>>> caseFiles(const QString& listing,
                                                           const QString& src) {
    QList<QPair<QString, std::optional<QByteArray>>> files;
    for (const QString& f : listing.split('|', Qt::SkipEmptyParts)) {
        const qsizetype eq = f.indexOf('=');
        if (eq < 0) {
            files.append({f, std::nullopt});
        } else {
            files.append({f.left(eq), f.mid(eq + 1).replace("{src}", src).toUtf8()});
        }
    }
    return files;
}

// Every file below `root` but the sources, with the temporary and hidden ones.
QStringList filesBelow(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(root).relativeFilePath(it.next());
        if (!path.startsWith("src/")) found << path;
    }
    found.sort();
    return found;
}

// Each kind of row and what it comes to on the fake office, one row per request in a folder
// of its own: the result, the reason the list shows for a row that did not succeed, and the
// files the output and intermediate folders hold afterwards. With the output check on, a
// file the office or the tool left broken is no output: the row fails as one that wrote
// nothing and the file is gone. A copy keeps an earlier file of its name unless told to
// replace it, and never copies onto its source. Without its intermediate folder an SWF row
// of a document fails before the office is asked; a PDF goes to the SWF tool directly. An
// SWF row hands its intermediate PDF back only when it succeeded; the one of a failed row
// stays. The engine never makes the intermediate folder, but for a replacing request (the
// command line's), whose PDF replaces an earlier one while its SWF keeps one.
TEST(BatchEngine, EachRowComesToItsResultReasonAndFiles) {
    using Office = testing::FakeOfficeServer;
    using Output = Office::Output;
    using Setup = std::function<void(BatchRequest&, Office&)>;
    constexpr BatchResult kSuccess = BatchResult::Success, kFailure = BatchResult::Failure;
    struct Case {
        const char* what;
        BatchMode mode;
        QString row;                       // the row's file in src/
        std::optional<QByteArray> source;  // its bytes; none: no such file
        const char* before;                // other files there before the run
        Setup setup;                       // the request's and the office's own settings
        BatchResult result;
        FailReason reason;
        const char* after;            // every file but the sources afterwards
        const char* handedBack = "";  // the intermediate PDFs the run hands back
        bool unasked = false;         // the office is never asked
    };
    const Setup none = [](BatchRequest&, Office&) {};
    // The registered output check on, and what the office writes for the row.
    const auto checked = [](Output output) {
        return [output](BatchRequest& q, Office& office) {
            office.setOutputsChecked(true);
            office.setOutputFor(q.rows[0].filey, output);
        };
    };
    const Setup keep = [](BatchRequest& q, Office&) { q.sfth = "n"; };
    const Setup noPdfFolder = [](BatchRequest& q, Office&) { QDir(q.pdfp).removeRecursively(); };
    const Setup commandLine = [](BatchRequest& q, Office&) {
        q.sfth = "n";
        q.replaceIntermediate = true;
        q.blankNamesTaken = true;
    };
    const QByteArray noise("\x01\x9c\0\xfe\x07 noise", 12);
    const QByteArray shortNoise("\x02\0\0\x11", 4);
    const QList<Case> cases{
        {"a document", BatchMode::Pdf, "a.doc", "", "", none, kSuccess, FailReason::None,
         "out/a.pdf"},
        {"a file that is no office document", BatchMode::Pdf, "b.pdf", "%PDF-1.4\n", "", none,
         kFailure, FailReason::WrongType, "", "", true},
        {"bytes under a Word name that no office reads as a document", BatchMode::Xps, "n.doc",
         noise, "", none, kFailure, FailReason::UnknownKind, "", "", true},
        {"and in SWF mode, before any intermediate PDF", BatchMode::Swf, "o.doc", shortNoise, "",
         none, kFailure, FailReason::UnknownKind, "", "", true},
        {"text under a Word name opens as text, as in Word", BatchMode::Pdf, "p.doc",
         "纯文本的通知", "", none, kSuccess, FailReason::None, "out/p.pdf"},
        {"a type the request adds", BatchMode::Xps, "c.txt", "", "",
         [](BatchRequest& q, Office&) { q.awordhz = "#txt"; }, kSuccess, FailReason::None,
         "out/c.xps"},
        {"an office that cannot start", BatchMode::Custom, "d.doc", "", "",
         [](BatchRequest&, Office& office) { office.setCreateFails(true); }, kFailure,
         FailReason::OfficeUnavailable, ""},
        {"an office that writes no file", BatchMode::Pdf, "m.doc", "", "",
         [](BatchRequest&, Office& office) { office.setWritesOutput(false); }, kFailure,
         FailReason::NoOutput, ""},

        // With the output check on.
        {"a whole PDF", BatchMode::Pdf, "a.doc", "a", "", checked(Output::Whole), kSuccess,
         FailReason::None, "out/a.pdf"},
        {"a PDF cut short", BatchMode::Pdf, "b.doc", "b", "", checked(Output::CutShort), kFailure,
         FailReason::NoOutput, ""},
        {"an empty PDF", BatchMode::Pdf, "c.doc", "c", "", checked(Output::Empty), kFailure,
         FailReason::NoOutput, ""},
        {"text under a PDF name", BatchMode::Pdf, "d.doc", "d", "", checked(Output::Text), kFailure,
         FailReason::NoOutput, ""},
        {"a whole XPS", BatchMode::Xps, "e.doc", "e", "", checked(Output::Whole), kSuccess,
         FailReason::None, "out/e.xps"},
        {"an XPS cut short", BatchMode::Xps, "f.doc", "f", "", checked(Output::CutShort), kFailure,
         FailReason::NoOutput, ""},
        {"a web page", BatchMode::Custom, "g.doc", "g", "", checked(Output::Text), kSuccess,
         FailReason::None, "out/g.htm"},
        {"an empty web page", BatchMode::Custom, "h.doc", "h", "", checked(Output::Empty), kFailure,
         FailReason::NoOutput, ""},
        {"an empty web page of an empty source", BatchMode::Custom, "i.doc", "", "",
         checked(Output::Empty), kSuccess, FailReason::None, "out/i.htm"},

        // A copy starts no office.
        {"a copy keeps an earlier file", BatchMode::Copy, "a.doc", "source a.doc",
         "out/a.doc=old target", keep, kSuccess, FailReason::None,
         "out/0a.doc=source a.doc|out/a.doc=old target", "", true},
        {"a copy replaces an earlier file when told, leaving no temporary file", BatchMode::Copy,
         "a.doc", "source a.doc", "out/a.doc=old target", none, kSuccess, FailReason::None,
         "out/a.doc=source a.doc", "", true},
        {"a copy into the source's own folder", BatchMode::Copy, "a.doc", "source a.doc", "",
         [](BatchRequest& q, Office&) { q.outputBase = q.rows[0].ypath; }, kFailure,
         FailReason::NoOutput, "", "", true},
        {"a copy of a file that is gone", BatchMode::Copy, "gone.pdf", std::nullopt, "", none,
         kFailure, FailReason::SourceMissing, "", "", true},

        // SWF, with a tool that copies the PDF it reads.
        {"a document through its intermediate PDF, which the tool read whole", BatchMode::Swf,
         "z.doc", "z", "", none, kSuccess, FailReason::None,
         "out/z.swf=fake output of {src}/z.doc in format 17\n|pdf/z.pdf", "pdf/z.pdf"},
        {"a PDF goes to the tool directly", BatchMode::Swf, "x.pdf", "source x.pdf", "", none,
         kSuccess, FailReason::None, "out/x.swf=source x.pdf", "", true},
        {"and so does one with its extension in capitals", BatchMode::Swf, "y.PDF", "source y.PDF",
         "", none, kSuccess, FailReason::None, "out/y.swf=source y.PDF", "", true},
        {"SWF refuses a blank in the name", BatchMode::Swf, "e f.doc", "", "", none,
         BatchResult::Blank, FailReason::BlankInName, "", "", true},
        {"SWF takes it when asked", BatchMode::Swf, "g h.doc", "", "",
         [](BatchRequest& q, Office&) { q.blankNamesTaken = true; }, kSuccess, FailReason::None,
         "out/g h.swf|pdf/g h.pdf", "pdf/g h.pdf"},
        {"SWF refuses a blank also when the run goes on past errors", BatchMode::Swf, "k l.doc", "",
         "", [](BatchRequest& q, Office&) { q.goOn = true; }, BatchResult::Blank,
         FailReason::BlankInName, "", "", true},
        {"a SWF tool that fails on a PDF", BatchMode::Swf, "j.pdf", "", "",
         [](BatchRequest& q, Office&) { q.swf.program = "/bin/false"; }, kFailure,
         FailReason::SwfFailed, "", "", true},
        {"a SWF tool that fails leaves the row's intermediate PDF", BatchMode::Swf, "bad.doc",
         "bad", "", none, kFailure, FailReason::SwfFailed, "pdf/bad.pdf"},
        {"so does a tool's output that is no SWF", BatchMode::Swf, "j.doc", "j", "",
         checked(Output::Whole), kFailure, FailReason::NoOutput, "pdf/j.pdf"},
        {"an intermediate PDF cut short is gone", BatchMode::Swf, "k.doc", "k", "",
         checked(Output::CutShort), kFailure, FailReason::NoOutput, ""},
        {"without the intermediate folder a document fails unasked", BatchMode::Swf, "i.doc", "",
         "", noPdfFolder, kFailure, FailReason::OutputUnwritable, "", "", true},
        {"and a PDF, which needs none, still converts", BatchMode::Swf, "x.pdf", "", "",
         noPdfFolder, kSuccess, FailReason::None, "out/x.swf=", "", true},
        {"the command line's request replaces its PDF and keeps an earlier SWF", BatchMode::Swf,
         "a.docx", "", "pdf/a.pdf=|out/a.swf=", commandLine, kSuccess, FailReason::None,
         "out/0a.swf=fake output of {src}/a.docx in format 17\n|out/a.swf=|"
         "pdf/a.pdf=fake output of {src}/a.docx in format 17\n",
         "pdf/a.pdf"},
    };
    QTemporaryDir tools;
    const QString tool = writeSwfTool(tools.filePath("tool.sh"));
    const testing::BackendChange shortWait(
        testing::outputWait(50));  // for the office that writes no file
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Office office;
        QTemporaryDir root;
        const QString src = root.filePath("src");
        for (const char* folder : {"src", "out", "pdf"}) QDir().mkpath(root.filePath(folder));
        if (c.source) writeFile(root.filePath("src/" + c.row), *c.source);
        for (const auto& [path, bytes] : caseFiles(c.before, src)) {
            writeFile(root.filePath(path), bytes.value_or(QByteArray()));
        }
        BatchRequest q;
        q.mode = c.mode;
        q.outputBase = root.filePath("out") + "/";
        q.sfth = "y";
        q.wordExt = "htm";
        q.wordFormat = 8;
        q.pdfp = root.filePath("pdf") + "/";
        q.swf = SwfTool{tool, "9", {}};
        q.rows.append(BatchRow{c.row, src + "/", {}});
        c.setup(q, office);
        const bool pdfFolder = QFileInfo(q.pdfp).isDir();

        TestRun e(q);
        QList<FailReason> reasons;
        EXPECT_EQ(e.run(nullptr, &reasons), QStringList{QString("0:%1").arg(int(c.result))});
        EXPECT_EQ(reasons.value(0), c.reason);
        EXPECT_FALSE(e.error());
        const auto after = caseFiles(c.after, src);
        QStringList expected;
        for (const auto& [path, bytes] : after) expected << path;
        expected.sort();
        EXPECT_EQ(filesBelow(root.path()), expected);
        for (const auto& [path, bytes] : after) {
            if (bytes) {
                EXPECT_EQ(readAll(root.filePath(path)), *bytes) << path.toStdString();
            }
        }
        if (c.source) {
            EXPECT_EQ(readAll(root.filePath("src/" + c.row)), *c.source) << "the source";
        }
        QStringList handedBack;
        for (const auto& [path, bytes] : caseFiles(c.handedBack, src)) {
            handedBack << root.filePath(path);
        }
        EXPECT_EQ(e.intermediates(), handedBack);
        EXPECT_EQ(QFileInfo(q.pdfp).isDir(), pdfFolder) << "the intermediate folder";
        if (c.unasked) {
            EXPECT_TRUE(office.calls().isEmpty()) << "the office was asked";
        }
    }
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
    EXPECT_EQ(
        QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
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
