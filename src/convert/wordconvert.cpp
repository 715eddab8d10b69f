#include "convert/wordconvert.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "convert/automation.h"
#include "convert/backend.h"
#include "convert/passwordopen.h"
#include "core/filenames.h"

namespace quorv {

namespace {

const QString kWordServer = QStringLiteral("Word.application");

enum class Write { Export, SaveAs };

// Attach to a running instance, else start one of our own.
bool connectWord(OleObject& word) {
    return word.connectToObject(kWordServer) == kConnectOk ||
           word.connectToNewObject(kWordServer) == kConnectOk;
}

}  // namespace

// Polls for the file every few milliseconds, bounded in time rather than in passes so a
// fast machine waits as long as a slow one.
bool waitForOutputFile(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(path)) {
        if (clock.elapsed() > backend().outputWaitMs) return false;
        QThread::msleep(2);
    }
    return true;
}

namespace {

// Opens the source, writes the output, and quits: the part every conversion shares.
ConvertOutcome convertOpened(OleObject& word, const QString& yfilename, const QString& outPath,
                             Write write, int gs, const QStringList& passwords, int pdfa = 0) {
    openWordDocument(word, yfilename, passwords);
    word.set({"application", "visible"}, false);
    if (write == Write::Export && pdfa > 0 && gs == 17) {
        // Word's last export argument, UseISO19005_1, here also takes the part: 1, 2 or 3.
        VariantList args{outPath, gs, false};
        while (args.size() < 13) args.append(Variant());
        args.append(Variant(pdfa));
        word.call({"activedocument", "exportasfixedformat"}, args);
    } else if (write == Write::Export) {
        word.call({"activedocument", "exportasfixedformat"}, {outPath, gs, false});
    } else {
        word.call({"activedocument", "saveas"}, {outPath, gs});
    }
    word.set({"normaltemplate", "saved"}, true);
    waitForOutputFile(outPath);
    word.call({"quit"});
    word.disconnectObject();
    if (QFileInfo::exists(outPath)) return ConvertOutcome::wrote(outPath);
    return ConvertOutcome::failed(FailReason::NoOutput);
}

ConvertOutcome convertInto(const QString& yfilename, const QString& fhz, const QString& npath,
                           int gs, Write write, const WordOptions& options,
                           bool byExtension = true) {
    if (byExtension && !wordAccepts(yfilename, options.awordhz)) {
        return ConvertOutcome::failed(FailReason::WrongType);
    }
    if (undecodableName(yfilename)) return ConvertOutcome::failed(FailReason::SourceMissing);
    // The output takes the source's name in npath; the batch keeps or numbers it as it
    // places it.
    const QString outPath = filegszh(yfilename, fhz, npath);
    // A conversion never writes over its own source.
    if (samePath(outPath, yfilename)) return ConvertOutcome::failed(FailReason::NoOutput);
    return retryAfterServerDeath([&] {
        OleObject word;
        if (!connectWord(word)) return ConvertOutcome::failed(FailReason::OfficeUnavailable);
        return convertOpened(word, yfilename, outPath, write, gs, options.passwords, options.pdfa);
    });
}

}  // namespace

bool undecodableName(const QString& path) {
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path);
}

bool wordAccepts(const QString& yfilename, const QString& awordhz) {
    const QString ext = qfilehz(yfilename).toLower();
    return !ext.isEmpty() && (QStringLiteral("doc#docx") + awordhz).contains(ext);
}

ConvertOutcome word2xps(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                        const WordOptions& options) {
    return convertInto(yfilename, fhz, npath, gs, Write::Export, options);
}

ConvertOutcome word2any(const QString& yfilename, const QString& fhz, const QString& npath, int gs,
                        const WordOptions& options) {
    return convertInto(yfilename, fhz, npath, gs, Write::SaveAs, options);
}

ConvertOutcome wordKind2xps(const QString& yfilename, const QString& fhz, const QString& npath,
                            int gs, const WordOptions& options) {
    return convertInto(yfilename, fhz, npath, gs, Write::Export, options, false);
}

ConvertOutcome wordKind2any(const QString& yfilename, const QString& fhz, const QString& npath,
                            int gs, const WordOptions& options) {
    return convertInto(yfilename, fhz, npath, gs, Write::SaveAs, options, false);
}

ConvertOutcome word2pdf(const QString& yfilename, const QString& pdfFolder,
                        const QStringList& passwords) {
    if (!QFileInfo(yfilename).isFile()) return ConvertOutcome::failed(FailReason::SourceMissing);
    // The intermediate folder belongs to the working folder; a fresh one has none yet.
    QDir().mkpath(pdfFolder);
    const QString outPath = filegszh(yfilename, QStringLiteral("pdf"), pdfFolder);
    // Replacing the output must never delete the source itself.
    if (samePath(outPath, yfilename)) return ConvertOutcome::failed(FailReason::NoOutput);
    return retryAfterServerDeath([&] {
        OleObject word;
        if (!connectWord(word)) return ConvertOutcome::failed(FailReason::OfficeUnavailable);
        if (QFileInfo::exists(outPath)) QFile::remove(outPath);
        return convertOpened(word, yfilename, outPath, Write::Export, 17, passwords);
    });
}

}  // namespace quorv
