#pragma once

// What a document's own bytes say before any office reads it: a password that the office
// would ask for, or a Word 2007 document that is no such package (LibreOffice would import
// it as plain text and report success).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/failreason.h"

namespace quorv {

// Password for a .doc/.dot whose Word header, or a .xls/.xlt whose workbook stream, is
// marked encrypted, and for an OOXML name (.docx, .xlsx, ...) that holds an encrypted
// package. Damaged for a .docx/.docm/.dotx that is neither a zip package with a main
// document part, nor an encrypted package, nor a Word 97 document (checked as a .doc).
// None otherwise, also for files that cannot be read: the office then says what it finds.
FailReason documentBytesProblem(const QString& path);

// Which application's documents a file is: Word's (also RTF, web pages, OpenDocument text,
// Works), Excel's or PowerPoint's; Unknown when neither its bytes nor its name tell.
enum class DocKind { Unknown, Word, Excel, PowerPoint };

// The kind its bytes show: the streams of an OLE file, the content type of an OOXML
// package's main part, an OpenDocument mimetype, an RTF, HTML or MHT text. Unknown when the
// bytes show none of these (a damaged or encrypted package, plain text, a PDF, ...).
DocKind contentKind(const QString& path);

// The kind an extension names (lower or upper case): Word, Excel and PowerPoint's own,
// WPS Office's (wps/wpt, et/ett, dps/dpt), OpenDocument and RTF.
DocKind kindByExtension(const QString& path);

// The kind a file is converted as: what its bytes show, whatever its name says (a .doc that
// is a web page is Word's, an .xls that is OOXML is Excel's); a file whose bytes show no
// kind goes by its extension, so that a damaged one still gets its own reason from the
// office. Unknown when neither tells.
DocKind documentKind(const QString& path);

// The names of the members of a zip archive, or nothing when the bytes are not a complete
// zip archive (a truncated one loses its central directory at the end).
QStringList zipMemberNames(const QByteArray& bytes, bool* ok);

// The bytes of a member of at most 1 MiB, stored or deflated, of a complete zip archive;
// nothing when there is no such member or it does not read whole.
std::optional<QByteArray> zipMember(const QByteArray& bytes, const QString& name);

}  // namespace quorv
