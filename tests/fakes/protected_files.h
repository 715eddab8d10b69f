#pragma once

// The passwords of the protected documents in tests/engines/office/files, as
// make_protected.py writes them.

#include <QString>

namespace quorv::testing {

inline const QString kWordPassword = QStringLiteral("Quorv密码7");  // every .doc and .docx
inline const QString kBookPassword = QStringLiteral("Tabelle-42");  // locked.xls

}  // namespace quorv::testing
