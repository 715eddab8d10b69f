// The batch engine's scheduling: which rows may be in flight together, and in what order
// rows of one output name run.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "convert/batch/batchengine.h"
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

QStringList runToEnd(BatchEngine& e, QList<int>* order = nullptr) {
    ensureApp();
    QStringList results;
    QEventLoop loop;
    QObject::connect(&e, &BatchEngine::rowFinished, &loop,
                     [&](int index, BatchResult r, const QString&) {
                         if (order) *order << index;
                         results << QString("%1:%2").arg(index).arg(int(r));
                     });
    QObject::connect(&e, &BatchEngine::finished, &loop, &QEventLoop::quit);
    e.start();
    if (!e.isFinished()) loop.exec();
    results.sort();
    return results;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(BatchEngine, CopiesOnAPoolGiveTheFilesOfOneAtATime) {
    CopyRun run(8, 3);
    BatchEngine e(run.q);
    const QStringList results = runToEnd(e);
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
    BatchEngine e(run.q);
    int asked = 0;
    e.setStartGate([&] { return ++asked <= 3; });
    QList<int> order;
    const QStringList results = runToEnd(e, &order);
    EXPECT_EQ(results.size(), 3) << "three rows started, all three report";
    EXPECT_TRUE(e.stopped());
    EXPECT_FALSE(QFile::exists(run.out.path() + "/n2.txt")) << "row 4 never started";
}

}  // namespace
}  // namespace quorv
