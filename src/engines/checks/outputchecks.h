#pragma once

// The checks an output passes before its row counts as converted, by kind. Each reads
// only the file; none changes it.

#include <QString>

#include "convert/outputcheck.h"

namespace quorv::checks {

// The pages of a PDF that poppler opens, else 0. A protected output opens with its open
// password; without one only an unprotected file does.
int pdfPageCount(const QString& path, const QString& openPassword);
int pdfPageCount(const QString& path);
// Opens with poppler, has at least one page, and ends with the end-of-file marker.
bool pdfReads(const QString& path, const QString& openPassword);
bool pdfReads(const QString& path);
// A complete zip (its central directory read) holding a fixed document sequence and a page.
bool xpsReads(const QString& path);
// An uncompressed (FWS) or zlib-compressed (CWS) SWF as long as its header says, with at
// least one frame.
bool swfReads(const QString& path);
// The check of one kind; Text: not empty unless the source is.
bool outputReads(const QString& output, OutputKind kind, const QString& source,
                 const QString& openPassword = QString());

}  // namespace quorv::checks
