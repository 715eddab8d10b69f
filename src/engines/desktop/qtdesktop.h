#pragma once

#include <QPointer>
#include <QWidget>

#include "engines/desktop/desktop.h"

namespace quorv {

// Remembers whether Escape is down; Qt has no query of a key's state of its own.
class EscapeWatcher : public QObject {
  public:
    bool held() const { return held_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool held_ = false;
};

class QtDesktop : public Desktop {
  public:
    QtDesktop();
    ~QtDesktop() override;
    void setMainWindow(QWidget* w) { mainWindow_ = w; }

    void messageBox(const QString& title, const QString& text) override;
    bool folderDialog(const QString& title, const QString& startFolder, QString* folder) override;
    FileOpenResult fileOpenDialog(const QString& title, const QString& filter,
                                  const QString& defaultExtension, const QString& startFolder,
                                  bool multiple) override;
    FileSaveResult fileSaveDialog(const QString& title, const QString& filter,
                                  const QString& defaultExtension,
                                  const QString& startFolder) override;
    bool openFile(const QString& path) override;
    void copyText(const QString& text) override;
    void setBusyCursor(bool on) override;
    void minimizeMainWindow() override;
    void restoreMainWindow() override;
    bool escapeHeld() override;

  private:
    QWidget* parent() const;
    QPointer<QWidget> mainWindow_;
    EscapeWatcher escape_;
    int busyDepth_ = 0;
};

// Qt's name filter ("Word (*.doc *.docx);;All (*.*)") from "description,pattern,..."
// where a pattern may list several globs separated by ";".
QString qtNameFilter(const QString& filter);

// The first extension of every choice of a "description,pattern,..." filter ("*.csv"
// gives "csv"; "*.*" gives the empty text).
QStringList filterExtensions(const QString& filter);

}  // namespace quorv
