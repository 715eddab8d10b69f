// The "开始输出" run over the fake office, with the scripted desktop.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest/QTest>

#include "convert/folderscan.h"
#include "core/defaults.h"
#include "core/pdfoptions.h"
#include "fakes/fake_office.h"
#include "fakes/qt_print.h"
#include "fakes/test_files.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnbatch.h"
#include "gui/mainwin/frnscan.h"
#include "gui/mainwin/rowmenu.h"

namespace quorv {
namespace {

// A stand-in for the SWF tool: fails for inputs named *bad*, and otherwise writes the PDF
// it was given into the SWF after a short pause, so a PDF removed too early would leave an
// empty SWF.
const char* kToolScript = R"(#!/bin/sh
in="$1"
out=""
prev=""
for a in "$@"; do [ "$prev" = "-o" ] && out="$a"; prev="$a"; done
case "$in" in *bad*) exit 1 ;; esac
sleep 0.1
cat "$in" > "$out"
)";

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

struct BatchWindow : testing::WindowFixture {
    testing::FakeOfficeServer office;
    w_frn w{desktop};
    QTemporaryDir src;
    QTemporaryDir out;

    BatchWindow() {
        // The fake office takes one caller at a time, and its call order is checked.
        writeSetting(profile, Key::Pool, "1");
        w.open(QSize(1280, 768));
        w.show();
        w.sle_2->setText(out.path());
        w.setOutputMode(OutputMode::Pdf);
    }

    // A row as a scan makes it: the file lies in src/zml; no zml for a top-level file
    // added singly when hasZml is false.
    void addRow(const QString& zml, const QString& name, bool create = true, bool hasZml = true) {
        const QString folder = src.path() + "/" + zml;
        if (create) writeFile(folder + name, "source " + name.toUtf8());
        ScanRow r;
        r.ypath = folder;
        r.filey = name;
        r.zml = zml;
        r.hasZml = hasZml;
        appendScanRow(w.list(), std::move(r));
    }
    void run() { QTest::mouseClick(w.cb_3, Qt::LeftButton); }
    // Calls f whenever a result reaches the list while the run goes on.
    void duringRun(std::function<void()> f) {
        QObject::connect(&w.list(), &QAbstractItemModel::dataChanged, &w.list(),
                         [f = std::move(f)] { f(); });
    }

    QStringList results() const {
        QStringList r;
        FileListModel& l = const_cast<w_frn&>(w).list();
        for (int i = 1; i <= l.rowCount(); ++i) {
            r << l.cellText(i, "filey") + ":" + l.cellText(i, "jg") + (l.isSelected(i) ? "+" : "");
        }
        return r;
    }
    // The reason column of every row.
    QStringList reasons() const {
        QStringList r;
        FileListModel& l = const_cast<w_frn&>(w).list();
        for (int i = 1; i <= l.rowCount(); ++i) r << l.cellText(i, "yy");
        return r;
    }
    QStringList opened() const {
        QStringList o;
        for (const auto& c : office.calls()) {
            if (c.path == "documents.open") o << QFileInfo(c.args[0].toText()).fileName();
        }
        return o;
    }
    QStringList outFiles(const QString& sub = QString()) const {
        return QDir(out.path() + "/" + sub).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void expectRestored() const {
        EXPECT_EQ(desktop.busyDepth, 0);
        EXPECT_FALSE(desktop.minimized);
        EXPECT_TRUE(const_cast<w_frn&>(w).list().redraw());
        EXPECT_FALSE(const_cast<w_frn&>(w).busy());
    }
};

TEST(BatchRun, EmptyListOrMissingOutputFolderDoNothing) {
    BatchWindow b;
    const QByteArray settings = readAll(b.profile);
    b.run();
    EXPECT_EQ(b.texts(), QStringList{"还没有源文件"});
    EXPECT_EQ(readAll(b.profile), settings) << "nothing is written to the settings file";
    b.addRow("", "a.doc");
    b.w.sle_2->setText(b.out.path() + "/missing");
    b.run();
    b.w.sle_2->clear();
    b.run();
    EXPECT_EQ(b.texts(), (QStringList{"还没有源文件", "输出目录不存在", "输出目录不存在"}));
    EXPECT_TRUE(b.office.calls().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(b.out.path() + "/missing")) << "a refused folder is not made";
    EXPECT_EQ(b.results(), QStringList{"a.doc:"});
    b.expectRestored();
}

TEST(BatchRun, PdfModeWritesResultsSelectionAndProgress) {
    BatchWindow b;
    b.addRow("", "a.doc");
    b.addRow("", "notes.txt");  // not a Word document: refused
    b.addRow("", "b.docx");
    b.w.list().selectRow(2, true);
    bool sawProgress = false;
    b.duringRun([&] {
        sawProgress = sawProgress || (b.w.vpb_1->isVisible() && b.w.vpb_1->maximum() == 3);
    });
    b.run();
    EXPECT_EQ(b.results(), (QStringList{"a.doc:成功+", "notes.txt:失败", "b.docx:成功+"}));
    EXPECT_EQ(b.outFiles(), (QStringList{"a.pdf", "b.pdf"}));
    EXPECT_EQ(b.opened(), (QStringList{"a.doc", "b.docx"}));
    EXPECT_EQ(b.office.liveApplications(), 0);
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});
    EXPECT_TRUE(sawProgress) << "the bar is shown while the run goes on";
    EXPECT_EQ(b.w.vpb_1->value(), 3);
    b.expectRestored();

    // The folder text with a trailing "/" gives the same outputs; a second run converts
    // every row again.
    QDir(b.out.path()).removeRecursively();
    QDir().mkpath(b.out.path());
    b.w.sle_2->setText(b.out.path() + "/");
    b.office.clearCalls();
    b.run();
    EXPECT_EQ(b.outFiles(), (QStringList{"a.pdf", "b.pdf"}));
    EXPECT_EQ(b.opened(), (QStringList{"a.doc", "b.docx"}));
}

TEST(BatchRun, KeptStructureCreatesSubfoldersAndMinimisesWhenAsked) {
    BatchWindow b;
    b.addRow("a/b/", "deep.doc");
    b.addRow("", "top.doc");
    b.addRow("", "single.doc", true, false);
    b.w.cbx_3->setChecked(true);
    b.w.cbx_1->setChecked(true);
    bool minimisedDuring = false;
    b.duringRun([&] { minimisedDuring = minimisedDuring || b.desktop.minimized; });
    b.run();
    EXPECT_TRUE(minimisedDuring);
    b.expectRestored();
    EXPECT_EQ(b.outFiles("a/b"), QStringList{"deep.pdf"});
    EXPECT_EQ(b.outFiles(), (QStringList{"single.pdf", "top.pdf"}));
    // Without the option every row goes straight into the output folder.
    b.w.cbx_3->setChecked(false);
    b.run();
    EXPECT_EQ(b.outFiles(), (QStringList{"deep.pdf", "single.pdf", "top.pdf"}));
}

// Each run takes the settings of its moment: the custom format saved just before, and the
// replace setting, which decides whether a copy keeps the earlier file of its name.
TEST(BatchRun, EachRunTakesTheFormatAndReplaceSettingsOfTheMoment) {
    BatchWindow b;
    b.addRow("", "a.doc");
    b.w.setOutputMode(OutputMode::Xps);
    b.run();
    EXPECT_EQ(b.outFiles(), QStringList{"a.xps"});
    EXPECT_TRUE(readAll(b.out.path() + "/a.xps").contains("format 18"));

    b.w.setOutputMode(OutputMode::Custom);
    writeSetting(b.profile, Key::Wsavehz, "htm");
    writeSetting(b.profile, Key::Wsavely, "8");
    b.run();
    EXPECT_TRUE(readAll(b.out.path() + "/a.htm").contains("format 8"));
    writeSetting(b.profile, Key::Wsavehz, "txt");
    writeSetting(b.profile, Key::Wsavely, "2");
    b.run();
    EXPECT_TRUE(readAll(b.out.path() + "/a.txt").contains("format 2"));
    EXPECT_EQ(globals().wsavehz, "txt");
    EXPECT_EQ(globals().wsavely, "2");
    EXPECT_EQ(b.results(), QStringList{"a.doc:成功+"});

    b.w.setOutputMode(OutputMode::Original);
    writeFile(b.out.path() + "/a.doc", "old target");
    globals().sfth = "n";
    b.run();
    EXPECT_EQ(readAll(b.out.path() + "/a.doc"), "old target");
    EXPECT_EQ(readAll(b.out.path() + "/0a.doc"), "source a.doc");
    globals().sfth = "y";
    QFile::remove(b.out.path() + "/0a.doc");
    b.run();
    EXPECT_FALSE(QFileInfo::exists(b.out.path() + "/0a.doc"));
    EXPECT_EQ(readAll(b.out.path() + "/a.doc"), "source a.doc");
    EXPECT_EQ(b.results(), QStringList{"a.doc:成功+"});
    EXPECT_EQ(b.texts().last(), "转换结束");
}

// The PDF/A part of the settings goes with each PDF export, as Word's last export
// argument; an XPS is drawn from a plain PDF and gets none.
TEST(BatchRun, PdfOutputsCarryThePdfaPartOfTheSettingsAndXpsNone) {
    BatchWindow b;
    b.addRow("", "a.doc");
    auto lastExport = [&] {
        VariantList args;
        for (const auto& c : b.office.calls()) {
            if (c.path == "activedocument.exportasfixedformat") args = c.args;
        }
        return args;
    };
    b.w.setOutputMode(OutputMode::Pdf);
    b.run();
    EXPECT_EQ(lastExport().size(), 3) << "no part asked for: Word's short call";
    writeSetting(b.profile, Key::Pdfa, "3");
    b.run();
    ASSERT_EQ(lastExport().size(), 14);
    EXPECT_EQ(lastExport()[13].toInt(), 3);
    b.w.setOutputMode(OutputMode::Xps);
    b.run();
    EXPECT_EQ(lastExport().size(), 3);
    EXPECT_EQ(lastExport()[1].toInt(), 18);
    EXPECT_EQ(b.results(), QStringList{"a.doc:成功+"});
}

TEST(BatchRun, AnArchiveWithAPasswordIsRefusedBeforeAnyRowRuns) {
    BatchWindow b;
    b.addRow("", "a.doc");
    b.w.setOutputMode(OutputMode::Pdf);
    writeSetting(b.profile, Key::Pdfa, "2");
    PdfOptions pdf;
    pdf.protection.openPassword = "x";
    ASSERT_EQ(writePdfOptions(b.profile, pdf), 1);
    b.run();
    EXPECT_EQ(b.texts(), QStringList{"PDF/A归档格式不能加密，请去掉密码和权限限制"});
    EXPECT_TRUE(b.opened().isEmpty());
    EXPECT_TRUE(b.outFiles().isEmpty());
    b.expectRestored();
}

struct SwfWindow : BatchWindow {
    QString tool;
    SwfWindow() {
        tool = dir.path() + "/tool/swf";
        writeFile(tool, kToolScript);
        QFile(tool).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeSetting(profile, Key::Swftprg, tool);
        w.setOutputMode(OutputMode::Swf);
    }
};

// What the list shows of an SWF run in a fresh working folder, whose intermediate folder
// the window makes; once the run is over only the failed row's intermediate PDF stays.
TEST(BatchRun, SwfModeShowsEachRowAndKeepsOnlyTheFailedRowsPdf) {
    SwfWindow b;
    b.addRow("", "my file.doc");
    b.addRow("", "x.pdf");
    b.addRow("", "z.doc");
    b.addRow("", "bad.doc");
    b.run();
    EXPECT_EQ(b.results(),
              (QStringList{"my file.doc:空格", "x.pdf:成功+", "z.doc:成功+", "bad.doc:失败"}));
    EXPECT_EQ(b.reasons(), (QStringList{"文件名含空格", "", "", "PDF转SWF失败"}));
    EXPECT_EQ(b.outFiles(), (QStringList{"x.swf", "z.swf"}));
    // The tool read the whole intermediate PDF before the window removed it.
    EXPECT_TRUE(readAll(b.out.path() + "/z.swf").contains("fake output of"));
    EXPECT_EQ(QDir(b.dir.path() + "/pdf").entryList(QDir::Files), QStringList{"bad.pdf"})
        << "only the failed row's PDF stays";
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});
}

TEST(BatchRun, DateChoiceWithCopyChecksTheBoxAndRecordsTheEndTime) {
    BatchWindow b;
    b.w.setOutputMode(OutputMode::Original);
    b.w.ddlb_1->setCurrentIndex(6);  // "6.修改日期起:"
    b.addRow("", "a.doc");
    b.w.cbx_1->setChecked(true);
    b.w.em_1->setValue("2017-13-01 00:00:00");
    b.run();
    b.w.em_1->setValue("2017-10-01 25:00:00");
    b.run();
    EXPECT_EQ(b.texts(), (QStringList{"修改日期错误", "修改日期时间错误"}));
    EXPECT_EQ(b.key("sdef", "fdt"), "<missing>");
    EXPECT_EQ(b.results(), QStringList{"a.doc:"});
    EXPECT_EQ(b.w.szf, "6");
    b.expectRestored();

    b.w.em_1->setValue("2017-10-01 13:36:55");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    b.run();
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    EXPECT_EQ(b.results(), QStringList{"a.doc:成功+"});
    const QString shown = b.w.em_1->value();
    const QDateTime end = QDateTime::fromString(shown, "yyyy-MM-dd hh:mm:ss");
    EXPECT_TRUE(end >= before && end <= after) << shown.toStdString();
    EXPECT_EQ(b.key("sdef", "fdt"), shown);

    // The same invalid box in a conversion mode is not looked at.
    b.w.setOutputMode(OutputMode::Pdf);
    b.w.em_1->setValue("2017-13-01 00:00:00");
    b.run();
    EXPECT_EQ(b.texts().last(), "转换结束");
    EXPECT_EQ(b.key("sdef", "fdt"), shown);
}

TEST(BatchRun, OnlyShownRowsInDisplayOrderThenTheFilterIsCleared) {
    BatchWindow b;
    for (const char* n : {"b_x.doc", "a_x.doc", "c.doc", "d_x.doc"}) b.addRow("", n);
    b.w.list().setSort("filey D");
    b.w.list().applySort();
    b.w.list().setFilter("filey like '%_x%'");
    b.w.list().applyFilter();
    b.run();
    EXPECT_EQ(b.opened(), (QStringList{"d_x.doc", "b_x.doc", "a_x.doc"}));
    EXPECT_EQ(b.w.list().rowCount(), 4) << "every row is shown again";
    EXPECT_EQ(b.results(),
              (QStringList{"d_x.doc:成功+", "c.doc:", "b_x.doc:成功+", "a_x.doc:成功+"}));
}

TEST(BatchRun, EscapeStopsBeforeTheNextRowWithoutTheEndSteps) {
    BatchWindow b;
    for (const char* n : {"a_x.doc", "b_x.doc", "c.doc"}) b.addRow("", n);
    b.w.list().setFilter("filey like '%_x%'");
    b.w.list().applyFilter();
    b.w.cbx_1->setChecked(true);
    b.desktop.escapeAnswers = {false, true};
    b.run();
    EXPECT_EQ(b.results(), (QStringList{"a_x.doc:成功+", "b_x.doc:"}));
    EXPECT_EQ(b.w.list().rowCount(), 2) << "the filter stays";
    EXPECT_TRUE(b.texts().isEmpty()) << "no end message";
    EXPECT_EQ(b.w.vpb_1->value(), 1);
    b.expectRestored();
}

// Closing the window during a run stops it as Escape does; the window closes once the
// row in flight has finished, with nothing of the office left.
TEST(BatchRun, ClosingTheWindowStopsTheRunThenCloses) {
    BatchWindow b;
    for (const char* n : {"a.doc", "b.doc", "c.doc"}) b.addRow("", n);
    bool closeRefused = false;
    b.duringRun([&] {
        // Once the first row has its result.
        if (!closeRefused && b.w.list().cellText(1, "jg") == "成功") closeRefused = !b.w.close();
    });
    b.run();
    EXPECT_TRUE(closeRefused) << "the window stays while the row in flight finishes";
    EXPECT_EQ(b.results(), (QStringList{"a.doc:成功+", "b.doc:", "c.doc:"}));
    EXPECT_TRUE(b.texts().isEmpty()) << "no end message";
    EXPECT_EQ(b.office.liveApplications(), 0);
    for (int i = 0; i < 50 && b.w.isVisible(); ++i) QTest::qWait(100);
    EXPECT_FALSE(b.w.isVisible());
}

TEST(BatchRun, ARunStartsWithoutAnyEarlierResultOrSelection) {
    BatchWindow b;
    for (const char* n : {"a_x.doc", "b_x.doc", "c.doc"}) b.addRow("", n);
    b.run();
    EXPECT_EQ(b.results(), (QStringList{"a_x.doc:成功+", "b_x.doc:成功+", "c.doc:成功+"}));

    // A second run, with c hidden by the filter, stopped after its first row: the rows it
    // never reached show no result, the hidden one included.
    b.w.list().setFilter("filey like '%_x%'");
    b.w.list().applyFilter();
    b.desktop.escapeAnswers = {false, true};
    b.run();
    b.w.list().setFilter(QString());
    b.w.list().applyFilter();
    EXPECT_EQ(b.results(), (QStringList{"a_x.doc:成功+", "b_x.doc:", "c.doc:"}));

    // "另存为" writes what the rows show, not the first run's results.
    const QString saved = b.out.path() + "/list.csv";
    b.desktop.fileSaveAnswers = {{1, saved, 0}};
    QTest::mouseClick(b.w.cb_11, Qt::LeftButton);
    const QString csv = QString::fromUtf8(readAll(saved));
    EXPECT_EQ(csv.count(QStringLiteral("成功")), 1) << csv.toStdString();
}

TEST(BatchRun, InputControlsAreDisabledWhileItRunsAndEnabledOnEveryWayOut) {
    BatchWindow b;
    const std::vector<QWidget*> inputs{
        b.w.pb_1,   b.w.cb_4,  b.w.rb_5,  b.w.rb_8,  b.w.rb_9, b.w.rb_6, b.w.rb_7, b.w.rb_10,
        b.w.ddlb_1, b.w.cbx_2, b.w.cbx_4, b.w.cbx_3, b.w.cb_1, b.w.cb_2, b.w.cb_3, b.w.cb_5};
    const auto enabled = [&] {
        QStringList on;
        for (QWidget* c : inputs) {
            if (c->isEnabled()) on << c->objectName();
        }
        return on;
    };
    QStringList all;
    for (QWidget* c : inputs) all << c->objectName();
    b.w.rb_9->setEnabled(false);  // off before the run: stays off after it
    all.removeAll("rb_9");
    b.addRow("", "a.doc");
    b.addRow("", "vanished.doc", false);  // the office cannot open it: a run-time error
    QList<QStringList> during;
    b.duringRun([&] { during << enabled(); });
    b.run();
    ASSERT_FALSE(during.isEmpty());
    for (const QStringList& on : during) EXPECT_TRUE(on.isEmpty()) << on.join(' ').toStdString();
    EXPECT_EQ(b.desktop.messages.size(), 1u) << "the run-time error report";
    EXPECT_EQ(enabled(), all);
    EXPECT_TRUE(b.w.sle_1->isEnabled()) << "controls a run ignores stay as they are";

    // A run that ends normally: enabled again by the time "转换结束" is shown.
    writeFile(b.src.path() + "/vanished.doc", "back");
    during.clear();
    b.run();
    EXPECT_FALSE(during.isEmpty());
    for (const QStringList& on : during) EXPECT_TRUE(on.isEmpty());
    EXPECT_EQ(b.texts().last(), "转换结束");
    EXPECT_EQ(enabled(), all);
}

TEST(BatchRun, ClicksDuringARunAreIgnored) {
    BatchWindow b;
    b.addRow("", "a.doc");
    b.addRow("", "b.doc");
    int pumps = 0;
    b.duringRun([&] {
        if (!b.w.busy()) return;
        ++pumps;
        QTest::mouseClick(b.w.cb_3, Qt::LeftButton);
        QTest::mouseClick(b.w.cb_8, Qt::LeftButton);  // clear the list
    });
    b.run();
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(b.opened(), (QStringList{"a.doc", "b.doc"}));
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});
    EXPECT_EQ(b.results(), (QStringList{"a.doc:成功+", "b.doc:成功+"}));
}

TEST(BatchRun, RunTimeErrorInARowRestoresTheWindowBeforeTheReport) {
    BatchWindow b;
    b.addRow("", "a.doc");
    b.addRow("", "vanished.doc", false);  // the office cannot open it
    b.addRow("", "c.doc");
    b.w.cbx_1->setChecked(true);
    bool minimisedAtReport = true, redrawAtReport = false;
    int liveAtReport = -1;
    b.app.setReportSink([&](const QString& t, const QString& s) {
        minimisedAtReport = b.desktop.minimized;
        redrawAtReport = b.w.list().redraw();
        liveAtReport = b.office.liveApplications();
        b.desktop.messageBox(t, s);
    });
    b.run();
    ASSERT_EQ(b.desktop.messages.size(), 1u);
    EXPECT_TRUE(b.desktop.messages[0].text.contains("35"))
        << b.desktop.messages[0].text.toStdString();
    EXPECT_FALSE(minimisedAtReport);
    EXPECT_TRUE(redrawAtReport);
    EXPECT_EQ(liveAtReport, 0);
    EXPECT_EQ(b.results(), (QStringList{"a.doc:成功+", "vanished.doc:失败", "c.doc:"}));
    b.expectRestored();
    // The window works again: the next run goes through to its end.
    writeFile(b.src.path() + "/vanished.doc", "back");
    b.run();
    EXPECT_EQ(b.texts().last(), "转换结束");
}

// A row whose conversion raises an error: without the option the run ends there through
// the report, with that row marked and scrolled into view; with it the row is marked and
// the run goes on to its end without a report.
TEST(BatchRun, ARaisingRowIsMarkedAndShownAndTheOptionGoesOnPastIt) {
    BatchWindow b;
    QStringList names;
    for (int i = 1; i <= 40; ++i) {
        names << QStringLiteral("f%1.doc").arg(i, 2, 10, QLatin1Char('0'));
        b.addRow("", names.back(), i != 30);  // f30.doc is missing: the office raises
    }
    QStringList expected;
    for (int i = 1; i < 30; ++i) expected << names[i - 1] + ":成功+";
    expected << "f30.doc:失败";
    for (int i = 31; i <= 40; ++i) expected << names[i - 1] + ":";
    b.run();
    EXPECT_EQ(b.results(), expected);
    ASSERT_EQ(b.texts().size(), 1);
    EXPECT_TRUE(b.texts()[0].contains("35")) << b.texts()[0].toStdString();
    EXPECT_EQ(b.reasons().at(29), "转换出错") << "the fake office names no cause";
    EXPECT_EQ(b.reasons().count(QString()), 39);
    const QRect shown = b.w.dw_1->viewport()->rect();
    EXPECT_TRUE(shown.contains(b.w.dw_1->visualRect(b.w.list().index(29, 0))));
    EXPECT_FALSE(shown.intersects(b.w.dw_1->visualRect(b.w.list().index(0, 0))))
        << "the list did scroll";
    b.expectRestored();

    writeSetting(b.profile, Key::Sfjx, "y");
    b.desktop.messages.clear();
    b.run();
    for (int i = 31; i <= 40; ++i) expected[i - 1] = names[i - 1] + ":成功+";
    EXPECT_EQ(b.results(), expected);
    EXPECT_EQ(b.texts(), QStringList{"转换结束"});
    EXPECT_EQ(b.reasons().at(29), "转换出错");
    EXPECT_EQ(b.reasons().count(QString()), 39);
    b.expectRestored();
}

TEST(BatchRun, StatusLineCountsTheRunAsItGoesAndSumsItUpWithTheReasons) {
    BatchWindow b;
    b.office.setOutputsChecked(true);
    b.office.setOutputFor("cut.doc", testing::FakeOfficeServer::Output::CutShort);
    b.office.setOutputFor("a.doc", testing::FakeOfficeServer::Output::Whole);
    b.office.setOutputFor("b.docx", testing::FakeOfficeServer::Output::Whole);
    b.addRow("", "a.doc");
    b.addRow("", "notes.txt");  // refused: no office document
    b.addRow("", "cut.doc");    // its output does not read
    b.addRow("", "b.docx");
    QStringList during;
    b.duringRun([&] {
        if (!b.w.statusLine->text().isEmpty()) during << b.w.statusLine->text();
    });
    b.run();
    ASSERT_FALSE(during.isEmpty());
    EXPECT_TRUE(during.first().startsWith("已完成 ")) << (during.first()).toStdString();
    EXPECT_TRUE(during.first().contains("/4，正在转换：")) << (during.first()).toStdString();
    // Once a row is done and others are left, the time left is told.
    bool sawTimeLeft = false;
    for (const QString& t : during) sawTimeLeft = sawTimeLeft || t.contains("剩余约 ");
    EXPECT_TRUE(sawTimeLeft) << (during.join(" | ")).toStdString();

    const QString end = b.w.statusLine->text();
    EXPECT_TRUE(end.startsWith("成功 2，失败 2，用时 ")) << (end).toStdString();
    EXPECT_TRUE(end.contains("不转换此类型文件 1")) << (end).toStdString();
    EXPECT_TRUE(end.contains("未生成输出文件 1")) << (end).toStdString();
    EXPECT_EQ(b.texts(), QStringList{"转换结束"}) << "the end message stays as it was";
    EXPECT_EQ(b.reasons(), (QStringList{"", "不转换此类型文件", "未生成输出文件", ""}));
    EXPECT_EQ(b.outFiles(), (QStringList{"a.pdf", "b.pdf"})) << "no broken file is left";

    // Each converted row knows its output, and the row menu opens it.
    EXPECT_EQ(b.w.list().rowData(1)->output, b.out.path() + "/a.pdf");
    EXPECT_TRUE(b.w.list().rowData(2)->output.isEmpty());
    EXPECT_EQ(rowMenuEntries(b.w.list(), 1).size(), 5u);
    EXPECT_EQ(rowMenuEntries(b.w.list(), 2).size(), 4u) << "no output entry for a failed row";
    b.w.dw_1_rowaction(1, RowAction::OpenOutput);
    EXPECT_EQ(b.desktop.openedFiles, QStringList{b.out.path() + "/a.pdf"});

    // Only the failed rows, then back to all as the batch's end clears the filter.
    QTest::mouseClick(b.w.failedOnly, Qt::LeftButton);
    EXPECT_EQ(b.results(), (QStringList{"notes.txt:失败", "cut.doc:失败"}));
    EXPECT_TRUE(b.w.statusLine->text().endsWith("显示 2/4"))
        << (b.w.statusLine->text()).toStdString();
    b.run();
    EXPECT_FALSE(b.w.failedOnly->isChecked());
    EXPECT_EQ(b.w.list().rowCount(), 4);
}

TEST(BatchRun, AStoppedRunSaysHowManyRowsWereLeft) {
    BatchWindow b;
    b.addRow("", "a.doc");
    b.addRow("", "b.doc");
    b.addRow("", "c.doc");
    b.desktop.escapeAnswers = {false, true, true, true, true, true};
    b.run();
    const QString t = b.w.statusLine->text();
    EXPECT_TRUE(t.startsWith("已中止：成功 1，失败 0，未转换 2，用时 ")) << (t).toStdString();
}

}  // namespace
}  // namespace quorv
