#pragma once

// Opening a source that may be protected by a password, the way a Word or Excel client
// does: the plain open first, then, when the server refuses the file as protected, the
// same open with each listed password as its fifth argument (Word's PasswordDocument,
// Excel's Password).

#include <QString>
#include <QStringList>

#include "convert/automation.h"

namespace quorv {

// Calls the open member at `open` (documents.open, workbooks.open) with `leading` (the
// file and the arguments before the password) and returns what it returns. A file that
// needs no password is opened once, as without passwords. When the server says the file
// is protected, each password is tried in turn until one opens it; when none does, the
// first refusal reaches the caller. Any other failure ends the tries at once: a timeout
// or a dead instance would only repeat.
Variant openWithPasswords(OleObject& app, const MemberPath& open, const VariantList& leading,
                          const QStringList& passwords);

// documents.open of a Word document.
void openWordDocument(OleObject& word, const QString& path, const QStringList& passwords);
// workbooks.open of an Excel workbook.
void openWorkbook(OleObject& excel, const QString& path, const QStringList& passwords);

}  // namespace quorv
