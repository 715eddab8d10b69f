#pragma once

// The open passwords of the settings: tried on a source that opens only with a password.
// In the settings file they are kept obfuscated, not encrypted: the form keeps them from
// a reader's eye, but anyone with the file and this program can read them.

#include <QString>
#include <QStringList>

namespace quorv {

// The stored form of a list: "q1:" and the base64 of its lines (UTF-8, joined by line
// feeds) mixed with a fixed key stream; empty for an empty list.
QString encodeOpenPasswords(const QStringList& passwords);
// The list a stored form holds; empty for an empty text and for one not in that form.
QStringList decodeOpenPasswords(const QString& stored);

// The passwords of a multi-line field: one a line, empty lines left out, blanks kept.
QStringList openPasswordLines(const QString& text);

// The passwords of the settings file at profile ([sdef] dkmm).
QStringList readOpenPasswords(const QString& profile);
// Writes them; 1 on success, -1 on failure.
int writeOpenPasswords(const QString& profile, const QStringList& passwords);

}  // namespace quorv
