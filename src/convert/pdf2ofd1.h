#pragma once

#include <QString>

#include "convert/outcome.h"

namespace quorv {

// Longest time the tool may run before it is stopped.
inline constexpr int kOfdToolTimeoutMs = 10 * 60 * 1000;

// Converts pdfname into an OFD of its name in npath (ending in "/") by running `program`
// (the PDF to OFD tool) and waiting for it to end. The outcome holds the OFD path when the
// tool succeeded and the file exists, else the reason OfdFailed.
ConvertOutcome pdf2ofd1(const QString& pdfname, const QString& npath, const QString& program,
                        int timeoutMs = kOfdToolTimeoutMs);

}  // namespace quorv
