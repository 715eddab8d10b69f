#include "engines/pdf/pdfpost.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <exception>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "engines/pdf/pdfwatermark.h"
#include "engines/pdf/pdfwrite.h"

namespace quorv::pdf {

namespace {

std::string lockingPassword() {
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex().toStdString();
}

}  // namespace

void setProtection(QPDFWriter& writer, const PdfProtection& p) {
    if (!p.any()) return;
    const std::string user = p.openPassword.toStdString();
    std::string owner = p.permissionsPassword.toStdString();
    const bool restricted = p.noPrint || p.noCopy || p.noChange;
    // An empty permissions password would open with full rights for anyone.
    if (owner.empty()) owner = restricted ? lockingPassword() : user;
    writer.setR6EncryptionParameters(user.c_str(), owner.c_str(),
                                     true,  // screen readers may always read the text
                                     !p.noCopy, !p.noChange, !p.noChange, !p.noChange, !p.noChange,
                                     p.noPrint ? qpdf_r3p_none : qpdf_r3p_full, true);
}

int pdfPagesWithPassword(const QString& path, const QString& password) {
    try {
        QPDF doc;
        doc.setSuppressWarnings(true);
        doc.processFile(QFile::encodeName(path).constData(), password.toStdString().c_str());
        return int(QPDFPageDocumentHelper(doc).getAllPages().size());
    } catch (const std::exception&) {
        return -1;
    }
}

bool postProcessPdf(const QString& path, const PdfOptions& options, QString* error) {
    if (!options.rewritesOutputs()) return true;
    QPDF doc;
    try {
        doc.setSuppressWarnings(true);
        doc.processFile(QFile::encodeName(path).constData());
        if (!stampWatermark(doc, options.watermark, error)) return false;
    } catch (const std::exception& e) {
        if (error) *error = QString::fromLocal8Bit(e.what());
        return false;
    }
    const PdfProtection& protection = options.protection;
    // Not read back here: the row's output check opens the file with the open password
    // right after, and a file that fails it is removed with its row failed. Each reading
    // of an AES-256 file pays its key derivation again.
    return writePdfAtomically(
        doc, path,
        [&](QPDFWriter& w) {
            w.setPreserveEncryption(false);
            setProtection(w, protection);
        },
        {}, error);
}

}  // namespace quorv::pdf
