#pragma once

// The last step of a PDF output: the watermark and the protection the request asks for,
// after the office wrote the file and before the output check reads it.

#include <QString>

#include "core/pdfoptions.h"

class QPDFWriter;

namespace quorv::pdf {

// Rewrites the PDF at `path` in place with the watermark and the protection of `options`
// (nothing to do: true, the file untouched). The new file replaces the old one only once
// it has been written whole; otherwise the old file stays and the reason is in *error.
// Whether it reads is the output check's to say. Encryption is AES-256.
bool postProcessPdf(const QString& path, const PdfOptions& options, QString* error = nullptr);

// Sets AES-256 encryption with the passwords and restrictions of `protection` on a
// writer (nothing when it asks for none). Without a permissions password the restrictions
// are locked with a random one, so that the open password alone cannot lift them. The
// passwords' keys are derived once per protection in the process: files written with the
// same protection carry the same encryption entries and file key. Thread-safe.
void setProtection(QPDFWriter& writer, const PdfProtection& protection);

// The pages of the PDF at `path` opened with `password`, or -1 when it does not open.
int pdfPagesWithPassword(const QString& path, const QString& password);

}  // namespace quorv::pdf
