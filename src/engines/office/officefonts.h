#pragma once

// The typefaces documents ask for and the free faces that stand in for them. Documents
// made on Windows name fonts this machine lacks (宋体, 黑体, 仿宋_GB2312, Calibri, ...);
// without a table LibreOffice draws every Chinese run in one sans face and Word's Latin
// defaults in much wider faces.

#include <QList>
#include <QString>
#include <QStringList>

namespace quorv::office {

// The style a requested family belongs to, as the stand-in keeps it.
enum class FaceStyle { Song, Hei, FangSong, Kai, LatinSans, LatinSerif, LatinMono, Other };

struct FaceReplacement {
    QString requested;   // as documents name it
    QString substitute;  // the family LibreOffice draws instead
    FaceStyle style;
};

// The whole table, in a fixed order: every requested name once.
const QList<FaceReplacement>& faceReplacements();

// Font files that fontconfig does not show (the Fandol faces live inside TeX Live's tree)
// but that an instance may load from its profile's font folder.
struct PrivateFace {
    QString family;     // the family name LibreOffice gives the face
    QStringList files;  // where Debian puts it, first found wins
};
const QList<PrivateFace>& privateFaces();

// The entries of the table that this machine can honour: the substitute is installed
// (or a private face whose file exists), and the requested family itself is not (a user
// who has the real 宋体 keeps it).
QList<FaceReplacement> usableReplacements();

// Links the private faces into `profile`'s font folder, where an instance loads them.
// Links to faces that are gone are removed. False when the folder cannot be made.
bool linkPrivateFaces(const QString& profile);

}  // namespace quorv::office
