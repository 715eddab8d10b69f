#pragma once

// What qpdf reads of a protected PDF's encryption: the entries of its encryption
// dictionary and the file key they lock. Reading them with a password derives the key,
// which AES-256 makes slow on purpose; a file whose entries are already known opens with
// the key alone.

#include <QString>
#include <optional>
#include <string>

namespace quorv::pdf {

struct PdfLock {
    std::string entries;  // the encryption dictionary as written, every value resolved
    std::string key;      // the file key those entries give for the password
};

// The lock of the encrypted PDF at `path` as `password` opens it; nothing when the file is
// not encrypted or does not open with it.
std::optional<PdfLock> readPdfLock(const QString& path, const QString& password);

// The pages of the PDF at `path` when it is encrypted with exactly `lock`'s entries and
// reads whole with its key: no damage repaired, every page's content decrypted and
// decoded. Nothing otherwise, whatever the reason.
std::optional<int> pagesUnderLock(const QString& path, const PdfLock& lock);

}  // namespace quorv::pdf
