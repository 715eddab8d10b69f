#include <QFile>
#include <QTemporaryDir>

#include "core/defaults.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "fakes/gui_app.h"
#include "fakes/pdf_options_checks.h"
#include "fakes/qt_print.h"
#include "fakes/scripted_desktop.h"
#include "fakes/settings_fixture.h"
#include "gtest/gtest.h"
#include "gui/settings/wconfig.h"

namespace quorv {
namespace {

// The settings window's group for PDF outputs: loaded, saved and restored like the other
// rows, and a choice that cannot run is refused before anything is written.
using WconfigPdfTest = testing::SettingsFixture;

TEST_F(WconfigPdfTest, ChoicesAreSavedShownAgainAndRestoredToNone) {
    writeFile("[sdef]\nsfth=y\n");
    {
        wconfig w(desktop);
        PdfOutputGroup& g = *w.pdfGroup;
        EXPECT_TRUE(QRect(QPoint(), w.size()).contains(g.geometry()));
        EXPECT_FALSE(g.geometry().intersects(w.mle_1->geometry()));
        EXPECT_FALSE(g.geometry().intersects(w.cb_1->geometry()));
        EXPECT_EQ(g.openPassword->echoMode(), QLineEdit::Password);
        // A file without the keys: nothing protected, marked or merged.
        EXPECT_FALSE(g.options().protection.any());
        EXPECT_FALSE(g.options().watermark.any());
        EXPECT_FALSE(g.merge->isChecked());
        EXPECT_TRUE(g.keepParts->isChecked());
        g.openPassword->setText("开门 1");
        g.permissionsPassword->setText("主人");
        g.noCopy->setChecked(true);
        g.watermarkText->setText("内部资料");
        g.watermarkSize->setValue(60);
        g.watermarkOpacity->setValue(25);
        g.watermarkTiled->setChecked(false);
        g.merge->setChecked(true);
        g.mergeName->setText("全部合同");
        g.keepParts->setChecked(false);
        w.cb_6_clicked();
    }
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "保存成功");
    // Passwords are kept as the open-password list is: not in plain text.
    EXPECT_FALSE(fileText().contains(QStringLiteral("开门").toUtf8()));
    EXPECT_FALSE(fileText().contains(QStringLiteral("主人").toUtf8()));
    EXPECT_TRUE(key("sdef", "pdfdk").startsWith("q1:"));
    EXPECT_EQ(key("sdef", "jzfz"), "y");
    EXPECT_EQ(key("sdef", "jzdy"), "n");
    EXPECT_EQ(key("sdef", "syzw"), "内部资料");
    EXPECT_EQ(key("sdef", "hbwj"), "全部合同");

    wconfig again(desktop);
    PdfOptions chosen;
    chosen.protection = {"开门 1", "主人", false, true, false};
    chosen.watermark = {"内部资料", 60, 25, false};
    chosen.merge = {true, "全部合同", false};
    testing::expectSamePdfOptions(again.pdfGroup->options(), chosen);

    again.cb_1_clicked();
    EXPECT_EQ(key("sdef", "pdfdk"), "<missing>");
    EXPECT_EQ(key("sdef", "syzw"), "<missing>");
    EXPECT_FALSE(again.pdfGroup->options().protection.any());
    EXPECT_EQ(again.pdfGroup->openPassword->text(), "");
    EXPECT_FALSE(again.pdfGroup->merge->isChecked());
}

TEST_F(WconfigPdfTest, PdfaWithAPasswordIsRefusedAndNothingIsWritten) {
    writeFile("[sdef]\nsfth=y\n");
    const QByteArray before = fileText();
    wconfig w(desktop);
    w.ddlb_3->setCurrentIndex(2);  // PDF/A-2b
    w.pdfGroup->openPassword->setText("pw");
    w.sle_5->setText("#changed");
    w.cb_6_clicked();
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].title, "提示");
    EXPECT_EQ(desktop.messages[0].text, pdfOptionsRefusal(2, w.pdfGroup->options()));
    EXPECT_TRUE(desktop.messages[0].text.contains("PDF/A"));
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(w.result(), QDialog::Rejected) << "the window was not closed as saved";

    // Only forbidding printing is encryption too; without protection the save goes through.
    w.pdfGroup->openPassword->clear();
    w.pdfGroup->noPrint->setChecked(true);
    w.cb_6_clicked();
    EXPECT_EQ(desktop.messages.size(), 2);
    EXPECT_EQ(fileText(), before);
    w.pdfGroup->noPrint->setChecked(false);
    w.cb_6_clicked();
    EXPECT_EQ(desktop.messages.back().text, "保存成功");
    EXPECT_EQ(key("sdef", "pdfa"), "2");
}

}  // namespace
}  // namespace quorv
