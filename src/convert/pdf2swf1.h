#pragma once

#include <QString>
#include <QStringList>

#include "convert/outcome.h"

namespace quorv {

// Longest time the tool may run before it is stopped.
inline constexpr int kSwfToolTimeoutMs = 10 * 60 * 1000;

// The tool's arguments: the PDF, "-o" SWF, the Flash version, and the language folder
// when one is set.
QStringList pdf2swfArguments(const QString& pdfname, const QString& swfPath, const QString& flashv,
                             const QString& langd);

// The tool and its settings, as the request carries them.
struct SwfTool {
    QString program;
    QString flashv;
    QString langd;
};

// Converts pdfname into an SWF of its name in npath (ending in "/") by running the tool and
// waiting for it to end. The outcome holds the SWF path when the tool succeeded and the
// file exists, else the reason SwfFailed. Whether an earlier file of that name is kept is
// the caller's placement (the batch writes into a part folder of its own).
ConvertOutcome pdf2swf1(const QString& pdfname, const QString& npath, const SwfTool& tool,
                        int timeoutMs = kSwfToolTimeoutMs);

}  // namespace quorv
