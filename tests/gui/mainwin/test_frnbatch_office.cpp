// The "开始输出" run against real LibreOffice and the real quorv-pdf2swf: one scanned
// folder with .doc, .docx, .pdf, a Chinese name with a blank and a subfolder, in every
// output mode; and runs whose office instance, or whose own program, is killed midway.
#include <signal.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QXmlStreamReader>
#include <QtTest/QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "convert/automation.h"
#include "core/defaults.h"
#include "engines/checks/outputchecks.h"
#include "engines/office/office_docs.h"
#include "engines/office/officeinstance.h"
#include "fakes/batch_rows.h"
#include "fakes/made_once.h"
#include "fakes/qt_print.h"
#include "fakes/real_window.h"
#include "fakes/scripted_desktop.h"
#include "fakes/test_files.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/zipread.h"
#include "pdf2swf/swfreader.h"

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

void makeDocuments() {
    sources->folder = sources->root.filePath("源");
    const QString f = sources->folder;
    ASSERT_TRUE(QDir().mkpath(f + "/sub"));
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
const auto* const kEnv =
    testing::madeOnce(sources, makeDocuments, testing::AfterMaking::EndSession);

// The scanned source folder with its subfolders, kept below the output folder.
struct RealBatch : testing::RealOfficeWindow {
    RealBatch() {
        w.cbx_2->setChecked(true);  // with subfolders
        w.cbx_3->setChecked(true);  // keep them below the output folder
        addFolder(sources->folder);
    }
};

TEST(RealBatchRun, PdfXpsAndCustomFormats) {
    RealBatch b;
    ASSERT_EQ(b.w.list().rowCount(), 4);
    EXPECT_EQ(b.run(OutputMode::Pdf), (QStringList{"a.doc:成功", "c.pdf:失败",
                                                   "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    EXPECT_EQ(b.lastMessage(), "转换结束");
    for (const auto& [rel, text] : {std::pair{"a.pdf", kAlpha}, std::pair{"sub/子文档.pdf", kSub},
                                    std::pair{"报告 一.pdf", kReport}}) {
        const QString pdf = b.outPath(QString::fromUtf8(rel));
        EXPECT_EQ(pdfPages(pdf), 1) << rel;
        EXPECT_TRUE(pdfText(pdf).contains(text)) << rel;
    }

    b.run(OutputMode::Xps);
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
    b.run(OutputMode::Custom);
    writeSetting(b.profile, Key::Wsavehz, "txt");
    writeSetting(b.profile, Key::Wsavely, "2");
    EXPECT_EQ(b.run(OutputMode::Custom), (QStringList{"a.doc:成功", "c.pdf:失败",
                                                      "sub/子文档.doc:成功", "报告 一.docx:成功"}));
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
    EXPECT_EQ(b.run(OutputMode::Swf), (QStringList{"a.doc:成功", "c.pdf:成功",
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
        b.run(OutputMode::Original),
        (QStringList{"a.doc:成功", "c.pdf:成功", "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    for (const char* rel : {"a.doc", "c.pdf", "sub/子文档.doc", "报告 一.docx"}) {
        const QString name = QString::fromUtf8(rel);
        EXPECT_EQ(readAll(b.outPath(name)), readAll(sources->folder + "/" + name)) << rel;
    }
}

// The text an OFD package carries in its pages' TextCode elements, without whitespace.
QString ofdText(const QMap<QString, QByteArray>& package) {
    QString text;
    for (auto it = package.begin(); it != package.end(); ++it) {
        if (!it.key().endsWith("/Content.xml")) continue;
        QXmlStreamReader r(it.value());
        while (!r.atEnd()) {
            if (r.readNext() == QXmlStreamReader::StartElement && r.name() == u"TextCode") {
                text += r.readElementText();
            }
        }
    }
    return text.remove(QRegularExpression("\\s"));
}

TEST(RealBatchRun, OfdThroughEachDocumentsPdf) {
    RealBatch b;
    ASSERT_TRUE(QDir(b.dir.path() + "/pdf").removeRecursively());
    QTest::mouseClick(b.w.rb_7, Qt::LeftButton);
    ASSERT_EQ(b.w.outputMode(), OutputMode::Ofd);
    // The OFD tool takes names with a blank, which SWF mode refuses.
    EXPECT_EQ(b.run(OutputMode::Ofd), (QStringList{"a.doc:成功", "c.pdf:成功",
                                                   "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    const QList<QPair<const char*, QString>> made{
        {"a.ofd", kAlpha}, {"c.ofd", kPdf}, {"sub/子文档.ofd", kSub}, {"报告 一.ofd", kReport}};
    for (const auto& [rel, text] : made) {
        const QString path = b.outPath(QString::fromUtf8(rel));
        EXPECT_TRUE(checks::ofdReads(path, 1)) << rel;
        EXPECT_EQ(ofdText(testing::readZip(readAll(path))), QString(text).remove(' ')) << rel;
    }
    EXPECT_TRUE(QDir(b.dir.path() + "/pdf").entryList(QDir::Files).isEmpty())
        << "intermediate PDFs of successful rows are gone";
    // A second run that keeps files of the same name numbers its own.
    writeSetting(b.profile, Key::Sfth, "n");
    globals().sfth = "n";
    EXPECT_EQ(b.run(OutputMode::Ofd), (QStringList{"a.doc:成功", "c.pdf:成功",
                                                   "sub/子文档.doc:成功", "报告 一.docx:成功"}));
    EXPECT_TRUE(checks::ofdReads(b.outPath("0a.ofd"), 1));
    EXPECT_TRUE(checks::ofdReads(b.outPath("a.ofd"), 1));
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
    EXPECT_EQ(b.run(OutputMode::Pdf), (QStringList{"b.doc:成功", "vanished.doc:失败"}));
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
    EXPECT_EQ(b.run(OutputMode::Pdf), done);
    EXPECT_EQ(b.lastMessage(), "转换结束");
    for (const char* rel : {"批注.pdf", "批注旧.pdf"}) {
        EXPECT_TRUE(pdfText(b.outPath(QString::fromUtf8(rel))).contains(kCommented)) << rel;
    }
    EXPECT_EQ(b.run(OutputMode::Xps), done);
    for (const char* rel : {"批注.xps", "批注旧.xps"}) {
        EXPECT_TRUE(testing::readZip(readAll(b.outPath(QString::fromUtf8(rel))))
                        .contains("[Content_Types].xml"))
            << rel;
    }
    writeSetting(b.profile, Key::Wsavehz, "txt");
    writeSetting(b.profile, Key::Wsavely, "2");
    EXPECT_EQ(b.run(OutputMode::Custom), done);
    for (const char* rel : {"批注.txt", "批注旧.txt"}) {
        EXPECT_TRUE(
            QString::fromUtf8(readAll(b.outPath(QString::fromUtf8(rel)))).contains(kCommented))
            << rel;
    }
    EXPECT_EQ(b.run(OutputMode::Swf), done);
    for (const char* rel : {"批注.swf", "批注旧.swf"}) {
        const testing::SwfFile swf =
            testing::readSwf(QFile::encodeName(b.outPath(QString::fromUtf8(rel))).toStdString());
        EXPECT_EQ(swf.error, "") << rel;
        EXPECT_EQ(swf.frameCount, 1) << rel;
    }
    EXPECT_EQ(b.lastMessage(), "转换结束");
}

// A PDF run over six copies of one document, on the scripted desktop.
struct HookedBatch {
    testing::ScriptedDesktop desktop;
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

// On a pool of two, the instance that has just started stops answering in its first row:
// it is killed meanwhile (the row is tried once more on a fresh instance while the other
// instance goes on), killed again on the fresh instance (35), or the watchdog ends the
// call (not tried again: 35).
TEST(RealBatchRun, OfficeKilledOrHungOnAPoolOfTwo) {
    enum class Case { KilledOnce, KilledTwice, Hung };
    for (const Case c : {Case::KilledOnce, Case::KilledTwice, Case::Hung}) {
        SCOPED_TRACE(c == Case::KilledOnce    ? "killed once"
                     : c == Case::KilledTwice ? "killed twice"
                                              : "hung");
        HookedBatch b;
        writeSetting(globals().profile, Key::Pool, "2");
        for (int i = 7; i <= 24; ++i) {
            b.files << b.dir.filePath(QStringLiteral("副本 %1.doc").arg(i));
            QFile::copy(sources->folder + "/a.doc", b.files.back());
        }
        const int savedTimeout = OfficeInstance::callTimeoutMs();
        OfficeInstance::setCallTimeoutMs(c == Case::Hung ? 1500 : 20000);
        std::atomic<qint64> victim = 0;
        std::atomic<qint64> fresh = 0;
        std::atomic<bool> done = false;
        std::thread killer([&] {
            QElapsedTimer wait;
            wait.start();
            // An instance is listed once connected, by the first row of its worker: the
            // newer of two is busy with that row.
            while (!done && wait.elapsed() < 60000 && victim == 0) {
                const QList<qint64> pids = OfficeInstance::runningPids();
                if (pids.size() == 2) {
                    victim = pids.last();
                    ::kill(pid_t(victim), SIGSTOP);
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            if (victim == 0 || c == Case::Hung) return;
            const qint64 other = OfficeInstance::runningPids().value(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            ::kill(pid_t(victim), SIGKILL);
            if (c != Case::KilledTwice) return;
            // The fresh instance the retry connects to goes the same way.
            while (!done && wait.elapsed() < 60000) {
                for (const qint64 p : OfficeInstance::runningPids()) {
                    if (p == victim || p == other) continue;
                    ::kill(pid_t(p), SIGSTOP);
                    ::kill(pid_t(p), SIGKILL);
                    fresh = p;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const QStringList words = b.run();
        done = true;
        killer.join();
        OfficeInstance::setCallTimeoutMs(savedTimeout);
        ASSERT_NE(victim, 0) << "the run never had two instances";
        if (c == Case::KilledOnce) {
            EXPECT_EQ(words, QStringList(24, "成功"));
            EXPECT_EQ(b.lastMessage(), "转换结束");
        } else {
            EXPECT_TRUE(b.lastMessage().contains("35")) << b.lastMessage().toStdString();
            EXPECT_EQ(words.count("失败"), 1) << "only the row that raised";
            EXPECT_TRUE(words.contains("成功")) << "the other instance went on";
        }
        if (c == Case::KilledTwice) {
            EXPECT_NE(fresh, 0) << "a fresh instance was tried";
            EXPECT_TRUE(testing::waitGone(fresh));
        }
        EXPECT_FALSE(b.desktop.minimized);
        EXPECT_EQ(b.desktop.busyDepth, 0);
        EXPECT_TRUE(testing::waitGone(victim));
        EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());

        EXPECT_EQ(b.run(), QStringList(24, "成功"));
        EXPECT_EQ(b.lastMessage(), "转换结束");
    }
}

// Escape on a pool of two: the two rows in flight finish and record, no other row starts,
// the end steps are skipped, and no office is left.
TEST(RealBatchRun, EscapeOnAPoolOfTwoLetsRowsInFlightFinish) {
    HookedBatch b;
    writeSetting(globals().profile, Key::Pool, "2");
    // Asked before each row starts: two rows start, the third finds Escape held.
    b.desktop.escapeAnswers = {false, false, true};
    const QStringList words = b.run();
    EXPECT_EQ(words, (QStringList{"成功", "成功", "", "", "", ""}));
    EXPECT_TRUE(b.desktop.messages.empty()) << "no end message";
    EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
    EXPECT_EQ(QDir(b.out.path()).entryList(QDir::Files).size(), 2);
}

// A pool of two writes the files, names and contents a pool of one writes, and the
// result column is the same: same-named sources from two folders into one output folder,
// with and without replacing, kept subfolders, SWF with two same-named sources, copies.
TEST(RealBatchRun, APoolOfTwoWritesWhatAPoolOfOneWrites) {
    QTemporaryDir tree;
    const QString t = tree.path();
    QDir().mkpath(t + "/x");
    QDir().mkpath(t + "/y");
    const QString a = sources->folder + "/a.doc";
    const QString sub = sources->folder + "/sub/子文档.doc";
    QFile::copy(a, t + "/x/a.doc");
    QFile::copy(sub, t + "/y/a.doc");  // same name, other text
    QFile::copy(sources->folder + "/报告 一.docx", t + "/x/b.docx");
    QFile::copy(sub, t + "/y/b.doc");
    for (int i = 1; i <= 6; ++i)
        QFile::copy(i % 2 ? a : sub, t + QStringLiteral("/c%1.doc").arg(i));

    struct Combo {
        OutputMode mode;
        const char* sfth;
        bool keep;
    };
    for (const Combo c :
         {Combo{OutputMode::Pdf, "n", false}, Combo{OutputMode::Pdf, "y", true},
          Combo{OutputMode::Swf, "n", false}, Combo{OutputMode::Original, "n", false}}) {
        SCOPED_TRACE(std::string("mode ") + std::to_string(int(c.mode)) + " sfth " + c.sfth +
                     (c.keep ? " kept" : " flat"));
        QMap<QString, QString> contents[2];
        QStringList words[2];
        for (const int pool : {1, 2}) {
            testing::WindowFixture fx;
            w_frn w{fx.desktop};
            w.open(QSize(1280, 768));
            QDir().mkpath(fx.dir.path() + "/pdf");
            writeSetting(fx.profile, Key::Swftprg, PDF2SWF_PATH);
            writeSetting(fx.profile, Key::Sfth, c.sfth);
            writeSetting(fx.profile, Key::Pool, QString::number(pool));
            globals().sfth = c.sfth;
            QTemporaryDir out;
            // An output of the same name from before the run, so that "n" numbers.
            QFile::copy(a, out.path() + "/c1.doc");
            QFile old(out.path() + "/c2.pdf");
            old.open(QIODevice::WriteOnly);
            old.write("old");
            old.close();
            w.sle_2->setText(out.path());
            w.cbx_2->setChecked(true);
            w.cbx_3->setChecked(c.keep);
            fx.desktop.folderAnswers = {t};
            QTest::mouseClick(w.cb_1, Qt::LeftButton);
            w.setOutputMode(c.mode);
            QTest::mouseClick(w.cb_3, Qt::LeftButton);
            EXPECT_TRUE(OfficeInstance::runningPids().isEmpty());
            const int i = pool - 1;
            for (int r = 1; r <= w.list().rowCount(); ++r) {
                words[i] << w.list().cellText(r, "zml") + w.list().cellText(r, "filey") + ":" +
                                w.list().cellText(r, "jg");
            }
            QDirIterator it(out.path(), QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString f = it.next();
                const QString rel = QDir(out.path()).relativeFilePath(f);
                // PDFs carry their time of writing: compare their text.
                contents[i][rel] = f.endsWith(".pdf")   ? pdfText(f)
                                   : f.endsWith(".swf") ? QString::number(QFileInfo(f).size() > 0)
                                                        : QString::fromLatin1(readAll(f).toHex());
            }
            EXPECT_TRUE(QDir(fx.dir.path() + "/pdf").entryList(QDir::Files).isEmpty());
        }
        EXPECT_EQ(words[1], words[0]);
        EXPECT_EQ(contents[1].keys(), contents[0].keys());
        EXPECT_TRUE(contents[1] == contents[0]);
        EXPECT_GE(contents[0].size(), 10);
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
        // On a pool, whichever row came first.
        EXPECT_FALSE(QDir(out.path()).entryList({"*.pdf"}, QDir::Files).isEmpty())
            << "the run is under way";
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
