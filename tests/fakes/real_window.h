#pragma once

// The main window over the real office, as the real-office window tests drive it: an output
// folder, the built SWF tool with the folder of its intermediate PDFs, and each run's rows
// and messages read back. A test that includes this names the tool (PDF2SWF_PATH).

#include <QDir>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "core/defaults.h"
#include "engines/office/officeinstance.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/w_frn.h"

namespace quorv::testing {

struct RealOfficeWindow : WindowFixture {
    w_frn w{desktop};
    QTemporaryDir out;

    explicit RealOfficeWindow(const QByteArray& ini = QByteArray()) : WindowFixture(ini) {
        w.open(QSize(1280, 768));
        QDir().mkpath(dir.path() + QStringLiteral("/pdf"));
        writeSetting(profile, Key::Swftprg, QStringLiteral(PDF2SWF_PATH));
        w.sle_2->setText(out.path());
    }
    // The files of a folder, as "添加目录" adds them.
    void addFolder(const QString& folder) {
        desktop.folderAnswers = {folder};
        QTest::mouseClick(w.cb_1, Qt::LeftButton);
        desktop.messages.clear();
    }
    // Runs "开始输出" in `mode`, which leaves no office instance running; each row as
    // "subfolder/name:result", and ":reason" after it when asked.
    QStringList run(OutputMode mode, bool withReasons = false) {
        desktop.messages.clear();
        w.setOutputMode(mode);
        QTest::mouseClick(w.cb_3, Qt::LeftButton);
        EXPECT_TRUE(office::OfficeInstance::runningPids().isEmpty()) << "the run's instances ended";
        QStringList rows;
        for (int i = 1; i <= w.list().rowCount(); ++i) {
            QString row = w.list().cellText(i, "zml") + w.list().cellText(i, "filey") + ":" +
                          w.list().cellText(i, "jg");
            if (withReasons) row += ":" + w.list().cellText(i, "yy");
            rows << row;
        }
        return rows;
    }
    QString lastMessage() const {
        return desktop.messages.empty() ? QString() : desktop.messages.back().text;
    }
    QString outPath(const QString& rel) const { return out.path() + "/" + rel; }
};

}  // namespace quorv::testing
