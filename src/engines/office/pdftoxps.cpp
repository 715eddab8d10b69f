#include "engines/office/pdftoxps.h"

#include <QFile>
#include <QFileInfo>

#include "core/programrun.h"
#include "engines/office/officeinstance.h"

namespace quorv::office {

bool pdfToXps(const QString& pdfPath, const QString& xpsPath, QString* error) {
    const QStringList args{
        QStringLiteral("-dSAFER"),
        QStringLiteral("-dBATCH"),
        QStringLiteral("-dNOPAUSE"),
        QStringLiteral("-dQUIET"),
        QStringLiteral("-sDEVICE=xpswrite"),
        QStringLiteral("-sOutputFile=") +
            QFileInfo(xpsPath).absoluteFilePath().replace(QLatin1Char('%'), QStringLiteral("%%")),
        QFileInfo(pdfPath).absoluteFilePath(),
    };
    // Absolute paths, so neither can be read as an option or a pipe; "%" would be read
    // as a page-number pattern.
    const QString out = QFileInfo(xpsPath).absoluteFilePath();
    QFile::remove(out);
    ProgramStart start;
    start.program = QStringLiteral("gs");
    start.arguments = args;
    start.dieWithParent = true;
    ProgramLimits limits;
    limits.timeoutMs = OfficeInstance::callTimeoutMs();
    const ProgramResult run = runProgram(start, limits);
    if (error) *error = run.errorText;
    if (!run.succeeded) return false;
    return QFileInfo(out).size() > 0;
}

}  // namespace quorv::office
