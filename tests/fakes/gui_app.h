#pragma once

#include <QApplication>

namespace quorv::testing {

// The one QApplication of a widget test binary, created on first use (the tests run
// with the offscreen platform). It is never destroyed: tearing it down among the other
// statics at exit crashes.
inline QApplication& guiApp() {
    static int argc = 1;
    static char arg0[] = "quorv-gui-test";
    static char* argv[] = {arg0, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace quorv::testing
