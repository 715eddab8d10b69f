#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "engines/desktop/desktop.h"

namespace quorv::testing {

// A desktop without a display: dialogs are answered from queues filled by the test,
// and every message box is recorded in order.
class ScriptedDesktop : public Desktop {
  public:
    struct Message {
        QString title;
        QString text;
    };

    // Answers, consumed in order. An empty queue answers "cancelled".
    std::deque<QString> folderAnswers;  // an empty string means cancel
    std::deque<FileOpenResult> fileOpenAnswers;
    std::deque<FileSaveResult> fileSaveAnswers;
    // Result of openFile(); every path asked for is recorded in openedFiles.
    bool openFileSucceeds = true;
    QStringList openedFiles;
    QStringList copiedTexts;  // every text put on the clipboard, in order
    // Escape states returned by successive escapeHeld() calls; false once empty.
    std::deque<bool> escapeAnswers;

    std::vector<Message> messages;
    QStringList dialogTitles;  // titles of the dialogs asked, in order
    QStringList folderStarts;  // the start folder of every folder dialog, in order
    int busyDepth = 0;
    bool minimized = false;

    void messageBox(const QString& title, const QString& text) override;
    bool folderDialog(const QString& title, const QString& startFolder, QString* folder) override;
    FileOpenResult fileOpenDialog(const QString& title, const QString& filter,
                                  const QString& defaultExtension, const QString& startFolder,
                                  bool multiple) override;
    FileSaveResult fileSaveDialog(const QString& title, const QString& filter,
                                  const QString& defaultExtension,
                                  const QString& startFolder) override;
    bool openFile(const QString& path) override;
    void copyText(const QString& text) override { copiedTexts.append(text); }
    void setBusyCursor(bool on) override;
    void minimizeMainWindow() override { minimized = true; }
    void restoreMainWindow() override { minimized = false; }
    bool escapeHeld() override;
};

}  // namespace quorv::testing
