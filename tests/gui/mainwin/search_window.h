#pragma once

// A main window for content-search tests, over a scripted desktop that lets a test look
// at the window while the search runs.

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <functional>
#include <memory>

#include "convert/folderscan.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "core/quorvapp.h"
#include "fakes/gui_app.h"
#include "fakes/scripted_desktop.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnscan.h"
#include "gui/mainwin/w_frn.h"

namespace quorv::testing {

// A scripted desktop that lets a test look at the window while the search runs: at each
// Escape check (once per row) and at each message box.
struct ProbingDesktop : testing::ScriptedDesktop {
    std::function<void()> atEscapeCheck;
    std::function<void()> atMessage;
    bool escapeHeld() override {
        if (atEscapeCheck) atEscapeCheck();
        return ScriptedDesktop::escapeHeld();
    }
    void messageBox(const QString& title, const QString& text) override {
        if (atMessage) atMessage();
        ScriptedDesktop::messageBox(title, text);
    }
};

struct SearchWindowBase {
    QTemporaryDir dir;
    ProbingDesktop desktop;
    QuorvApp app;
    std::unique_ptr<w_frn> window;
    w_frn& w;

    SearchWindowBase() : w(make()) {}
    ~SearchWindowBase() { globals().awordhz.clear(); }

    w_frn& make() {
        testing::guiApp();
        app.setReportSink([this](const QString& t, const QString& s) { desktop.messageBox(t, s); });
        globals().ap_path = dir.path();
        globals().profile = dir.filePath("tovk.ini");
        // The fake office takes one caller at a time, and its call order is checked.
        writeSetting(globals().profile, Key::Pool, "1");
        window = std::make_unique<w_frn>(desktop);
        window->open(QSize(1280, 768));
        globals().awordhz.clear();
        return *window;
    }
    // Rows of files in `folder` (default: this window's folder, where a missing file is
    // made empty, so the fake office can open it).
    void add(const QStringList& names, const QString& folder = QString()) {
        const QString in = folder.isEmpty() ? dir.path() : folder;
        for (const QString& name : names) {
            QFile f(in + "/" + name);
            if (!f.exists()) {
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            }
            ScanRow r;
            r.ypath = in + "/";
            r.filey = name;
            appendScanRow(w.list(), std::move(r));
        }
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void search(const QString& text) {
        w.sle_3->setText(text);
        QTest::mouseClick(w.cb_5, Qt::LeftButton);
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& m : desktop.messages) out << m.text;
        return out;
    }
    QStringList marks() const {
        QStringList out;
        for (int r = 1; r <= w.list().rowCount(); ++r) {
            out << w.list().cellText(r, "filey") + (w.list().isSelected(r) ? " +" : " -") +
                       w.list().cellText(r, "jg");
        }
        return out;
    }
};

}  // namespace quorv::testing
