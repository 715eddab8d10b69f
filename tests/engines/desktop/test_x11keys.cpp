// Escape held on an X11 display reaches a run whose window is minimised: the key's
// global state is read, not the window's key events. A private X server and xdotool
// stand in for the user's display and finger.
#include <QApplication>
#include <QProcess>
#include <QWidget>

#include "engines/desktop/qtdesktop.h"
#include "engines/desktop/x11keys.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

bool xdotool(const QString& display, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(X11Escape, HeldEscapeIsSeenWithTheWindowMinimisedAndNotAfterRelease) {
    QProcess server;
    // The server writes its display number to the given descriptor once it accepts clients.
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    ASSERT_TRUE(server.waitForStarted(10000)) << "Xvfb is installed by install-deps";
    ASSERT_TRUE(server.waitForReadyRead(20000));
    const QString display = ":" + QString::fromLatin1(server.readLine()).trimmed();
    qputenv("DISPLAY", display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    {
        int argc = 1;
        char name[] = "test_x11keys";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        QtDesktop desktop;
        QWidget window;
        desktop.setMainWindow(&window);
        window.show();
        desktop.minimizeMainWindow();
        QApplication::processEvents();

        EXPECT_FALSE(x11EscapeDown());
        EXPECT_FALSE(desktop.escapeHeld());
        ASSERT_TRUE(xdotool(display, {"keydown", "Escape"}));
        EXPECT_TRUE(x11EscapeDown());
        EXPECT_TRUE(desktop.escapeHeld()) << "no key event reaches a minimised window";
        ASSERT_TRUE(xdotool(display, {"keyup", "Escape"}));
        EXPECT_FALSE(x11EscapeDown());
        EXPECT_FALSE(desktop.escapeHeld());
    }
    server.terminate();
    server.waitForFinished(5000);
}

}  // namespace
}  // namespace quorv
