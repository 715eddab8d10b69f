// What the interactive program's start-up sets on the application: Qt's own texts in
// Chinese, the icon on both windows, and one CJK sans family in every widget.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "engines/desktop/appstyle.h"
#include "engines/desktop/qtdesktop.h"
#include "fakes/qt_print.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/settings/wconfig.h"
#include "programs/quorvane/desktopsetup.h"

namespace quorv {
namespace {

QApplication& preparedApp() {
    QApplication& app = testing::guiApp();
    static const bool loaded = prepareDesktopApplication(app);
    EXPECT_TRUE(loaded) << "Qt's Chinese translation is not installed";
    return app;
}

// Every widget below `top` (and `top` itself) whose font does not resolve to the
// interface family, with the family it got instead.
QStringList widgetsOffTheFamily(QWidget* top) {
    QStringList off;
    QList<QWidget*> all = top->findChildren<QWidget*>();
    all.prepend(top);
    for (QWidget* w : all) {
        const QString got = QFontInfo(w->font()).family();
        if (got != uiFontFamily()) {
            off.append(QStringLiteral("%1 (%2): %3")
                           .arg(w->objectName(), QLatin1String(w->metaObject()->className()), got));
        }
    }
    return off;
}

TEST(DesktopStart, StandardButtonsReadChinese) {
    preparedApp();
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), "确定");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "取消");

    // The message box the program shows through its desktop port.
    QtDesktop desktop;
    QString okText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->buttons().size(), 1);
        okText = box->buttons().first()->text();
        box->accept();
    });
    desktop.messageBox("提示", "转换完成");
    EXPECT_EQ(okText, "确定");
}

TEST(DesktopStart, QtsFileDialogSpeaksChinese) {
    preparedApp();
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* lookIn = dialog.findChild<QLabel*>("lookInLabel");
    ASSERT_NE(lookIn, nullptr);
    EXPECT_FALSE(lookIn->text().contains("Look in"));
    EXPECT_TRUE(lookIn->text().contains(QChar(0x67E5))) << lookIn->text().toStdString();  // 查
}

TEST(DesktopStart, BothWindowsCarryTheApplicationsIcon) {
    preparedApp();
    testing::WindowFixture fx;
    w_frn window(fx.desktop);
    wconfig settings(fx.desktop);
    for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&settings)}) {
        const QIcon icon = w->windowIcon();
        ASSERT_FALSE(icon.isNull()) << w->objectName().toStdString();
        // Every size a title bar or a launcher asks for is drawn, not just scaled.
        for (int size : {16, 32, 48, 256}) {
            const QPixmap p = icon.pixmap(QSize(size, size));
            EXPECT_EQ(p.size(), QSize(size, size)) << w->objectName().toStdString();
            // The middle of the page is drawn, not transparent.
            EXPECT_GT(p.toImage().pixelColor(size / 2, size / 2).alpha(), 200);
        }
    }
    EXPECT_FALSE(QApplication::windowIcon().isNull());
}

TEST(DesktopStart, EveryWidgetOfBothWindowsUsesTheOneCjkSansFamily) {
    preparedApp();
    ASSERT_EQ(QFontInfo(uiFont(9)).family(), uiFontFamily()) << "fonts-noto-cjk missing";
    testing::WindowFixture fx;
    w_frn window(fx.desktop);
    window.open();
    window.show();
    EXPECT_EQ(widgetsOffTheFamily(&window), QStringList());
    // The scaling for another screen changes sizes, never the family.
    const int before = window.cb_1->font().pointSize();
    window.f_resize(QSize(1920, 1080));
    EXPECT_EQ(widgetsOffTheFamily(&window), QStringList());
    EXPECT_GT(window.cb_1->font().pointSize(), before);

    wconfig settings(fx.desktop);
    settings.show();
    EXPECT_EQ(widgetsOffTheFamily(&settings), QStringList());
    // Bold where the settings window asks for it, regular elsewhere.
    EXPECT_TRUE(QFontInfo(settings.cb_6->font()).bold());
    EXPECT_TRUE(QFontInfo(settings.ddlb_2->font()).bold());
    EXPECT_FALSE(QFontInfo(settings.cb_3->font()).bold());

    // Qt's own dialogs follow the application font.
    QMessageBox box(QMessageBox::NoIcon, "提示", "完成", QMessageBox::Ok);
    EXPECT_EQ(widgetsOffTheFamily(&box), QStringList());
}

}  // namespace
}  // namespace quorv
