#pragma once

// The checks an output passes before its row counts as converted, by kind. Each reads
// only the file; none changes it.

#include <QString>
#include <optional>

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
// A complete OFD package: OFD.xml names a Document.xml whose page tree lists `pages` pages
// (without a count, at least one), each with its content in the package.
bool ofdReads(const QString& path, std::optional<int> pages = std::nullopt);
// The check of one kind; Ofd: as many pages as `source` when it is a PDF that opens; Text: not
// empty unless the source is.
bool outputReads(const QString& output, OutputKind kind, const QString& source,
                 const QString& openPassword = QString());

}  // namespace quorv::checks
