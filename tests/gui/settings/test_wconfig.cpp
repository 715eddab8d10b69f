#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "core/defaults.h"
#include "core/globals.h"
#include "core/passwords.h"
#include "core/quorvapp.h"
#include "fakes/gui_app.h"
#include "fakes/qt_print.h"
#include "fakes/scripted_desktop.h"
#include "fakes/settings_fixture.h"
#include "fakes/test_files.h"
#include "gtest/gtest.h"
#include "gui/settings/wconfig.h"

namespace quorv {
namespace {

using WconfigTest = testing::SettingsFixture;

TEST_F(WconfigTest, WithoutSettingsFileShowsTheDefaults) {
    wconfig w(desktop);
    EXPECT_EQ(w.windowTitle(), "软件设置");
    EXPECT_EQ(w.sle_1->text(), bundledPdf2swfPath());
    EXPECT_EQ(w.sle_2->text(), "");
    EXPECT_EQ(w.em_1->text(), "9");
    EXPECT_EQ(w.sle_3->text(), "");
    EXPECT_EQ(w.sle_5->text(), "#mp3#wav");
    EXPECT_EQ(w.sle_4->text(), "#txt#aspx");
    EXPECT_EQ(w.ddlb_2->currentText(), "1.网页");
    EXPECT_EQ(w.ddlb_1->currentText(), "2.否");
    EXPECT_TRUE(w.cbx_1->isChecked());
    EXPECT_EQ(globals().profile, profile());
    EXPECT_FALSE(QFile::exists(profile()));
}

TEST_F(WconfigTest, ControlsKeepTheirProportionsAndOrder) {
    wconfig w(desktop);
    // 4533 x 2264 units (the PDF/A choice and the open passwords below the pool, the PDF
    // output group to the right); the SWF folder button sits right of its edit, same row.
    EXPECT_EQ(w.size(), QSize(4533 * 1280 / 5600, 2264 * 768 / 3072));
    EXPECT_LT(w.sle_3->geometry().right(), w.cb_2->geometry().left());
    EXPECT_LT(w.st_1->geometry().bottom(), w.st_2->geometry().top());
    EXPECT_TRUE(w.cb_6->font().bold());
    EXPECT_FALSE(w.cb_3->font().bold());
    EXPECT_EQ(w.ddlb_2->count(), 3);
    EXPECT_EQ(w.ddlb_2->itemText(2), "3.纯文本");
    EXPECT_EQ(w.em_1->minimum(), 1);
    EXPECT_EQ(w.em_1->maximum(), 99);
}

TEST_F(WconfigTest, UnknownFormatCodeKeepsItsPairOnSave) {
    writeFile("[gsly]\nwsavehz=doc\nwsavely=9\nsfbtm=x\n");
    wconfig w(desktop);
    EXPECT_EQ(w.ddlb_2->currentIndex(), -1);
    EXPECT_EQ(w.ddlb_1->currentText(), "1.是");
    w.cb_6_clicked();
    EXPECT_EQ(key("gsly", "wsavehz"), "doc");
    EXPECT_EQ(key("gsly", "wsavely"), "9");
    EXPECT_EQ(key("gsly", "sfbtm"), "y");
    EXPECT_EQ(globals().sfbtm, "x") << "translucency changes only at the next start";
    EXPECT_EQ(messageTexts(), QStringList{"提示/保存成功"});
    EXPECT_TRUE(QDir(dir.path() + "/pdf").exists());
}

TEST_F(WconfigTest, SaveWritesEditsAndChosenFormat) {
    writeFile("[other]\nflashv=9\n");
    wconfig w(desktop);
    w.sle_1->setText("/opt/tools/pdf2swf");
    w.sle_2->setText("/opt/语言");
    w.em_1->setValue(10);
    w.sle_3->setText("/srv/swf");
    w.sle_5->setText("#mp4");
    w.sle_4->setText("#rtf");
    w.ddlb_2->setCurrentIndex(2);
    w.ddlb_1->setCurrentIndex(1);
    w.cbx_1->setChecked(false);
    w.cb_6_clicked();
    EXPECT_EQ(key("other", "swftprg"), "/opt/tools/pdf2swf");
    EXPECT_EQ(key("other", "langd"), "/opt/语言");
    EXPECT_EQ(key("other", "flashv"), "10");
    EXPECT_EQ(key("other", "swfpath"), "/srv/swf");
    EXPECT_EQ(key("gsly", "sftype"), "#mp4");
    EXPECT_EQ(key("gsly", "awordhz"), "#rtf");
    EXPECT_EQ(key("gsly", "wsavehz"), "txt");
    EXPECT_EQ(key("gsly", "wsavely"), "2");
    EXPECT_EQ(key("gsly", "sfbtm"), "n");
    EXPECT_EQ(key("sdef", "sfth"), "n");
    EXPECT_EQ(globals().sfth, "n");
    EXPECT_EQ(globals().awordhz, "#rtf");
    EXPECT_EQ(globals().wsavehz, "txt");
}

// The number of files converted at once: the machine's default until the user picks one;
// a value out of range or not a number in the file counts as unset.
TEST_F(WconfigTest, FilesAtOnceShowsTheDefaultAndIsWrittenOnlyWhenChanged) {
    const int fallback = defaultPoolSize();
    ASSERT_GE(fallback, 1);
    ASSERT_LE(fallback, 4);
    for (const char* stored : {"", "0", "17", "两"}) {
        SCOPED_TRACE(stored);
        writeFile(QByteArray("[sdef]\npool=") + stored + "\n");
        wconfig w(desktop);
        EXPECT_EQ(w.em_2->value(), fallback);
        EXPECT_EQ(batchPoolSize(profile()), fallback);
        w.cb_6_clicked();
        EXPECT_EQ(key("sdef", "pool"), stored) << "an untouched box writes nothing";
    }
    {
        wconfig w(desktop);
        w.em_2->setValue(fallback == 3 ? 2 : 3);
        w.cb_6_clicked();
    }
    EXPECT_EQ(key("sdef", "pool"), fallback == 3 ? "2" : "3");
    EXPECT_EQ(batchPoolSize(profile()), fallback == 3 ? 2 : 3);
    wconfig again(desktop);
    EXPECT_EQ(again.em_2->value(), fallback == 3 ? 2 : 3);
}

// "出错时继续转换下一个文件": off without the key, as the file says otherwise, saved as y or
// n; restoring the defaults drops the key and so turns it off.
TEST_F(WconfigTest, GoOnPastErrorsIsLoadedSavedAndRestored) {
    writeFile("[sdef]\nsfth=y\n");
    {
        wconfig w(desktop);
        EXPECT_EQ(w.cbx_2->text(), "出错时继续转换下一个文件");
        EXPECT_FALSE(w.cbx_2->isChecked());
        EXPECT_FALSE(w.cbx_2->geometry().intersects(w.cbx_1->geometry()));
        EXPECT_FALSE(w.cbx_2->geometry().intersects(w.cb_1->geometry()));
        EXPECT_FALSE(w.cbx_2->geometry().intersects(w.st_9->geometry()));
        EXPECT_TRUE(QRect(QPoint(), w.size()).contains(w.cbx_2->geometry()));
        w.cbx_2->setChecked(true);
        w.cb_6_clicked();
    }
    EXPECT_EQ(key("sdef", "sfjx"), "y");
    writeFile("[sdef]\nsfjx=y\n");
    wconfig w(desktop);
    EXPECT_TRUE(w.cbx_2->isChecked());
    w.cbx_2->setChecked(false);
    w.cb_6_clicked();
    EXPECT_EQ(key("sdef", "sfjx"), "n");
    writeFile("[sdef]\nsfjx=y\n");
    w.cb_1_clicked();
    EXPECT_EQ(key("sdef", "sfjx"), "<missing>");
    EXPECT_FALSE(w.cbx_2->isChecked());
}

// "PDF/A 归档格式": 无 without the key or with a value it cannot read, and the key is
// written only once a part is chosen; restoring the defaults drops it again.
TEST_F(WconfigTest, PdfaChoiceIsLoadedSavedOnlyWhenChangedAndRestored) {
    for (const auto& [stored, shown] :
         {std::pair{"", "无"}, {"x", "无"}, {"4", "无"}, {"2", "PDF/A-2b"}, {"3B", "PDF/A-3b"}}) {
        SCOPED_TRACE(stored);
        writeFile(QByteArray("[sdef]\npdfa=") + stored + "\n");
        wconfig w(desktop);
        EXPECT_EQ(w.ddlb_3->currentText(), QString::fromUtf8(shown));
        w.cb_6_clicked();
        EXPECT_EQ(key("sdef", "pdfa"), stored) << "an untouched choice writes nothing";
    }
    writeFile("[sdef]\nsfth=y\n");
    {
        wconfig w(desktop);
        EXPECT_EQ(w.st_10->text(), "PDF/A 归档格式");
        EXPECT_EQ(w.ddlb_3->count(), 4);
        EXPECT_TRUE(QRect(QPoint(), w.size()).contains(w.ddlb_3->geometry()));
        EXPECT_TRUE(QRect(QPoint(), w.size()).contains(w.st_10->geometry()));
        for (QWidget* other :
             std::initializer_list<QWidget*>{w.cbx_1, w.cbx_2, w.st_9, w.em_2, w.cb_1, w.cb_6}) {
            EXPECT_FALSE(w.ddlb_3->geometry().intersects(other->geometry()));
            EXPECT_FALSE(w.st_10->geometry().intersects(other->geometry()));
        }
        EXPECT_EQ(w.ddlb_3->currentText(), "无");
        w.ddlb_3->setCurrentIndex(1);
        w.cb_6_clicked();
    }
    EXPECT_EQ(key("sdef", "pdfa"), "1");
    EXPECT_EQ(pdfaPart(profile()), 1);
    wconfig w(desktop);
    EXPECT_EQ(w.ddlb_3->currentText(), "PDF/A-1b");
    w.cb_1_clicked();
    EXPECT_EQ(key("sdef", "pdfa"), "<missing>");
    EXPECT_EQ(w.ddlb_3->currentText(), "无");
}

TEST_F(WconfigTest, SaveWithoutFileUsesThePickedFileUntilTheNextLoad) {
    QTemporaryDir other;
    const QString picked = other.path() + "/x.ini";
    QFile(picked).open(QIODevice::WriteOnly);
    desktop.fileOpenAnswers.push_back({1, other.path() + "/", {"x.ini"}});
    wconfig w(desktop);
    w.cb_6_clicked();
    EXPECT_EQ(desktop.dialogTitles, QStringList{"打开文件"});
    EXPECT_EQ(globals().profile, picked);
    EXPECT_FALSE(QFile::exists(profile()));
    EXPECT_EQ(readIniKey(picked, "other", "flashv", ""), "9");
    EXPECT_EQ(readIniKey(picked, "sdef", "sfth", ""), "y");
    // Any later writer of the run goes to the picked file too.
    EXPECT_EQ(writeSetting(globals().profile, Key::Scgs, "2"), 1);
    EXPECT_EQ(readIniKey(picked, "sdef", "scgs", ""), "2");
    // Opening the window again rebuilds profile from the working directory.
    wconfig again(desktop);
    EXPECT_EQ(globals().profile, profile());
}

TEST_F(WconfigTest, SaveWithoutFileAndCancelledDialogWritesNothing) {
    wconfig w(desktop);
    w.cb_6_clicked();
    EXPECT_EQ(messageTexts(), QStringList{"提示/无法打开初始化文件"});
    EXPECT_FALSE(QFile::exists(profile()));
    EXPECT_EQ(globals().profile, profile());
}

TEST_F(WconfigTest, RestoreRewritesDefaultsAndReloads) {
    writeFile("[other]\nflashv=12\nlangd=/x\n[sdef]\nsfth=n\n");
    wconfig w(desktop);
    EXPECT_EQ(w.em_1->text(), "12");
    EXPECT_FALSE(w.cbx_1->isChecked());
    w.cb_1_clicked();
    EXPECT_EQ(messageTexts(), QStringList{"提示/ini文件恢复成功"});
    EXPECT_EQ(w.em_1->text(), "9");
    EXPECT_EQ(w.sle_2->text(), "");
    EXPECT_TRUE(w.cbx_1->isChecked());
    EXPECT_EQ(globals().sfth, "y");
    EXPECT_EQ(key("sdef", "fdt"), "2017-10-01 13:36:55");
}

TEST_F(WconfigTest, ChoosersFillTheirFieldsOrSayWhyNot) {
    wconfig w(desktop);
    w.sle_2->setText("/keep");
    w.cb_3_clicked();
    w.cb_4_clicked();
    EXPECT_EQ(messageTexts(), (QStringList{"信息提示/没有指定导入文件!", "提示/文件夹选择被取消"}));
    EXPECT_EQ(w.sle_2->text(), "/keep");

    desktop.fileOpenAnswers.push_back({1, "/opt/swftools/", {"pdf2swf"}});
    desktop.folderAnswers.push_back("/usr/share/xpdf");
    desktop.folderAnswers.push_back("/srv/flash");
    w.cb_3_clicked();
    w.cb_4_clicked();
    w.cb_2_clicked();
    EXPECT_EQ(w.sle_1->text(), "/opt/swftools/pdf2swf");
    EXPECT_EQ(w.sle_2->text(), "/usr/share/xpdf");
    EXPECT_EQ(w.sle_3->text(), "/srv/flash");
    EXPECT_EQ(desktop.dialogTitles,
              (QStringList{"选择文件", "选择xpdf语言包所在目录", "选择文件",
                           "选择xpdf语言包所在目录", "选择生成flash保存目录"}));
    EXPECT_FALSE(QFile::exists(profile())) << "choosers write nothing";
}

TEST_F(WconfigTest, UnwritableFolderStillSavesIntoTheFileUnlessItIsLockedToo) {
    writeFile("[gsly]\nwsavehz=htm\nwsavely=8\n");
    wconfig w(desktop);
    w.sle_3->setText("/srv/swf");
    if (!makeUnwritable(dir.path(), true)) GTEST_SKIP() << "cannot make a folder unwritable here";
    w.cb_6_clicked();
    const QString swfpath = key("other", "swfpath");
    const bool fileLocked = makeFileUnwritable(profile(), true);
    wconfig again(desktop);
    again.sle_3->setText("/elsewhere");
    again.cb_6_clicked();
    again.cb_1_clicked();
    makeFileUnwritable(profile(), false);
    makeUnwritable(dir.path(), false);
    EXPECT_EQ(swfpath, "/srv/swf");
    ASSERT_TRUE(fileLocked);
    EXPECT_EQ(messageTexts(), (QStringList{"提示/保存成功", "提示/保存失败", "提示/文件不能打开"}));
    EXPECT_EQ(key("other", "swfpath"), "/srv/swf") << "the locked file kept its content";
}

TEST_F(WconfigTest, AnyFailedWriteOfTheSaveSaysSaveFailed) {
    // The two format keys are rewritten with values of the same length, so the file keeps
    // its size; every later key makes it longer, which the size limit below refuses.
    const QByteArray old = "[gsly]\nwsavehz=htm\nwsavely=8\n; " + QByteArray(300, 'x') + "\n";
    writeFile(old);
    wconfig w(desktop);
    ASSERT_TRUE(w.ddlb_2->currentText().startsWith('1')) << w.ddlb_2->currentText().toStdString();
    w.sle_3->setText("/srv/swf");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = saved;
    lim.rlim_cur = rlim_t(old.size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
    w.cb_6_clicked();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(messageTexts(), QStringList{"提示/保存失败"});
    EXPECT_EQ(key("other", "swfpath"), "<missing>");
    QFile f(profile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);
}

TEST_F(WconfigTest, OpenPasswordsAreSavedHiddenAndShownAgainOneALine) {
    const QString secret = QStringLiteral("Kennwort 密码");
    writeFile("[other]\nflashv=9\n");
    {
        wconfig w(desktop);
        EXPECT_EQ(w.mle_1->toPlainText(), "") << "no passwords in a file without the key";
        // Blank lines are no passwords; blanks inside one are part of it.
        w.mle_1->setPlainText("first\n\n" + secret + "\n  third  \n");
        w.cb_6_clicked();
    }
    EXPECT_EQ(messageTexts(), QStringList{"提示/保存成功"});
    QFile f(profile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString file = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(file.contains("dkmm=")) << file.toStdString();
    for (const QString& p : {QStringLiteral("first"), secret, QStringLiteral("third"),
                             QStringLiteral("密码"), QStringLiteral("Kennwort")}) {
        EXPECT_FALSE(file.contains(p)) << "plain in the file: " << p.toStdString();
    }
    EXPECT_EQ(readOpenPasswords(profile()), (QStringList{"first", secret, "  third  "}));

    wconfig again(desktop);
    EXPECT_EQ(again.mle_1->toPlainText(), "first\n" + secret + "\n  third  ");
    // Emptied and saved, the list is gone; restoring the defaults clears it as well.
    again.mle_1->setPlainText("\n");
    again.cb_6_clicked();
    EXPECT_EQ(readOpenPasswords(profile()), QStringList{});
    ASSERT_EQ(writeOpenPasswords(profile(), {"again"}), 1);
    wconfig third(desktop);
    EXPECT_EQ(third.mle_1->toPlainText(), "again");
    third.cb_1_clicked();
    EXPECT_EQ(third.mle_1->toPlainText(), "");
    EXPECT_EQ(readOpenPasswords(profile()), QStringList{});
}

TEST_F(WconfigTest, OpenPasswordFieldSitsBelowThePoolAndThePdfaChoiceInsideTheWindow) {
    wconfig w(desktop);
    EXPECT_EQ(w.st_11->text(), "打开密码");
    EXPECT_LT(w.em_2->geometry().bottom(), w.mle_1->geometry().top());
    EXPECT_LT(w.ddlb_3->geometry().bottom(), w.mle_1->geometry().top());
    EXPECT_LT(w.st_10->geometry().bottom(), w.st_11->geometry().top());
    EXPECT_LT(w.st_11->geometry().right(), w.mle_1->geometry().left());
    EXPECT_TRUE(w.rect().contains(w.mle_1->geometry()));
}

}  // namespace
}  // namespace quorv
