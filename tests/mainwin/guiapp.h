#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "app/quorvapp.h"
#include "fakes/scripted_desktop.h"
#include "mainwin/w_frn.h"
#include "settings/globals.h"
#include "settings/ini.h"

namespace quorv::testing {

inline QApplication& guiApp() {
    static int argc = 1;
    static char arg0[] = "test_mainwin_gui";
    static char* argv[] = {arg0, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A main window over a settings file in a fresh folder, as the program starts it.
struct WindowFixture {
    QTemporaryDir dir;
    ScriptedDesktop desktop;
    QuorvApp app;
    QString profile;

    explicit WindowFixture(const QByteArray& ini = QByteArray()) {
        guiApp();
        app.setReportSink([this](const QString& t, const QString& s) { desktop.messageBox(t, s); });
        globals().ap_path = dir.path();
        profile = dir.path() + "/tovk.ini";
        if (!ini.isNull()) {
            QFile f(profile);
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
    }
    QString key(const char* section, const char* name) const {
        return readIniKey(profile, section, name, "<missing>");
    }
};

}  // namespace quorv::testing
