#include <utime.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>

#include "core/defaults.h"
#include "core/globals.h"
#include "fakes/backend_change.h"
#include "fakes/qt_print.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnoptions.h"
#include "gui/mainwin/frnscan.h"
#include "gui/settings/wconfig.h"

namespace quorv {
namespace {

struct ScanWindow : testing::WindowFixture {
    w_frn w{desktop};
    QTemporaryDir src;
    ScanWindow() {
        w.open(QSize(1280, 768));
        w.show();
    }
    void touch(const QString& rel, const char* when = nullptr) {
        const QString path = src.path() + "/" + rel;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        if (when) {
            const auto t = QDateTime::fromString(when, "yyyy-MM-dd hh:mm:ss").toSecsSinceEpoch();
            utimbuf times{t, t};
            utime(QFile::encodeName(path).constData(), &times);
        }
    }
    QStringList rows() {
        QStringList out;
        for (int r = 1; r <= w.list().rowCount(); ++r) {
            out << w.list().cellText(r, "xh") + " " + w.list().cellText(r, "zml") +
                       w.list().cellText(r, "filey");
        }
        return out;
    }
};

TEST(FolderScanButton, CancelledDialogSaysSoAndChangesNothing) {
    ScanWindow s;
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.desktop.dialogTitles, QStringList{"浏览文件夹"});
    EXPECT_EQ(s.texts(), QStringList{"文件夹选择被取消"});
    EXPECT_EQ(s.key("sdef", "wjjp"), "<missing>");
}

TEST(FolderScanButton, RecursiveScanAppendsNumberedRowsAndRemembersTheFolder) {
    ScanWindow s;
    s.touch("a.doc");
    s.touch("sub/m.doc");
    s.touch("z.txt");
    s.w.cbx_2->setChecked(true);
    s.desktop.folderAnswers = {s.src.path(), s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.rows(), (QStringList{"1 a.doc", "2 sub/m.doc", "3 z.txt"}));
    EXPECT_EQ(s.w.list().cellText(2, "ypath"), s.src.path() + "/sub/");
    EXPECT_EQ(s.texts(), QStringList{"源文件夹的相关信息已导入"});
    EXPECT_EQ(s.key("sdef", "wjjp"), s.src.path());
    EXPECT_TRUE(s.w.em_1->isEnabled());
    EXPECT_EQ(s.desktop.busyDepth, 0);
    // Scanning again lists every file again.
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.w.list().rowCount(), 6);
    EXPECT_EQ(s.w.list().cellText(6, "xh"), "6");
}

TEST(FolderDialogs, StartAtTheLastScannedFolderAndTheCurrentOutputFolder) {
    QTemporaryDir last, output;
    const QByteArray ini =
        "[sdef]\nwjjp=" + last.path().toUtf8() + "\n[gsly]\nmpath=" + output.path().toUtf8() + "\n";
    testing::WindowFixture fx(ini);
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    w.show();
    QTemporaryDir src;
    fx.desktop.folderAnswers = {src.path(), QString()};
    QTest::mouseClick(w.cb_1, Qt::LeftButton);  // scans src
    QTest::mouseClick(w.cb_1, Qt::LeftButton);  // cancelled
    EXPECT_EQ(fx.desktop.folderStarts, (QStringList{last.path(), src.path()}));

    // The output folder's dialog opens at the folder in the box, whatever was chosen last.
    QTemporaryDir other;
    fx.desktop.folderStarts.clear();
    fx.desktop.folderAnswers = {other.path(), QString()};
    QTest::mouseClick(w.pb_1, Qt::LeftButton);
    QTest::mouseClick(w.pb_1, Qt::LeftButton);
    EXPECT_EQ(fx.desktop.folderStarts, (QStringList{output.path(), other.path()}));
    EXPECT_EQ(w.sle_2->text(), other.path());
}

TEST(FolderScanButton, InputControlsAreDisabledWhileItScans) {
    ScanWindow s;
    s.touch("a.doc");
    s.touch("b.doc");
    s.w.cb_2->setEnabled(false);  // off before: stays off
    QStringList enabledDuring;
    QObject::connect(&s.w.list(), &QAbstractItemModel::rowsInserted, [&] {
        for (QWidget* c : std::initializer_list<QWidget*>{
                 s.w.pb_1, s.w.cb_4, s.w.rb_5, s.w.rb_6, s.w.ddlb_1, s.w.cbx_2, s.w.cbx_4,
                 s.w.cbx_3, s.w.cb_1, s.w.cb_3, s.w.cb_5, s.w.em_1}) {
            if (c->isEnabled()) enabledDuring << c->objectName();
        }
    });
    s.desktop.folderAnswers = {s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.w.list().rowCount(), 2);
    EXPECT_TRUE(enabledDuring.isEmpty()) << enabledDuring.join(' ').toStdString();
    for (QWidget* c : std::initializer_list<QWidget*>{s.w.pb_1, s.w.cb_4, s.w.rb_5, s.w.ddlb_1,
                                                      s.w.cbx_3, s.w.cb_1, s.w.cb_3}) {
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
    }
    EXPECT_FALSE(s.w.cb_2->isEnabled());
}

TEST(FolderScanButton, TopFolderScanWithWordTypeAndMinimisedWindow) {
    ScanWindow s;
    s.touch("report.doc");
    s.touch("x.c");
    s.touch("notes.txt");
    s.touch("sub/m.doc");
    s.w.ddlb_1->setCurrentIndex(1);  // "1.word文档"
    s.w.cbx_1->setChecked(true);
    s.desktop.folderAnswers = {s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.rows(), (QStringList{"1 report.doc", "2 x.c"}));
    EXPECT_TRUE(s.w.list().rowData(1)->zml.isNull()) << "a top-folder row has no zml";
    EXPECT_FALSE(s.desktop.minimized);
    EXPECT_TRUE(s.w.list().redraw());
}

TEST(FolderScanButton, PresentationChoiceListsSlidesOnly) {
    ScanWindow s;
    for (const char* name : {"a.ppt", "b.pptx", "c.dps", "d.odp", "e.doc", "f.xls", "g.pdf"}) {
        s.touch(name);
    }
    ASSERT_EQ(s.w.ddlb_1->itemText(7), "7.演示文稿");
    s.w.ddlb_1->setCurrentIndex(7);
    s.desktop.folderAnswers = {s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.rows(), (QStringList{"1 a.ppt", "2 b.pptx", "3 c.dps", "4 d.odp"}));
}

TEST(FolderScanButton, AllOfficeChoiceListsEveryKindAndIsKeptOverARestart) {
    ScanWindow s;
    for (const char* name :
         {"a.doc", "b.et", "c.pptx", "d.wps", "e.odt", "f.rtf", "g.pdf", "h.png"}) {
        s.touch(name);
    }
    ASSERT_EQ(s.w.ddlb_1->itemText(8), "8.全部办公文档");
    s.w.ddlb_1->setCurrentIndex(8);
    s.desktop.folderAnswers = {s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.rows(),
              (QStringList{"1 a.doc", "2 b.et", "3 c.pptx", "4 d.wps", "5 e.odt", "6 f.rtf"}));
    EXPECT_EQ(fileTypeItemFromWjls("8"), 9);
    EXPECT_EQ(fileTypeItemFromWjls("7"), 8);
    EXPECT_EQ(fileTypeItemFromWjls("6"), 7);
}

TEST(FolderScanButton, CustomTypeWithoutExtensionsAddsNothingButStillReports) {
    ScanWindow s;
    s.touch("song.mp3");
    s.w.ddlb_1->setCurrentIndex(5);  // "5.自定义", sftype empty at open
    s.desktop.folderAnswers = {s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.w.list().rowCount(), 0);
    EXPECT_EQ(s.texts(), QStringList{"源文件夹的相关信息已导入"});
}

TEST(FolderScanButton, DateChoiceChecksTheBoxAfterTheFolderAndTakesLaterFiles) {
    ScanWindow s;
    s.touch("same.doc", "2017-10-01 13:36:55");
    s.touch("later.doc", "2017-10-01 13:36:56");
    s.w.ddlb_1->setCurrentIndex(6);  // "6.修改日期起:"
    s.desktop.folderAnswers = {s.src.path(), s.src.path(), s.src.path()};
    s.w.em_1->setValue("2017-13-01 00:00:00");
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    s.w.em_1->setValue("2017-10-01 25:00:00");
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.texts(), (QStringList{"修改日期错误", "修改日期时间错误"}));
    EXPECT_EQ(s.desktop.dialogTitles.size(), 2) << "the folder dialog comes first";
    EXPECT_EQ(s.key("sdef", "wjjp"), "<missing>");
    s.w.em_1->setValue("2017-10-01 13:36:55");
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    EXPECT_EQ(s.rows(), QStringList{"1 later.doc"});
}

TEST(AddFilesButton, ShowsTheCountThenAppendsOneRowPerName) {
    ScanWindow s;
    s.touch("a.doc", "2019-05-06 07:08:09");
    s.touch("b.docx");
    s.touch("c.doc");
    s.desktop.fileOpenAnswers.push_back({1, s.src.path() + "/", {"c.doc", "a.doc", "b.docx"}});
    QTest::mouseClick(s.w.cb_2, Qt::LeftButton);
    EXPECT_EQ(s.desktop.dialogTitles, QStringList{"浏览文件"});
    EXPECT_EQ(s.texts(), QStringList{"3"});
    EXPECT_EQ(s.rows(), (QStringList{"1 c.doc", "2 a.doc", "3 b.docx"}));
    EXPECT_EQ(s.w.list().cellText(2, "ftime"), "2019-05-06 07:08:09");
    EXPECT_EQ(s.w.list().cellText(2, "ypath"), s.src.path() + "/");
    EXPECT_TRUE(s.w.list().rowData(1)->zml.isNull());
    QTest::mouseClick(s.w.cb_2, Qt::LeftButton);  // cancelled: nothing, silently
    EXPECT_EQ(s.texts().size(), 1);
}

// The offices of a run are readied when files come into the list, with the pool and idle
// time of the settings, and ended when the window closes; nothing starts before.
TEST(AddFilesButton, ReadiesTheOfficesOfARunAndTheWindowEndsThem) {
    QList<std::pair<int, int>> asked;
    {
        const testing::BackendChange recordWarming([&](ConvertBackend& b) {
            b.warmWorkerOffices = [&](int n, int idleMs) { asked.append({n, idleMs}); };
        });
        ScanWindow s;
        writeSetting(globals().profile, Key::Pool, "3");
        writeSetting(globals().profile, Key::Idle, "45");
        QTest::mouseClick(s.w.cb_2, Qt::LeftButton);  // cancelled
        s.desktop.folderAnswers = {s.src.path()};
        QTest::mouseClick(s.w.cb_1, Qt::LeftButton);  // an empty folder
        EXPECT_TRUE(asked.isEmpty());
        s.touch("a.doc");
        s.desktop.fileOpenAnswers.push_back({1, s.src.path() + "/", {"a.doc"}});
        QTest::mouseClick(s.w.cb_2, Qt::LeftButton);
        EXPECT_EQ(asked, (QList<std::pair<int, int>>{{3, 45000}}));
        s.w.close();
        EXPECT_EQ(asked.size(), 2);
        EXPECT_EQ(asked.value(1).first, 0);
    }
}

TEST(NameFilterButton, NeedsRowsAndTextThenHidesOtherNames) {
    ScanWindow s;
    s.w.sle_1->setText("abc");
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    for (const char* n : {"report_abc.doc", "abcd.xls", "report.doc"}) s.touch(n);
    s.desktop.folderAnswers = {s.src.path()};
    QTest::mouseClick(s.w.cb_1, Qt::LeftButton);
    s.w.sle_1->setText("   ");
    QTest::mouseClick(s.w.rb_3, Qt::LeftButton);
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    s.w.sle_1->setText("ABC");
    QTest::mouseClick(s.w.rb_3, Qt::LeftButton);
    QTest::mouseClick(s.w.rb_4, Qt::LeftButton);
    EXPECT_EQ(s.texts(),
              (QStringList{"还没有源文件", "源文件夹的相关信息已导入", "过滤的文件名不能为空"}));
    EXPECT_EQ(s.rows(), (QStringList{"1 abcd.xls", "3 report_abc.doc"}));
    EXPECT_EQ(s.w.list().totalRowCount(), 3) << "hidden, not removed";
}

TEST(SettingsButton, OpensTheSettingsWindowModally) {
    ScanWindow s;
    QString title;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            modal->close();
        }
    });
    QTest::mouseClick(s.w.cb_4, Qt::LeftButton);
    EXPECT_EQ(title, "软件设置");
    EXPECT_FALSE(s.w.busy());
}

TEST(SettingsAndMainWindow, RestoredDefaultsAreReplacedByTheWindowsOwnKeysAtClose) {
    ScanWindow s;
    s.w.setOutputMode(OutputMode::Pdf);
    s.w.ddlb_1->setCurrentIndex(3);
    s.w.em_1->setValue("2020-01-02 03:04:05");
    wconfig settings(s.desktop, &s.w);
    settings.cb_1_clicked();
    ASSERT_EQ(s.key("sdef", "scgs"), "4");
    s.w.writeCloseOptions();
    EXPECT_EQ(s.key("sdef", "scgs"), "1");
    EXPECT_EQ(s.key("sdef", "wjls"), "3");
    EXPECT_EQ(s.key("sdef", "fdt"), "2020-01-02 03:04:05");
    EXPECT_EQ(s.key("gsly", "sftype"), "#mp3#wav") << "keys the window does not own stay";
}

TEST(SettingsAndMainWindow, AFilePickedAtSaveAlsoTakesTheMainWindowsKeys) {
    ScanWindow s;
    QTemporaryDir other;
    const QString picked = other.path() + "/x.ini";
    QFile(picked).open(QIODevice::WriteOnly);
    s.desktop.fileOpenAnswers.push_back({1, other.path() + "/", {"x.ini"}});
    {
        wconfig settings(s.desktop, &s.w);
        settings.cb_6_clicked();
    }
    s.w.setOutputMode(OutputMode::Xps);
    s.w.writeCloseOptions();
    EXPECT_EQ(readIniKey(picked, "sdef", "scgs", ""), "2");
    EXPECT_FALSE(QFile::exists(s.profile));
}

TEST(SinceText, DateThenTimeAreChecked) {
    EXPECT_EQ(sinceTextError("2017-10-01 13:36:55"), "");
    EXPECT_EQ(sinceTextError("2017-02-30 13:36:55"), "修改日期错误");
    EXPECT_EQ(sinceTextError(""), "修改日期错误");
    EXPECT_EQ(sinceTextError("2017-10-01 13:60:00"), "修改日期时间错误");
}

// Drops local paths on the list as a file manager does.
void dropOn(w_frn& w, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    QWidget* target = w.dw_1->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    ASSERT_TRUE(drop.isAccepted());
}

TEST(DropOnList, FolderAndFilesGiveTheRowsAndMessagesOfTheDialogs) {
    for (const bool hidden : {false, true}) {
        SCOPED_TRACE(hidden);
        ScanWindow dialogs;
        ScanWindow dropped;
        for (ScanWindow* s : {&dialogs, &dropped}) {
            s->w.cbx_2->setChecked(true);
            s->w.cbx_4->setChecked(hidden);
            s->w.ddlb_1->setCurrentIndex(1);  // "1.word文档"
        }
        dialogs.touch("a.doc");
        dialogs.touch(".h.doc");
        dialogs.touch("x.c");
        dialogs.touch("子目录/行标编制说明.docx");
        dialogs.touch("loose/z.c");
        dialogs.touch("loose/y.doc");
        dialogs.desktop.folderAnswers = {dialogs.src.path()};
        QTest::mouseClick(dialogs.w.cb_1, Qt::LeftButton);
        dialogs.desktop.fileOpenAnswers.push_back(
            {1, dialogs.src.path() + "/loose/", {"z.c", "y.doc"}});
        QTest::mouseClick(dialogs.w.cb_2, Qt::LeftButton);

        // The same source, dropped: files keep the list's rules (no type filter), the folder
        // is scanned with the window's choices.
        dropOn(dropped.w, {dialogs.src.path()});
        dropOn(dropped.w, {dialogs.src.path() + "/loose/z.c", dialogs.src.path() + "/loose/y.doc"});
        EXPECT_EQ(dropped.rows(), dialogs.rows());
        EXPECT_EQ(dropped.texts(), dialogs.texts());
        EXPECT_EQ(dropped.texts(), (QStringList{"源文件夹的相关信息已导入", "2"}));
        for (int r = 1; r <= dialogs.w.list().rowCount(); ++r) {
            EXPECT_EQ(dropped.w.list().cellText(r, "ypath"), dialogs.w.list().cellText(r, "ypath"));
            EXPECT_EQ(dropped.w.list().cellText(r, "ftime"), dialogs.w.list().cellText(r, "ftime"));
        }
        EXPECT_EQ(dropped.key("sdef", "wjjp"), dialogs.src.path());
        EXPECT_FALSE(dropped.w.busy());
    }
}

TEST(DropOnList, IsIgnoredWhileTheWindowIsBusy) {
    ScanWindow s;
    s.touch("a.doc");
    {
        const BusyState::Scope busy = s.w.beginBusy();
        dropOn(s.w, {s.src.path() + "/a.doc"});
    }
    EXPECT_EQ(s.w.list().rowCount(), 0);
    EXPECT_TRUE(s.texts().isEmpty());
}

}  // namespace
}  // namespace quorv
