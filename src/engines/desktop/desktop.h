#pragma once

#include <QString>
#include <QStringList>

namespace quorv {

// Everything the handlers need from a person or the window system. The program uses
// QtDesktop; tests use a scripted one that answers dialogs from a queue.
class Desktop {
  public:
    virtual ~Desktop() = default;

    // A modal message box with a single OK button.
    virtual void messageBox(const QString& title, const QString& text) = 0;

    // Folder dialog opened at startFolder (the dialog's own choice when empty): true and
    // the chosen folder, or false when cancelled.
    virtual bool folderDialog(const QString& title, const QString& startFolder,
                              QString* folder) = 0;

    struct FileOpenResult {
        int result = 0;     // 1 chosen, 0 cancelled, -1 failed
        QString folder;     // the folder of the chosen files, ending in "/"
        QStringList names;  // file names without folder
    };
    // File-open dialog. filter is "description,pattern[,description,pattern...]".
    virtual FileOpenResult fileOpenDialog(const QString& title, const QString& filter,
                                          const QString& defaultExtension,
                                          const QString& startFolder, bool multiple) = 0;

    struct FileSaveResult {
        int result = 0;       // 1 chosen, 0 cancelled, -1 failed
        QString path;         // the full path of the file to write
        int filterIndex = 0;  // which of the filter's choices the user picked, from 0
    };
    // File-save dialog with the same filter form as fileOpenDialog.
    virtual FileSaveResult fileSaveDialog(const QString& title, const QString& filter,
                                          const QString& defaultExtension,
                                          const QString& startFolder) = 0;

    // Opens a file with the desktop's default program; false when that is not possible.
    virtual bool openFile(const QString& path) = 0;

    // Puts a text on the clipboard.
    virtual void copyText(const QString& text) = 0;

    virtual void setBusyCursor(bool on) = 0;
    virtual void minimizeMainWindow() = 0;
    virtual void restoreMainWindow() = 0;

    // Whether Escape is held down right now.
    virtual bool escapeHeld() = 0;
};

}  // namespace quorv
