#include "convert/pdf2swf1.h"

#include <QFileInfo>

#include "core/defaults.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/programrun.h"

namespace quorv {

QStringList pdf2swfArguments(const QString& pdfname, const QString& swfPath, const QString& flashv,
                             const QString& langd) {
    QStringList args{pdfname, QStringLiteral("-o"), swfPath, QStringLiteral("-s"),
                     QStringLiteral("flashversion=") + flashv};
    if (!langd.isEmpty()) args << QStringLiteral("-s") << QStringLiteral("languagedir=") + langd;
    return args;
}

QString pdf2swfWith(const QString& pdfname, const QString& npath, bool keepExisting,
                    const SwfTool& tool, bool pumpEvents, int timeoutMs) {
    QString swfPath = filegszh(pdfname, QStringLiteral("swf"), npath);
    if (keepExisting && QFileInfo::exists(swfPath)) {
        swfPath = npath + fzmccf(npath, swfPath.mid(npath.size()));
    }
    // Never let the tool write over its own input.
    if (samePath(swfPath, pdfname)) return QString();

    ProgramStart start;
    start.program = tool.program;
    start.arguments = pdf2swfArguments(pdfname, swfPath, tool.flashv, tool.langd);
    start.errors = ErrorOutput::Forward;
    ProgramLimits limits;
    limits.timeoutMs = timeoutMs;
    limits.pumpEvents = pumpEvents;
    // Ask first, so the tool can remove its half-written file.
    limits.askFirst = true;
    const ProgramResult run = runProgram(start, limits);
    // An old file of the same name proves nothing: the tool must also report success.
    return run.succeeded && QFileInfo::exists(swfPath) ? swfPath : QString();
}

QString pdf2swf1(const QString& pdfname, const QString& npath, SwfCaller caller, int timeoutMs) {
    GlobalSettings& g = globals();
    const bool keepExisting = caller == SwfCaller::CommandLine || g.sfth == QLatin1String("n");
    if (caller == SwfCaller::Interactive) {
        g.swftprg = readSetting(g.profile, Key::Swftprg, Reader::SwfService);
        g.langd = readSetting(g.profile, Key::Langd, Reader::SwfService);
        g.flashv = readSetting(g.profile, Key::Flashv, Reader::SwfService);
    }
    return pdf2swfWith(pdfname, npath, keepExisting, SwfTool{g.swftprg, g.flashv, g.langd}, true,
                       timeoutMs);
}

}  // namespace quorv
