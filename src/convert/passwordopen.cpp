#include "convert/passwordopen.h"

namespace quorv {

Variant openWithPasswords(OleObject& app, const MemberPath& open, const VariantList& leading,
                          const QStringList& passwords) {
    try {
        return app.call(open, {leading.value(0)});
    } catch (const RuntimeError& refused) {
        if (refused.reason() != FailReason::Password || passwords.isEmpty()) throw;
        for (const QString& password : passwords) {
            VariantList args = leading;
            args.append(password);
            try {
                return app.call(open, args);
            } catch (const RuntimeError& e) {
                if (e.reason() != FailReason::Password) throw;
            }
        }
        throw;
    }
}

void openWordDocument(OleObject& word, const QString& path, const QStringList& passwords) {
    // FileName, ConfirmConversions, ReadOnly, AddToRecentFiles, then PasswordDocument.
    openWithPasswords(word, {"documents", "open"}, {path, false, true, false}, passwords);
}

void openWorkbook(OleObject& excel, const QString& path, const QStringList& passwords) {
    // FileName, UpdateLinks (0: none), ReadOnly, Format (1: tabs, for text files), then
    // Password.
    openWithPasswords(excel, {"workbooks", "open"}, {path, 0, true, 1}, passwords);
}

}  // namespace quorv
