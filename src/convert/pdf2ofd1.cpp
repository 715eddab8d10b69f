#include "convert/pdf2ofd1.h"

#include <QFile>
#include <QFileInfo>

#include "convert/pdf2swf1.h"
#include "core/filenames.h"
#include "core/programrun.h"

namespace quorv {

ConvertOutcome pdf2ofd1(const QString& pdfname, const QString& npath, bool keepExisting,
                        const QString& program, int timeoutMs) {
    QString ofdPath = filegszh(pdfname, QStringLiteral("ofd"), npath);
    // Never let the tool write over its own input.
    if (samePath(ofdPath, pdfname)) return ConvertOutcome::failed(FailReason::OfdFailed);
    QString reserved;
    if (keepExisting) {
        reserved = reserveFreeName(npath, ofdPath.mid(npath.size()));
        if (reserved.isEmpty()) return ConvertOutcome::failed(FailReason::OfdFailed);
        ofdPath = reserved;
    }

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
    // A name reserved here is removed when the tool left it empty; a replacing run's failed
    // tool leaves no file of its own, and an old file of the name is the user's.
    if (!reserved.isEmpty() && written.exists() && written.size() == 0) QFile::remove(reserved);
    return ConvertOutcome::failed(FailReason::OfdFailed);
}

}  // namespace quorv
