#include "fakes/scripted_desktop.h"

namespace quorv::testing {

void ScriptedDesktop::messageBox(const QString& title, const QString& text) {
    messages.push_back({title, text});
}

bool ScriptedDesktop::folderDialog(const QString& title, const QString& startFolder,
                                   QString* folder) {
    dialogTitles.append(title);
    folderStarts.append(startFolder);
    if (folderAnswers.empty()) return false;
    QString answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (answer.isEmpty()) return false;
    *folder = answer;
    return true;
}

Desktop::FileOpenResult ScriptedDesktop::fileOpenDialog(const QString& title, const QString&,
                                                        const QString&, const QString&, bool) {
    dialogTitles.append(title);
    if (fileOpenAnswers.empty()) return {};
    FileOpenResult r = fileOpenAnswers.front();
    fileOpenAnswers.pop_front();
    return r;
}

Desktop::FileSaveResult ScriptedDesktop::fileSaveDialog(const QString& title, const QString&,
                                                        const QString&, const QString&) {
    dialogTitles.append(title);
    if (fileSaveAnswers.empty()) return {};
    FileSaveResult r = fileSaveAnswers.front();
    fileSaveAnswers.pop_front();
    return r;
}

bool ScriptedDesktop::openFile(const QString& path) {
    openedFiles.append(path);
    return openFileSucceeds;
}

void ScriptedDesktop::setBusyCursor(bool on) { busyDepth += on ? 1 : -1; }

bool ScriptedDesktop::escapeHeld() {
    if (escapeAnswers.empty()) return false;
    bool held = escapeAnswers.front();
    escapeAnswers.pop_front();
    return held;
}

}  // namespace quorv::testing
