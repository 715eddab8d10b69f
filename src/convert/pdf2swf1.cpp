#include "convert/pdf2swf1.h"

#include <QFileInfo>

#include "core/filenames.h"
#include "core/programrun.h"

namespace quorv {

QStringList pdf2swfArguments(const QString& pdfname, const QString& swfPath, const QString& flashv,
                             const QString& langd) {
    QStringList args{pdfname, QStringLiteral("-o"), swfPath, QStringLiteral("-s"),
                     QStringLiteral("flashversion=") + flashv};
    if (!langd.isEmpty()) args << QStringLiteral("-s") << QStringLiteral("languagedir=") + langd;
    return args;
}

ConvertOutcome pdf2swf1(const QString& pdfname, const QString& npath, const SwfTool& tool,
                        int timeoutMs) {
    const QString swfPath = filegszh(pdfname, QStringLiteral("swf"), npath);
    // Never let the tool write over its own input.
    if (samePath(swfPath, pdfname)) return ConvertOutcome::failed(FailReason::SwfFailed);

    ProgramStart start;
    start.program = tool.program;
    start.arguments = pdf2swfArguments(pdfname, swfPath, tool.flashv, tool.langd);
    start.errors = ErrorOutput::Forward;
    ProgramLimits limits;
    limits.timeoutMs = timeoutMs;
    // Ask first, so the tool can remove its half-written file.
    limits.askFirst = true;
    const ProgramResult run = runProgram(start, limits);
    // An old file of the same name proves nothing: the tool must also report success.
    if (run.succeeded && QFileInfo::exists(swfPath)) return ConvertOutcome::wrote(swfPath);
    return ConvertOutcome::failed(FailReason::SwfFailed);
}

}  // namespace quorv
