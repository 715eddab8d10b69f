#pragma once

// The confinement of an office instance: a process with no network and a file system of
// its own (LibreOffice, the system's fonts and configuration, its profile, its exchange
// folder), started through bubblewrap.

#include <QString>
#include <QStringList>

namespace quorv::office {

// What a document loaded by an instance may reach besides itself.
enum class LinkAccess {
    None,        // nothing: sources are loaded from the instance's exchange folder
    LocalFiles,  // the machine's files, read-only (but for the system's /tmp), so that
                 // links to the user's own pictures are followed; never the network
};

// The folders an instance works in.
struct SandboxLayout {
    QString profile;    // its LibreOffice profile, writable at its own path
    QString exchange;   // sources in, outputs out, writable at its own path
    QString tmp;        // seen as /tmp inside (LibreOffice's temporary files, its pipe)
    QStringList fonts;  // the user's font folders and font configuration, seen read-only
    LinkAccess access = LinkAccess::None;
};

// The user's own typefaces and their configuration (~/.fonts, $XDG_DATA_HOME/fonts,
// $XDG_CONFIG_HOME/fontconfig, $XDG_CACHE_HOME/fontconfig), so that documents look as
// before.
QStringList userFontFolders();

// The sandbox program's arguments up to (not including) the command it runs.
QStringList sandboxArguments(const SandboxLayout& layout);

// The bubblewrap program; empty when none is installed. Tests point it elsewhere.
QString sandboxProgram();
void setSandboxProgram(const QString& program);

// Whether the sandbox starts on this machine (tried once per program and program path);
// `why` says what failed.
bool sandboxWorks(QString* why = nullptr);

}  // namespace quorv::office
