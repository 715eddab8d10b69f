#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorv {

// The settings file: INI text, read fresh on every call and never held open. A write
// replaces the whole file atomically while holding a lock beside it, so concurrent
// writers of different keys lose nothing and an interrupted write leaves the old file.
// Where nothing can be made beside the file (a read-only folder) but the file itself is
// writable, it is rewritten in place under a lock held on the file, flushed and checked.

// The stored text of [section] key, or defaultValue when the file, section or key is
// missing. Section and key names are compared without regard to case; the value is the
// text after the first "=", blanks around it dropped.
QString readIniKey(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue);

// Creates the file, section or key as needed and replaces the value. Returns 1 on
// success and -1 on failure (the old file is then unchanged).
int writeIniKey(const QString& file, const QString& section, const QString& key,
                const QString& value);

enum class IniRestoreResult {
    Ok,
    OpenFailed,   // the file is held by another writer, or missing and cannot be created
    WriteFailed,  // its new content could not be written or put in place
};

// Replaces the whole file with the given lines (each ended by LF).
IniRestoreResult replaceIniFile(const QString& file, const QStringList& lines);

// Decodes a settings file's bytes: UTF-8 (a BOM is dropped), or GB18030 for a legacy
// file that is not valid UTF-8.
QString decodeIniText(const QByteArray& bytes);

}  // namespace quorv
