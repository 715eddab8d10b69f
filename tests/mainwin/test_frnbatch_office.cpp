// The "开始输出" run against real LibreOffice and the real quorv-pdf2swf: one scanned
// folder with .doc, .docx, .pdf, a Chinese name with a blank and a subfolder, in every
// output mode; and runs whose office instance, or whose own program, is killed midway.
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest/QTest>
#include <chrono>
#include <memory>
#include <thread>

#include "convert/automation.h"
#include "fakes/batch_rows.h"
#include "fakes/pump_hook_desktop.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "mainwin/zipread.h"
#include "pdf2swf/swfreader.h"
#include "platform/office/office_docs.h"
#include "platform/office/officeinstance.h"
#include "platform/office/officesession.h"
#include "settings/defaults.h"

namespace quorv {
namespace {

using office::OfficeInstance;

const QString kAlpha = QStringLiteral("Alpha 甲文档");
const QString kReport = QStringLiteral("Report 报告正文");
const QString kSub = QStringLiteral("Sub 子目录文档");
const QString kPdf = QStringLiteral("Portable 便携文档");
const QString kCommented = QStringLiteral("Commented 带批注");

// The source tree, made once through the engine: a.doc, 报告 一.docx, c.pdf, sub/子文档.doc.
struct Sources {
    QTemporaryDir root;
    QString folder;
    QString commented;  // 批注.docx and 批注旧.doc, each with a review comment
};
Sources* sources = nullptr;

class Env : public ::testing::Environment {
  public:
    void SetUp() override {
        sources = new Sources;
        sources->folder = sources->root.filePath("源");
        const QString f = sources->folder;
        ASSERT_TRUE(QDir().mkpath(f + "/sub"));
        office::OfficeSession session;
        const auto make = [&](const QString& text, const QString& out, int code) {
            const QString flat = sources->root.filePath("flat.fodt");
            return testing::writeFlatText(flat, {text}) &&
                   (code == 17 ? testing::exportThroughWord(flat, out)
                               : testing::saveThroughWord(flat, out, code));
        };
        ASSERT_TRUE(make(kAlpha, f + "/a.doc", 0));
        ASSERT_TRUE(make(kReport, f + "/报告 一.docx", 16));
        ASSERT_TRUE(make(kPdf, f + "/c.pdf", 17));
        ASSERT_TRUE(make(kSub, f + "/sub/子文档.doc", 0));
        sources->commented = sources->root.filePath("批注");
        ASSERT_TRUE(QDir().mkpath(sources->commented));
        const QString flat = sources->root.filePath("commented.fodt");
        ASSERT_TRUE(testing::writeFlatTextWithComment(flat, kCommented, "请核对"));
        ASSERT_TRUE(testing::saveThroughWord(flat, sources->commented + "/批注.docx", 16));
        ASSERT_TRUE(testing::saveThroughWord(flat, sources->commented + "/批注旧.doc", 0));
    }
    void TearDown() override {
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
        delete sources;
    }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

struct RealBatch : testing::WindowFixture {
    w_frn w{desktop};
    QTemporaryDir out;

    RealBatch() {
        w.open(QSize(1280, 768));
        QDir().mkpath(dir.path() + "/pdf");
        writeSetting(profile, Key::Swftprg, PDF2SWF_PATH);
        w.sle_2->setText(out.path());
        w.cbx_2->setChecked(true);  // with subfolders
        w.cbx_3->setChecked(true);  // keep them below the output folder
        desktop.folderAnswers = {sources->folder};
        QTest::mouseClick(w.cb_1, Qt::LeftButton);
        desktop.messages.clear();
    }
    QStringList runIn(OutputMode mode) {
        w.setOutputMode(mode);
        QTest::mouseClick(w.cb_3, Qt::LeftButton);
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty()) << "the run's instance ended";
        QStringList r;
        for (int i = 1; i <= w.list().rowCount(); ++i) {
            r << w.list().cellText(i, "zml") + w.list().cellText(i, "filey") + ":" +
                     w.list().cellText(i, "jg");
        }
        return r;
    }
    QString outPath(const QString& rel) const { return out.path() + "/" + rel; }
    QString lastMessage() const {
        return desktop.messages.empty() ? QString() : desktop.messages.back().text;
    }
};

TEST(RealBatchRun, PdfXpsAndCustomFormats) {
    RealBatch b;
    ASSERT_EQ(b.w.list().rowCount(), 4);
    EXPECT_EQ(b.runIn(OutputMode::Pdf), (QStringList{"a.doc:成功", "c.pdf:失败",
                                                     "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    EXPECT_EQ(b.lastMessage(), "转换结束");
    for (const auto& [rel, text] : {std::pair{"a.pdf", kAlpha}, std::pair{"sub/子文档.pdf", kSub},
                                    std::pair{"报告 一.pdf", kReport}}) {
        const QString pdf = b.outPath(QString::fromUtf8(rel));
        EXPECT_EQ(pdfPages(pdf), 1) << rel;
        EXPECT_TRUE(pdfText(pdf).contains(text)) << rel;
    }

    b.runIn(OutputMode::Xps);
    for (const char* rel : {"a.xps", "sub/子文档.xps", "报告 一.xps"}) {
        const auto package = testing::readZip(readAll(b.outPath(QString::fromUtf8(rel))));
        EXPECT_TRUE(package.contains("[Content_Types].xml")) << rel;
        bool page = false;
        for (auto it = package.begin(); it != package.end(); ++it) {
            page = page || it.key().endsWith(".fpage");
        }
        EXPECT_TRUE(page) << rel << " has a fixed page";
    }

    writeSetting(b.profile, Key::Wsavehz, "htm");
    writeSetting(b.profile, Key::Wsavely, "8");
    b.runIn(OutputMode::Custom);
    writeSetting(b.profile, Key::Wsavehz, "txt");
    writeSetting(b.profile, Key::Wsavely, "2");
    EXPECT_EQ(
        b.runIn(OutputMode::Custom),
        (QStringList{"a.doc:成功", "c.pdf:失败", "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    // A web page may write the Chinese part as character references; the Latin part is plain.
    EXPECT_TRUE(QString::fromUtf8(readAll(b.outPath("sub/子文档.htm"))).contains("Sub "));
    EXPECT_TRUE(QString::fromUtf8(readAll(b.outPath("报告 一.htm"))).contains("Report "));
    EXPECT_TRUE(QString::fromUtf8(readAll(b.outPath("a.txt"))).contains(kAlpha));
    EXPECT_TRUE(QString::fromUtf8(readAll(b.outPath("报告 一.txt"))).contains(kReport));
}

TEST(RealBatchRun, SwfAndUnchangedCopies) {
    RealBatch b;
    // A fresh working folder: the run makes its intermediate folder itself.
    ASSERT_TRUE(QDir(b.dir.path() + "/pdf").removeRecursively());
    EXPECT_EQ(b.runIn(OutputMode::Swf), (QStringList{"a.doc:成功", "c.pdf:成功",
                                                     "sub/子文档.doc:成功", "报告 一.docx:空格"}));
    for (const char* rel : {"a.swf", "c.swf", "sub/子文档.swf"}) {
        const testing::SwfFile swf =
            testing::readSwf(QFile::encodeName(b.outPath(QString::fromUtf8(rel))).toStdString());
        EXPECT_EQ(swf.error, "") << rel;
        EXPECT_EQ(swf.frameCount, 1) << rel;
    }
    EXPECT_FALSE(QFile::exists(b.outPath("报告 一.swf")));
    EXPECT_TRUE(QDir(b.dir.path() + "/pdf").entryList(QDir::Files).isEmpty())
        << "intermediate PDFs of successful rows are gone";

    EXPECT_EQ(
        b.runIn(OutputMode::Original),
        (QStringList{"a.doc:成功", "c.pdf:成功", "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    for (const char* rel : {"a.doc", "c.pdf", "sub/子文档.doc", "报告 一.docx"}) {
        const QString name = QString::fromUtf8(rel);
        EXPECT_EQ(readAll(b.outPath(name)), readAll(sources->folder + "/" + name)) << rel;
    }
}

TEST(RealBatchRun, DocumentTheOfficeCannotOpenEndsTheInstanceBeforeTheReport) {
    RealBatch b;
    const QString gone = b.dir.path() + "/gone/";
    QDir().mkpath(gone);
    QFile::copy(sources->folder + "/a.doc", gone + "b.doc");
    b.w.list().removeAll();
    for (const char* name : {"b.doc", "vanished.doc"}) {
        const int row = b.w.list().appendRow();
        b.w.list().setCell(row, "ypath", gone);
        b.w.list().setCell(row, "filey", QString::fromUtf8(name));
    }
    QList<qint64> runningAtReport{-1};
    b.app.setReportSink([&](const QString& t, const QString& s) {
        runningAtReport = OfficeInstance::runningPids();
        b.desktop.messageBox(t, s);
    });
    EXPECT_EQ(b.runIn(OutputMode::Pdf), (QStringList{"b.doc:成功", "vanished.doc:"}));
    EXPECT_TRUE(runningAtReport.isEmpty());
    EXPECT_TRUE(b.lastMessage().contains("35")) << b.lastMessage().toStdString();
    EXPECT_EQ(b.desktop.busyDepth, 0);
}

// Documents with a review comment, which once took the office down with them, in every
// mode that goes through Word.
TEST(RealBatchRun, DocumentsWithAReviewCommentInEveryWordMode) {
    RealBatch b;
    b.w.list().removeAll();
    for (const char* name : {"批注.docx", "批注旧.doc"}) {
        const int row = b.w.list().appendRow();
        b.w.list().setCell(row, "ypath", sources->commented + "/");
        b.w.list().setCell(row, "filey", QString::fromUtf8(name));
    }
    const QStringList done{"批注.docx:成功", "批注旧.doc:成功"};
    EXPECT_EQ(b.runIn(OutputMode::Pdf), done);
    EXPECT_EQ(b.lastMessage(), "转换结束");
    for (const char* rel : {"批注.pdf", "批注旧.pdf"}) {
        EXPECT_TRUE(pdfText(b.outPath(QString::fromUtf8(rel))).contains(kCommented)) << rel;
    }
    EXPECT_EQ(b.runIn(OutputMode::Xps), done);
    for (const char* rel : {"批注.xps", "批注旧.xps"}) {
        EXPECT_TRUE(testing::readZip(readAll(b.outPath(QString::fromUtf8(rel))))
                        .contains("[Content_Types].xml"))
            << rel;
    }
    writeSetting(b.profile, Key::Wsavehz, "txt");
    writeSetting(b.profile, Key::Wsavely, "2");
    EXPECT_EQ(b.runIn(OutputMode::Custom), done);
    for (const char* rel : {"批注.txt", "批注旧.txt"}) {
        EXPECT_TRUE(
            QString::fromUtf8(readAll(b.outPath(QString::fromUtf8(rel)))).contains(kCommented))
            << rel;
    }
    EXPECT_EQ(b.runIn(OutputMode::Swf), done);
    for (const char* rel : {"批注.swf", "批注旧.swf"}) {
        const testing::SwfFile swf =
            testing::readSwf(QFile::encodeName(b.outPath(QString::fromUtf8(rel))).toStdString());
        EXPECT_EQ(swf.error, "") << rel;
        EXPECT_EQ(swf.frameCount, 1) << rel;
    }
    EXPECT_EQ(b.lastMessage(), "转换结束");
}

// A PDF run over six copies of one document whose desktop can act before any row.
struct HookedBatch {
    testing::PumpHookDesktop desktop;
    QuorvApp app;
    QTemporaryDir dir;
    QTemporaryDir out;
    QStringList files;
    std::unique_ptr<w_frn> w;

    HookedBatch() {
        testing::guiApp();
        app.setReportSink([this](const QString& t, const QString& s) { desktop.messageBox(t, s); });
        globals().ap_path = dir.path();
        for (int i = 1; i <= 6; ++i) {
            files << dir.filePath(QStringLiteral("副本 %1.doc").arg(i));
            QFile::copy(sources->folder + "/a.doc", files.back());
        }
        w = std::make_unique<w_frn>(desktop);
        w->open(QSize(1280, 768));
        w->sle_2->setText(out.path());
        w->setOutputMode(OutputMode::Pdf);
    }
    QStringList run() {
        desktop.messages.clear();
        testing::setRows(*w, files);
        w->cb_3_clicked();
        return testing::resultWords(*w);
    }
    QString lastMessage() const {
        return desktop.messages.empty() ? QString() : desktop.messages.back().text;
    }
};

// The office stops answering in the middle of the second row's conversion: it is killed
// meanwhile (and the row is tried once more on a fresh instance, which may be killed too),
// or the watchdog ends the call (which is not tried again: it would only hang again).
TEST(RealBatchRun, OfficeKilledOrHungDuringARowIsRetriedOnlyAfterADeath) {
    enum class Case { KilledOnce, KilledTwice, Hung };
    for (const Case c : {Case::KilledOnce, Case::KilledTwice, Case::Hung}) {
        SCOPED_TRACE(c == Case::KilledOnce    ? "killed once"
                     : c == Case::KilledTwice ? "twice"
                                              : "hung");
        HookedBatch b;
        const int savedTimeout = OfficeInstance::callTimeoutMs();
        OfficeInstance::setCallTimeoutMs(c == Case::Hung ? 1500 : 20000);
        qint64 pid = 0;
        qint64 secondPid = 0;
        std::thread killer;
        b.desktop.onPump = [&](int pump) {
            if (pump != 2) return;
            pid = office::OfficeSession::current()->instance()->pid();
            ::kill(pid_t(pid), SIGSTOP);  // the next call cannot be answered
            if (c == Case::Hung) return;
            killer = std::thread([&, first = pid] {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                ::kill(pid_t(first), SIGKILL);
                if (c != Case::KilledTwice) return;
                // The fresh instance the retry connects to goes the same way.
                QElapsedTimer wait;
                wait.start();
                while (wait.elapsed() < 30000) {
                    for (const qint64 p : OfficeInstance::runningPids()) {
                        if (p == first) continue;
                        ::kill(pid_t(p), SIGSTOP);
                        ::kill(pid_t(p), SIGKILL);
                        secondPid = p;
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
        };
        QElapsedTimer t;
        t.start();
        const QStringList words = b.run();
        if (killer.joinable()) killer.join();
        OfficeInstance::setCallTimeoutMs(savedTimeout);
        EXPECT_LT(t.elapsed(), 30000);
        if (c == Case::KilledOnce) {
            EXPECT_EQ(words, QStringList(6, "成功"));
            EXPECT_EQ(b.lastMessage(), "转换结束");
        } else {
            EXPECT_EQ(words, (QStringList{"成功", "", "", "", "", ""}));
            EXPECT_TRUE(b.lastMessage().contains("35")) << b.lastMessage().toStdString();
        }
        if (c == Case::KilledTwice) {
            EXPECT_NE(secondPid, 0) << "a fresh instance was tried";
            EXPECT_TRUE(testing::waitGone(secondPid));
        }
        EXPECT_FALSE(b.desktop.minimized);
        EXPECT_EQ(b.desktop.busyDepth, 0);
        EXPECT_TRUE(testing::waitGone(pid));
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());

        b.desktop.onPump = nullptr;
        EXPECT_EQ(b.run(), QStringList(6, "成功"));
        EXPECT_EQ(b.lastMessage(), "转换结束");
    }
}

// However our program is ended in the middle of a run, its office instance ends too.
TEST(RealBatchRun, NoInstanceOutlivesAProgramEndedDuringARun) {
    QTemporaryDir work;
    QTemporaryDir out;
    QStringList args{work.path(), out.path()};
    for (int i = 1; i <= 4; ++i) {
        args << work.filePath(QStringLiteral("文档 %1.docx").arg(i));
        QFile::copy(sources->folder + "/报告 一.docx", args.back());
    }
    for (const bool sigkill : {false, true}) {
        SCOPED_TRACE(sigkill ? "SIGKILL" : "SIGTERM");
        QProcess child;
        child.start(QStringLiteral(BATCH_CHILD_PATH), args);
        ASSERT_TRUE(child.waitForStarted());
        QByteArray line;
        while (!line.contains('\n') && child.waitForReadyRead(60000)) {
            line += child.readAllStandardOutput();
        }
        const qint64 pid = line.trimmed().toLongLong();
        ASSERT_GT(pid, 0) << line.toStdString();
        EXPECT_TRUE(testing::sofficeRuns(pid));
        EXPECT_TRUE(QFileInfo::exists(out.filePath("文档 1.pdf"))) << "the run is under way";
        if (sigkill) {
            child.kill();
        } else {
            child.terminate();
        }
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
        EXPECT_TRUE(testing::waitGone(pid)) << "soffice " << pid << " outlived its program";
    }
}

}  // namespace
}  // namespace quorv
