#pragma once

// What a document's own bytes say before any office reads it: a password that the office
// would ask for, or a Word 2007 document that is no such package (LibreOffice would import
// it as plain text and report success).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "core/failreason.h"

namespace quorv {

// Password for a .doc/.dot whose Word header, or a .xls/.xlt whose workbook stream, is
// marked encrypted, and for an OOXML name (.docx, .xlsx, ...) that holds an encrypted
// package. Damaged for a .docx/.docm/.dotx that is neither a zip package with a main
// document part, nor an encrypted package, nor a Word 97 document (checked as a .doc).
// None otherwise, also for files that cannot be read: the office then says what it finds.
FailReason documentBytesProblem(const QString& path);

// The names of the members of a zip archive, or nothing when the bytes are not a complete
// zip archive (a truncated one loses its central directory at the end).
QStringList zipMemberNames(const QByteArray& bytes, bool* ok);

}  // namespace quorv
