#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "core/globals.h"
#include "core/ini.h"
#include "core/quorvapp.h"
#include "fakes/gui_app.h"
#include "fakes/scripted_desktop.h"
#include "gui/mainwin/w_frn.h"

namespace quorv::testing {

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
    // The text of each message shown.
    QStringList texts() const {
        QStringList t;
        for (const auto& m : desktop.messages) t << m.text;
        return t;
    }
};

}  // namespace quorv::testing
