#include "convert/pdf2ofd1.h"

#include <QFileInfo>

#include "convert/pdf2swf1.h"
#include "core/filenames.h"
#include "core/programrun.h"

namespace quorv {

ConvertOutcome pdf2ofd1(const QString& pdfname, const QString& npath, const QString& program,
                        int timeoutMs) {
    const QString ofdPath = filegszh(pdfname, QStringLiteral("ofd"), npath);
    // Never let the tool write over its own input.
    if (samePath(ofdPath, pdfname)) return ConvertOutcome::failed(FailReason::OfdFailed);

    ProgramStart start;
    start.program = program;
    // The tool's own limit ends its work first and leaves no file; ours is the backstop.
    start.arguments = QStringList{pdfname, QStringLiteral("-o"), ofdPath, QStringLiteral("-s"),
                                  QStringLiteral("timeout=%1").arg(timeoutMs / 1000)};
    start.errors = ErrorOutput::Forward;
    ProgramLimits limits;
    limits.timeoutMs = timeoutMs + 5000;
    limits.askFirst = true;
    const ProgramResult run = runProgram(start, limits);
    const QFileInfo written(ofdPath);
    if (run.succeeded && written.exists() && written.size() > 0) {
        return ConvertOutcome::wrote(ofdPath);
    }
    // A failed tool leaves no file of its own; an old file of the name is the user's.
    return ConvertOutcome::failed(FailReason::OfdFailed);
}

}  // namespace quorv
