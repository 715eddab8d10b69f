#pragma once

#include <QString>
#include <QStringList>

namespace quorv {

// How a program calls the PDF-to-SWF tool: the interactive program re-reads the tool
// settings on every call and keeps an existing SWF only when sfth is "n"; the
// command-line program uses the settings loaded at its start and never replaces one.
enum class SwfCaller { Interactive, CommandLine };

// Longest time the tool may run before it is stopped.
inline constexpr int kSwfToolTimeoutMs = 10 * 60 * 1000;

// The tool's arguments: the PDF, "-o" SWF, the Flash version, and the language folder
// when one is set.
QStringList pdf2swfArguments(const QString& pdfname, const QString& swfPath, const QString& flashv,
                             const QString& langd);

// The tool and its settings as read for one call or one run.
struct SwfTool {
    QString program;
    QString flashv;
    QString langd;
};

// Runs the tool on pdfname into npath with given settings; an existing SWF of the same
// name is kept (the new one numbered) when keepExisting. Events are let through while
// waiting only when pumpEvents. Returns the SWF path, or empty on failure.
QString pdf2swfWith(const QString& pdfname, const QString& npath, bool keepExisting,
                    const SwfTool& tool, bool pumpEvents, int timeoutMs = kSwfToolTimeoutMs);

// Converts pdfname into an SWF in npath (ending in "/") by running the tool swftprg and
// waiting for it to end. Returns the SWF path when the tool succeeded and the file
// exists, else the empty string.
QString pdf2swf1(const QString& pdfname, const QString& npath, SwfCaller caller,
                 int timeoutMs = kSwfToolTimeoutMs);

}  // namespace quorv
