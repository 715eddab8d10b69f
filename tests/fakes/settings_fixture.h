#pragma once

// The settings window's tests: a fresh folder as the program's own, its settings file, and
// the scripted desktop the window's messages go to.

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "core/globals.h"
#include "core/ini.h"
#include "core/quorvapp.h"
#include "fakes/gui_app.h"
#include "fakes/scripted_desktop.h"
#include "gtest/gtest.h"

namespace quorv::testing {

class SettingsFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        guiApp();
        app = std::make_unique<QuorvApp>();
        globals().ap_path = dir.path();
    }
    QString profile() const { return profilePathFor(dir.path()); }
    void writeFile(const QByteArray& text) {
        QFile f(profile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray fileText() const {
        QFile f(profile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString key(const char* section, const char* name) const {
        return readIniKey(profile(), section, name, "<missing>");
    }
    // "title/text" of each message shown.
    QStringList messageTexts() const {
        QStringList out;
        for (const auto& m : desktop.messages) out << m.title + "/" + m.text;
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<QuorvApp> app;
    ScriptedDesktop desktop;
};

}  // namespace quorv::testing
