#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include "core/globals.h"
#include "core/quorvapp.h"
#include "fakes/gui_app.h"
#include "fakes/qt_print.h"
#include "fakes/scripted_desktop.h"
#include "gtest/gtest.h"
#include "gui/mainwin/w_frn.h"

namespace quorv {
namespace {

TEST(QuorvaneStart, MainWindowOpensWithTitleAndFindsSettingsInWorkingDirectory) {
    QApplication& qtApp = testing::guiApp();
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    testing::ScriptedDesktop desktop;
    QuorvApp app;
    app.setReportSink([&](const QString& t, const QString& s) { desktop.messageBox(t, s); });
    app.startCommon();
    QDir::setCurrent(old);

    w_frn window(desktop);
    window.open();
    window.show();
    EXPECT_EQ(window.windowTitle(), "Quorvane(V2.1)");
    EXPECT_EQ(globals().profile, QDir(dir.path()).canonicalPath() + "/tovk.ini");

    EXPECT_TRUE(window.isVisible());
    // A failing handler is reported and the window goes on receiving events.
    bool later = false;
    bool stillShown = false;
    QTimer::singleShot(0, [&] {
        runHandler("w_frn", "cb_3.clicked", [] { throw RuntimeError(32, "o", "e", 1); });
    });
    QTimer::singleShot(10, [&] {
        later = true;
        stillShown = window.isVisible();
        qtApp.quit();
    });
    qtApp.exec();
    EXPECT_TRUE(later);
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(desktop.messages.size(), 1u);
}

}  // namespace
}  // namespace quorv
