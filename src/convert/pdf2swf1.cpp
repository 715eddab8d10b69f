#include "convert/pdf2swf1.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>

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

QString reserveFreeName(const QString& folder, const QString& name) {
    for (int tries = 0; tries < 1000; ++tries) {
        const QString path = folder + fzmccf(folder, name);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    return QString();
}

ConvertOutcome pdf2swf1(const QString& pdfname, const QString& npath, bool keepExisting,
                        const SwfTool& tool, int timeoutMs) {
    QString swfPath = filegszh(pdfname, QStringLiteral("swf"), npath);
    // Never let the tool write over its own input.
    if (samePath(swfPath, pdfname)) return ConvertOutcome::failed(FailReason::SwfFailed);
    QString reserved;
    if (keepExisting) {
        reserved = reserveFreeName(npath, swfPath.mid(npath.size()));
        if (reserved.isEmpty()) return ConvertOutcome::failed(FailReason::SwfFailed);
        swfPath = reserved;
    }

    ProgramStart start;
    start.program = tool.program;
    start.arguments = pdf2swfArguments(pdfname, swfPath, tool.flashv, tool.langd);
    start.errors = ErrorOutput::Forward;
    ProgramLimits limits;
    limits.timeoutMs = timeoutMs;
    // Ask first, so the tool can remove its half-written file.
    limits.askFirst = true;
    const ProgramResult run = runProgram(start, limits);
    // An old file of the same name proves nothing: the tool must also report success, and
    // a name reserved here must have been written.
    const QFileInfo written(swfPath);
    if (run.succeeded && written.exists() && (reserved.isEmpty() || written.size() > 0)) {
        return ConvertOutcome::wrote(swfPath);
    }
    if (!reserved.isEmpty() && written.exists() && written.size() == 0) QFile::remove(reserved);
    return ConvertOutcome::failed(FailReason::SwfFailed);
}

}  // namespace quorv
