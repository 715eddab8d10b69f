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

// The first free numbered name for `name` in `folder`, taken by creating it empty, so that
// conversions running at once (other processes too) never pick the same one. Empty when
// nothing can be created there.
QString reserveFreeName(const QString& folder, const QString& name);

// The tool and its settings, as the request carries them.
struct SwfTool {
    QString program;
    QString flashv;
    QString langd;
};

// Converts pdfname into an SWF in npath (ending in "/") by running the tool and waiting for
// it to end; an existing SWF of the same name is kept (the new one numbered) when
// keepExisting. The outcome holds the SWF path when the tool succeeded and the file
// exists, else the reason SwfFailed.
ConvertOutcome pdf2swf1(const QString& pdfname, const QString& npath, bool keepExisting,
                        const SwfTool& tool, int timeoutMs = kSwfToolTimeoutMs);

}  // namespace quorv
