#include "engines/desktop/qtdesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QUrl>
#include <algorithm>

#include "engines/desktop/x11keys.h"

namespace quorv {

bool EscapeWatcher::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
            held_ = type == QEvent::KeyPress;
        }
    } else if (type == QEvent::ApplicationDeactivate) {
        held_ = false;  // a release outside our windows never reaches us
    }
    return QObject::eventFilter(watched, event);
}

QtDesktop::QtDesktop() {
    if (qApp) qApp->installEventFilter(&escape_);
}

QtDesktop::~QtDesktop() {
    if (qApp) qApp->removeEventFilter(&escape_);
}

QWidget* QtDesktop::parent() const {
    if (QWidget* active = QApplication::activeModalWidget()) return active;
    return mainWindow_.data();
}

void QtDesktop::messageBox(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent());
    box.exec();
}

bool QtDesktop::folderDialog(const QString& title, const QString& startFolder, QString* folder) {
    const QString dir = QFileDialog::getExistingDirectory(parent(), title, startFolder);
    if (dir.isEmpty()) return false;
    *folder = dir;
    return true;
}

QString qtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char(','));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString globs = parts[i + 1];
        globs.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i].trimmed() + QStringLiteral(" (") + globs.trimmed() +
                       QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

Desktop::FileOpenResult QtDesktop::fileOpenDialog(const QString& title, const QString& filter,
                                                  const QString& defaultExtension,
                                                  const QString& startFolder, bool multiple) {
    QFileDialog dlg(parent(), title, startFolder, qtNameFilter(filter));
    dlg.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(defaultExtension);
    FileOpenResult r;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return r;
    const QStringList files = dlg.selectedFiles();
    r.result = 1;
    r.folder = QFileInfo(files.first()).absolutePath();
    if (!r.folder.endsWith(QLatin1Char('/'))) r.folder += QLatin1Char('/');
    for (const QString& f : files) r.names.append(QFileInfo(f).fileName());
    return r;
}

QStringList filterExtensions(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char(','));
    QStringList exts;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString glob = parts[i + 1].trimmed().section(QLatin1Char(';'), 0, 0);
        const qsizetype dot = glob.lastIndexOf(QLatin1Char('.'));
        QString ext = dot >= 0 ? glob.mid(dot + 1) : QString();
        if (ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?'))) ext.clear();
        exts.append(ext);
    }
    return exts;
}

Desktop::FileSaveResult QtDesktop::fileSaveDialog(const QString& title, const QString& filter,
                                                  const QString& defaultExtension,
                                                  const QString& startFolder) {
    const QStringList names = qtNameFilter(filter).split(QStringLiteral(";;"));
    const QStringList exts = filterExtensions(filter);
    QFileDialog dlg(parent(), title, startFolder);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters(names);
    dlg.setDefaultSuffix(defaultExtension);
    // A name typed without extension gets the one of the choice shown at that moment.
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&](const QString& chosen) {
        const qsizetype i = names.indexOf(chosen);
        if (i >= 0 && i < exts.size()) dlg.setDefaultSuffix(exts[i]);
    });
    FileSaveResult r;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return r;
    r.result = 1;
    r.path = dlg.selectedFiles().first();
    r.filterIndex =
        static_cast<int>(std::max<qsizetype>(0, names.indexOf(dlg.selectedNameFilter())));
    return r;
}

bool QtDesktop::openFile(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDesktop::copyText(const QString& text) {
    if (QClipboard* c = QGuiApplication::clipboard()) c->setText(text);
}

void QtDesktop::setBusyCursor(bool on) {
    if (on) {
        if (busyDepth_++ == 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void QtDesktop::minimizeMainWindow() {
    if (mainWindow_) mainWindow_->showMinimized();
}

void QtDesktop::restoreMainWindow() {
    if (mainWindow_) mainWindow_->showNormal();
}

bool QtDesktop::escapeHeld() { return escape_.held() || x11EscapeDown(); }

}  // namespace quorv
