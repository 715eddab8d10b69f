// Rows that fail against real LibreOffice, each with the reason the office, the tool or
// the file system gave: a run that ends at the first raising row, one that goes on past
// every such row, and the reasons read back from the list's CSV and Excel exports.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest/QTest>

#include "core/defaults.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeinstance.h"
#include "fakes/made_once.h"
#include "fakes/real_window.h"
#include "fakes/test_files.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/csvread.h"
#include "gui/mainwin/zipread.h"

namespace quorv {
namespace {

using office::OfficeInstance;

const QString kFiles = QStringLiteral(DOC_FILES_DIR);

struct Sources {
    QTemporaryDir root;
    QString folder;  // ends in "/"
};
Sources* sources = nullptr;

void makeDocuments() {
    const QString f = sources->root.filePath("源") + "/";
    sources->folder = f;
    ASSERT_TRUE(QDir().mkpath(f));
    const QString flat = sources->root.filePath("flat.fodt");
    ASSERT_TRUE(testing::writeFlatText(flat, {"Good 好文档"}));
    ASSERT_TRUE(testing::saveThroughWord(flat, f + "good.docx", 16));
    ASSERT_TRUE(testing::exportThroughWord(flat, f + "c.pdf"));
    const QByteArray good = readAll(f + "good.docx");
    ASSERT_GT(good.size(), 1000);
    QByteArray noise(8192, '\0');
    QRandomGenerator gen(18);
    for (char& c : noise) c = char(gen.bounded(256));
    const QList<QPair<QString, QByteArray>> files{
        {"slow.docx", good},
        {"notes.txt", "Plain notes 纯文本\n"},
        {"truncated.docx", good.left(good.size() / 2)},
        {"random.docx", noise},
        {"locked.docx", readAll(kFiles + "/locked.docx")},
        {"locked.doc", readAll(kFiles + "/locked.doc")},
    };
    for (const auto& [name, bytes] : files) {
        QFile out(f + name);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }
}
const auto* const kEnv =
    testing::madeOnce(sources, makeDocuments, testing::AfterMaking::EndSession);

struct ReasonBatch : testing::RealOfficeWindow {
    QString readOnly;  // out/ro/, where nothing can be written

    ReasonBatch() : RealOfficeWindow("[gsly]\nawordhz=#txt\n[sdef]\npool=1\n") {
        w.show();
        w.cbx_3->setChecked(true);  // rows with a subfolder write below the output folder
        readOnly = out.path() + "/ro";
        QDir().mkpath(readOnly);
        locked_ = makeUnwritable(readOnly, true);
    }
    ~ReasonBatch() {
        if (locked_) makeUnwritable(readOnly, false);
    }
    bool folderLocked() const { return locked_; }
    // Rows as "zml/name" or "name", all taken from the source folder.
    void setRows(const QStringList& rows) {
        w.list().removeAll();
        for (const QString& r : rows) {
            const int n = w.list().appendRow();
            const qsizetype slash = r.lastIndexOf('/');
            w.list().setCell(n, "ypath", sources->folder);
            w.list().setCell(n, "filey", r.mid(slash + 1));
            w.list().setCell(n, "zml", r.left(slash + 1));
        }
    }
    // "name:result:reason" of every row.
    QStringList run(OutputMode mode) { return RealOfficeWindow::run(mode, true); }

  private:
    bool locked_ = false;
};

const QStringList kRows{"good.docx",   "slow.docx",  "notes.txt", "truncated.docx", "random.docx",
                        "locked.docx", "locked.doc", "c.pdf",     "ro/good.docx",   "gone.docx"};

TEST(FailedRows, WithoutGoingOnTheFirstRaisingRowEndsTheRunMarkedAndInView) {
    ReasonBatch b;
    b.setRows(kRows);
    EXPECT_EQ(
        b.run(OutputMode::Pdf),
        (QStringList{"good.docx:成功:", "slow.docx:成功:", "notes.txt:成功:",
                     "truncated.docx:失败:文件已损坏或无法识别", "random.docx::", "locked.docx::",
                     "locked.doc::", "c.pdf::", "ro/good.docx::", "gone.docx::"}));
    ASSERT_EQ(b.texts().size(), 1);
    EXPECT_TRUE(b.texts()[0].contains("错误编号：35")) << b.texts()[0].toStdString();
    EXPECT_TRUE(b.texts()[0].contains("documents.open")) << b.texts()[0].toStdString();
    const QModelIndex failed = b.w.list().index(3, 0);
    EXPECT_TRUE(b.w.dw_1->viewport()->rect().intersects(b.w.dw_1->visualRect(failed)));
    EXPECT_TRUE(pdfText(b.out.path() + "/notes.pdf").contains("Plain notes"))
        << "a text file named in the extra types still converts";
}

// With the option on, every row is tried: the watchdog ends the office that stops
// answering during slow.docx, the next row gets a fresh one, and the run reaches its end.
TEST(FailedRows, GoingOnEveryRowSaysWhyAndTheExportsSayItToo) {
    ReasonBatch b;
    if (!b.folderLocked()) GTEST_SKIP() << "cannot make a folder unwritable here";
    writeSetting(b.profile, Key::Sfjx, "y");
    b.setRows(kRows);
    const int savedTimeout = OfficeInstance::callTimeoutMs();
    qint64 stopped = 0;
    // When good.docx is recorded, its office stops answering before slow.docx starts.
    QObject::connect(&b.w.list(), &QAbstractItemModel::dataChanged, &b.w.list(), [&] {
        const QList<qint64> pids = OfficeInstance::runningPids();
        if (stopped == 0 && b.w.list().cellText(1, "jg") == "成功" && pids.size() == 1) {
            stopped = pids.first();
            OfficeInstance::setCallTimeoutMs(1500);
            ::kill(pid_t(stopped), SIGSTOP);
        } else if (stopped != 0 && !b.w.list().cellText(2, "jg").isEmpty()) {
            OfficeInstance::setCallTimeoutMs(savedTimeout);
        }
    });
    const QStringList rows = b.run(OutputMode::Pdf);
    OfficeInstance::setCallTimeoutMs(savedTimeout);
    ASSERT_NE(stopped, 0);
    EXPECT_TRUE(testing::waitGone(stopped));
    const QStringList expected{"good.docx:成功:",
                               "slow.docx:失败:转换超时",
                               "notes.txt:成功:",
                               "truncated.docx:失败:文件已损坏或无法识别",
                               "random.docx:失败:文件已损坏或无法识别",
                               "locked.docx:失败:文件有密码保护",
                               "locked.doc:失败:文件有密码保护",
                               "c.pdf:失败:不转换此类型文件",
                               "ro/good.docx:失败:输出目录无法写入",
                               "gone.docx:失败:源文件不存在"};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});
    EXPECT_EQ(b.w.list().data(b.w.list().index(1, 3), Qt::ToolTipRole).toString(), "转换超时");

    // Read back from "另存为": the reason is a column of its own in CSV and in Excel.
    const QString csv = b.out.path() + "/list.csv";
    const QString xlsx = b.out.path() + "/list.xlsx";
    b.desktop.fileSaveAnswers = {{1, csv, 0}, {1, xlsx, 3}};
    QTest::mouseClick(b.w.cb_11, Qt::LeftButton);
    QTest::mouseClick(b.w.cb_11, Qt::LeftButton);
    const testing::Table table = testing::parseCsv(QString::fromUtf8(readAll(csv).mid(3)));
    ASSERT_EQ(table.size(), 11);
    const qsizetype name = table[0].indexOf("源文件名");
    const qsizetype reason = table[0].indexOf("原因");
    EXPECT_EQ(reason, table[0].size() - 1);
    QStringList fromCsv;
    for (qsizetype r = 1; r < table.size(); ++r) {
        fromCsv << table[r][name] + ":" + table[r][reason];
    }
    EXPECT_EQ(fromCsv,
              (QStringList{"good.docx:", "slow.docx:转换超时",
                           "notes.txt:", "truncated.docx:文件已损坏或无法识别",
                           "random.docx:文件已损坏或无法识别", "locked.docx:文件有密码保护",
                           "locked.doc:文件有密码保护", "c.pdf:不转换此类型文件",
                           "good.docx:输出目录无法写入", "gone.docx:源文件不存在"}));
    const auto book = testing::readZip(readAll(xlsx));
    const QString strings = QString::fromUtf8(book.value("xl/sharedStrings.xml"));
    for (const char* text : {"原因", "转换超时", "文件已损坏或无法识别", "文件有密码保护",
                             "不转换此类型文件", "输出目录无法写入", "源文件不存在"}) {
        EXPECT_TRUE(strings.contains(QString::fromUtf8(text))) << text;
    }

    // A new run clears every reason with the results.
    b.setRows({"good.docx"});
    EXPECT_EQ(b.run(OutputMode::Pdf), QStringList{"good.docx:成功:"});
}

}  // namespace
}  // namespace quorv
