#include "engines/pdf/pdflock.h"

#include <QByteArray>
#include <QFile>
#include <exception>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <vector>

namespace quorv::pdf {

namespace {

std::string entriesOf(QPDF& doc) { return doc.getTrailer().getKey("/Encrypt").unparseResolved(); }

}  // namespace

std::optional<PdfLock> readPdfLock(const QString& path, const QString& password) {
    try {
        QPDF doc;
        doc.setSuppressWarnings(true);
        doc.processFile(QFile::encodeName(path).constData(), password.toStdString().c_str());
        if (!doc.isEncrypted()) return std::nullopt;
        return PdfLock{entriesOf(doc), doc.getEncryptionKey()};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<int> pagesUnderLock(const QString& path, const PdfLock& lock) {
    try {
        QPDF doc;
        doc.setSuppressWarnings(true);
        // A file qpdf would have to repair is left to a reader's own judgement.
        doc.setAttemptRecovery(false);
        doc.setPasswordIsHexKey(true);
        const QByteArray key = QByteArray::fromStdString(lock.key).toHex();
        doc.processFile(QFile::encodeName(path).constData(), key.constData());
        if (!doc.isEncrypted() || entriesOf(doc) != lock.entries) return std::nullopt;
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(doc).getAllPages();
        // Compressed content decrypted with any key but the one it was written with does
        // not inflate.
        Pl_Discard discard;
        for (QPDFPageObjectHelper& page : pages) {
            for (QPDFObjectHandle& stream : page.getPageContents()) {
                if (!stream.pipeStreamData(&discard, 0, qpdf_dl_generalized, false, false)) {
                    return std::nullopt;
                }
            }
        }
        if (pages.empty() || doc.anyWarnings()) return std::nullopt;
        return int(pages.size());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace quorv::pdf
