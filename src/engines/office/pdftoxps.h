#pragma once

#include <QString>

namespace quorv::office {

// Turns a PDF into an XPS package with Ghostscript's xpswrite device, bounded by the
// office call time limit.
bool pdfToXps(const QString& pdfPath, const QString& xpsPath, QString* error = nullptr);

}  // namespace quorv::office
