#include "convert/wordconvert.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "convert/automation.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/pump.h"

namespace quorv {

namespace {

const QString kWordServer = QStringLiteral("Word.application");

enum class Write { Export, SaveAs };

int g_outputWaitMs = kWordOutputWaitMs;

// Attach to a running instance, else start one of our own.
bool connectWord(OleObject& word) {
    return word.connectToObject(kWordServer) == kConnectOk ||
           word.connectToNewObject(kWordServer) == kConnectOk;
}

// Polls for the file every few milliseconds while letting events through, bounded in
// time rather than in passes so a fast machine waits as long as a slow one.
bool waitForFile(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(path)) {
        if (clock.elapsed() > g_outputWaitMs) return false;
        pumpOnce();
        QThread::msleep(2);
    }
    return true;
}

// Opens the source, writes the output, and quits: the part every conversion shares.
QString convertOpened(OleObject& word, const QString& yfilename, const QString& outPath,
                      Write write, int gs, FailReason* why) {
    word.call({"documents", "open"}, {yfilename});
    word.set({"application", "visible"}, false);
    if (write == Write::Export) {
        word.call({"activedocument", "exportasfixedformat"}, {outPath, gs, false});
    } else {
        word.call({"activedocument", "saveas"}, {outPath, gs});
    }
    word.set({"normaltemplate", "saved"}, true);
    pumpOnce();
    waitForFile(outPath);
    word.call({"quit"});
    word.disconnectObject();
    if (QFileInfo::exists(outPath)) return outPath;
    if (why) *why = FailReason::NoOutput;
    return QString();
}

QString refuse(FailReason reason, FailReason* why) {
    if (why) *why = reason;
    return QString();
}

QString convertInto(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                    Write write, FailReason* why) {
    const GlobalSettings& g = globals();
    if (!wordAccepts(yfilename, g.awordhz)) return refuse(FailReason::WrongType, why);
    if (undecodableName(yfilename)) return refuse(FailReason::SourceMissing, why);
    QString outPath = filegszh(yfilename, fhz, npath);
    if (g.sfth == QLatin1String("n") && QFileInfo::exists(outPath)) {
        outPath = npath + fzmccf(npath, outPath.mid(npath.size()));
    }
    // A conversion never writes over its own source.
    if (samePath(outPath, yfilename)) return refuse(FailReason::NoOutput, why);
    return retryAfterServerDeath([&] {
        OleObject word;
        if (!connectWord(word)) return refuse(FailReason::OfficeUnavailable, why);
        return convertOpened(word, yfilename, outPath, write, gs, why);
    });
}

}  // namespace

void setWordOutputWaitMs(int ms) { g_outputWaitMs = ms; }

bool undecodableName(const QString& path) {
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path);
}

bool wordAccepts(const QString& yfilename, const QString& awordhz) {
    const QString ext = qfilehz(yfilename).toLower();
    return !ext.isEmpty() && (QStringLiteral("doc#docx") + awordhz).contains(ext);
}

QString word2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                 FailReason* why) {
    return convertInto(yfilename, fhz, npath, gs, Write::Export, why);
}

QString word2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                 FailReason* why) {
    return convertInto(yfilename, fhz, npath, gs, Write::SaveAs, why);
}

QString word2pdf(const QString& yfilename) {
    if (!QFileInfo(yfilename).isFile()) return QString();
    const QString folder = globals().ap_path + QStringLiteral("/pdf/");
    // The intermediate folder belongs to the working folder; a fresh one has none yet.
    QDir().mkpath(folder);
    const QString outPath = filegszh(yfilename, QStringLiteral("pdf"), folder);
    // Replacing the output must never delete the source itself.
    if (samePath(outPath, yfilename)) return QString();
    return retryAfterServerDeath([&] {
        OleObject word;
        if (!connectWord(word)) return QString();
        if (QFileInfo::exists(outPath)) QFile::remove(outPath);
        return convertOpened(word, yfilename, outPath, Write::Export, 17, nullptr);
    });
}

}  // namespace quorv
