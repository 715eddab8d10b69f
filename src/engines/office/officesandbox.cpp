#include "engines/office/officesandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <mutex>

#include "core/programrun.h"

namespace quorv::office {

namespace {

// What LibreOffice and its libraries read outside /usr: its configuration links
// (/usr/lib/libreoffice/share/registry points into /etc), fonts, the loader cache, time
// zone and the names of users and groups. Nothing here holds a user's data.
const char* const kSystemFiles[] = {
    "/etc/libreoffice",
    "/etc/fonts",
    "/etc/ld.so.cache",
    "/etc/localtime",
    "/etc/alternatives",
    "/etc/papersize",
    "/etc/passwd",
    "/etc/group",
    "/etc/nsswitch.conf",
    "/var/lib/libreoffice",
    "/var/spool/libreoffice",
    "/var/cache/fontconfig",
};

std::mutex gMutex;
QString gProgram;
bool gProgramSet = false;
bool gProbed = false;
bool gWorks = false;
QString gWhy;

}  // namespace

QStringList sandboxArguments(const SandboxLayout& layout) {
    QStringList a{QStringLiteral("--unshare-all"), QStringLiteral("--die-with-parent")};
    auto roBind = [&](const QString& path) {
        a << QStringLiteral("--ro-bind-try") << path << path;
    };
    if (layout.access == LinkAccess::LocalFiles) {
        a << QStringLiteral("--ro-bind") << QStringLiteral("/") << QStringLiteral("/");
    } else {
        a << QStringLiteral("--ro-bind") << QStringLiteral("/usr") << QStringLiteral("/usr");
        // Merged /usr systems link these into /usr; others have folders of their own.
        for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
            const QFileInfo info(QString::fromLatin1(top));
            if (info.isSymLink()) {
                a << QStringLiteral("--symlink") << info.symLinkTarget() << info.filePath();
            } else if (info.isDir()) {
                roBind(info.filePath());
            }
        }
        for (const char* path : kSystemFiles) roBind(QString::fromLatin1(path));
    }
    a << QStringLiteral("--dev") << QStringLiteral("/dev") << QStringLiteral("--proc")
      << QStringLiteral("/proc");
    // Files the user keeps in /tmp are the user's files too: with local links followed the
    // instance shares the system's /tmp (and makes its pipe there).
    const QString tmp =
        layout.access == LinkAccess::LocalFiles ? QStringLiteral("/tmp") : layout.tmp;
    a << QStringLiteral("--bind") << tmp << QStringLiteral("/tmp");
    // After /tmp, so that font folders below it stay visible.
    if (layout.access == LinkAccess::None) {
        for (const QString& folder : layout.fonts) roBind(folder);
    }
    a << QStringLiteral("--bind") << layout.profile << layout.profile;
    a << QStringLiteral("--bind") << layout.exchange << layout.exchange;
    a << QStringLiteral("--setenv") << QStringLiteral("TMPDIR") << QStringLiteral("/tmp");
    a << QStringLiteral("--chdir") << QStringLiteral("/");
    return a;
}

QStringList userFontFolders() {
    const QString home = QDir::homePath();
    auto xdg = [&](const char* variable, const char* fallback) {
        const QString v = qEnvironmentVariable(variable);
        return v.startsWith(QLatin1Char('/')) ? v : home + QLatin1String(fallback);
    };
    return {home + QStringLiteral("/.fonts"),
            xdg("XDG_DATA_HOME", "/.local/share") + QStringLiteral("/fonts"),
            xdg("XDG_CONFIG_HOME", "/.config") + QStringLiteral("/fontconfig"),
            xdg("XDG_CACHE_HOME", "/.cache") + QStringLiteral("/fontconfig")};
}

QString sandboxProgram() {
    std::lock_guard lock(gMutex);
    if (!gProgramSet) {
        gProgram = QStandardPaths::findExecutable(QStringLiteral("bwrap"));
        gProgramSet = true;
    }
    return gProgram;
}

void setSandboxProgram(const QString& program) {
    std::lock_guard lock(gMutex);
    gProgram = program;
    gProgramSet = true;
    gProbed = false;
}

bool sandboxWorks(QString* why) {
    const QString program = sandboxProgram();
    std::lock_guard lock(gMutex);
    if (!gProbed) {
        gProbed = true;
        gWorks = false;
        gWhy.clear();
        QTemporaryDir dir;
        if (program.isEmpty()) {
            gWhy = QStringLiteral("bwrap is not installed");
        } else if (!dir.isValid()) {
            gWhy = QStringLiteral("no temporary folder");
        } else {
            // The same confinement an instance gets, around a program that only returns.
            SandboxLayout layout;
            layout.profile = layout.exchange = layout.tmp = dir.path();
            ProgramStart start;
            start.program = program;
            start.arguments = sandboxArguments(layout);
            start.arguments << QStringLiteral("--") << QStringLiteral("/usr/bin/true");
            ProgramLimits limits;
            limits.timeoutMs = 10000;
            const ProgramResult r = runProgram(start, limits);
            gWorks = r.succeeded;
            if (!gWorks) {
                gWhy = r.errorText.trimmed().isEmpty() ? QStringLiteral("bwrap failed")
                                                       : r.errorText.trimmed();
            }
        }
    }
    if (why) *why = gWhy;
    return gWorks;
}

}  // namespace quorv::office
