#pragma once

// Names a careless shell command line would execute or split, and the check that nothing
// was executed: every command substitution among them would create kMarker.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace quorv::testing {

inline const QString kMarker = QStringLiteral("quorv_hostile_marker");

// File names (without extension) that quote, substitute, chain or split.
inline QStringList hostileBases() {
    return {QStringLiteral("blank name"),
            QStringLiteral("dq\"uote"),
            QStringLiteral("sq'uote"),
            QStringLiteral("$(touch quorv_hostile_marker)"),
            QStringLiteral("`touch quorv_hostile_marker`"),
            QStringLiteral("semi;touch quorv_hostile_marker"),
            QStringLiteral("new\nline"),
            QStringLiteral("pct%20hash#q?"),
            QStringLiteral("-o dash")};
}

// A folder name of the same kind, for the folders the names lie in.
inline const QString kHostileFolder = QStringLiteral("dir $(touch quorv_hostile_marker);`x`");

// Paths of every marker file anywhere below `trees`, or directly in the working
// directory, the home folder or the temporary folder (where a shell would have run).
inline QStringList markersUnder(const QStringList& trees) {
    QStringList found;
    for (const QString& root : trees) {
        QDirIterator it(root, {kMarker}, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
    }
    for (const QString& flat : {QDir::currentPath(), QDir::homePath(), QDir::tempPath()}) {
        if (QFileInfo::exists(flat + QLatin1Char('/') + kMarker)) found << flat + "/" + kMarker;
    }
    return found;
}

// Ten megabytes of random bytes rich in line ends, brackets and equals signs, NULs
// included: a settings file gone to garbage.
inline QByteArray garbageSettings() {
    QByteArray data(10 * 1024 * 1024, '\0');
    quint32 x = 2463534242u;
    for (char& c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const quint32 pick = x % 100;
        c = pick < 8 ? '\n' : pick < 12 ? '[' : pick < 16 ? ']' : pick < 20 ? '=' : char(x >> 24);
    }
    return data;
}

}  // namespace quorv::testing
