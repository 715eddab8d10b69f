#include "convert/pdf2swf1.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include "convert/filenames.h"
#include "convert/pump.h"
#include "settings/defaults.h"
#include "settings/globals.h"

namespace quorv {

namespace {

bool samePath(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

}  // namespace

QStringList pdf2swfArguments(const QString& pdfname, const QString& swfPath, const QString& flashv,
                             const QString& langd) {
    QStringList args{pdfname, QStringLiteral("-o"), swfPath, QStringLiteral("-s"),
                     QStringLiteral("flashversion=") + flashv};
    if (!langd.isEmpty()) args << QStringLiteral("-s") << QStringLiteral("languagedir=") + langd;
    return args;
}

QString pdf2swf1(const QString& pdfname, const QString& npath, SwfCaller caller, int timeoutMs) {
    GlobalSettings& g = globals();
    QString swfPath = filegszh(pdfname, QStringLiteral("swf"), npath);
    const bool keepExisting = caller == SwfCaller::CommandLine || g.sfth == QLatin1String("n");
    if (keepExisting && QFileInfo::exists(swfPath)) {
        swfPath = npath + fzmccf(npath, swfPath.mid(npath.size()));
    }
    if (caller == SwfCaller::Interactive) {
        g.swftprg = readSetting(g.profile, Key::Swftprg, Reader::SwfService);
        g.langd = readSetting(g.profile, Key::Langd, Reader::SwfService);
        g.flashv = readSetting(g.profile, Key::Flashv, Reader::SwfService);
    }
    // Never let the tool write over its own input.
    if (samePath(swfPath, pdfname)) return QString();

    QProcess tool;
    tool.setProgram(g.swftprg);
    tool.setArguments(pdf2swfArguments(pdfname, swfPath, g.flashv, g.langd));
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.start();
    if (!tool.waitForStarted(10000)) return QString();

    QElapsedTimer clock;
    clock.start();
    while (!tool.waitForFinished(5)) {
        if (tool.state() == QProcess::NotRunning) break;
        if (clock.elapsed() > timeoutMs) {
            // Ask first, so the tool can remove its half-written file.
            tool.terminate();
            if (!tool.waitForFinished(2000)) {
                tool.kill();
                tool.waitForFinished(5000);
            }
            return QString();
        }
        pumpOnce();
    }
    // An old file of the same name proves nothing: the tool must also report success.
    const bool ok = tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return ok && QFileInfo::exists(swfPath) ? swfPath : QString();
}

}  // namespace quorv
