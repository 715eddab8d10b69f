#include "engines/pdf/pdfpost.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <exception>
#include <memory>
#include <mutex>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <vector>

#include "engines/pdf/pdfwatermark.h"
#include "engines/pdf/pdfwrite.h"

namespace quorv::pdf {

namespace {

std::string lockingPassword() {
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex().toStdString();
}

bool sameProtection(const PdfProtection& a, const PdfProtection& b) {
    return a.openPassword == b.openPassword && a.permissionsPassword == b.permissionsPassword &&
           a.noPrint == b.noPrint && a.noCopy == b.noCopy && a.noChange == b.noChange;
}

// An empty document encrypted for one protection, opened again with its open password so
// that qpdf holds its file key. AES-256 derives each password's key slowly on purpose (it
// is what every guess costs an attacker); the outputs of a run share their passwords, so
// they share these entries and that key instead of paying four derivations each.
struct Sealed {
    PdfProtection protection;
    std::string bytes;  // the document, which `doc` reads in place
    QPDF doc;
    std::mutex mutex;  // qpdf resolves objects as they are first read: one reader at a time
};

std::shared_ptr<Sealed> seal(const PdfProtection& p) {
    const std::string user = p.openPassword.toStdString();
    std::string owner = p.permissionsPassword.toStdString();
    const bool restricted = p.noPrint || p.noCopy || p.noChange;
    // An empty permissions password would open with full rights for anyone.
    if (owner.empty()) owner = restricted ? lockingPassword() : user;
    QPDF blank;
    blank.emptyPDF();
    QPDFWriter writer(blank);
    writer.setOutputMemory();
    writer.setR6EncryptionParameters(user.c_str(), owner.c_str(),
                                     true,  // screen readers may always read the text
                                     !p.noCopy, !p.noChange, !p.noChange, !p.noChange, !p.noChange,
                                     p.noPrint ? qpdf_r3p_none : qpdf_r3p_full, true);
    writer.write();
    auto sealed = std::make_shared<Sealed>();
    sealed->protection = p;
    const std::shared_ptr<Buffer> written = writer.getBufferSharedPointer();
    sealed->bytes.assign(reinterpret_cast<const char*>(written->getBuffer()), written->getSize());
    sealed->doc.processMemoryFile("sealed", sealed->bytes.data(), sealed->bytes.size(),
                                  user.c_str());
    return sealed;
}

// The sealed document of `p`, made on first use; a few recent protections are kept (a
// long-running service serves runs with different ones). Never destroyed: a QPDF ended
// after qpdf's own statics at the program's exit crashes it.
std::shared_ptr<Sealed> sealedFor(const PdfProtection& p) {
    static std::mutex mutex;
    static auto* const recent = new std::vector<std::shared_ptr<Sealed>>;  // last used at back
    const std::lock_guard<std::mutex> lock(mutex);
    for (auto it = recent->begin(); it != recent->end(); ++it) {
        if (!sameProtection((*it)->protection, p)) continue;
        std::shared_ptr<Sealed> found = *it;
        recent->erase(it);
        recent->push_back(found);
        return found;
    }
    constexpr size_t kKept = 4;
    if (recent->size() == kKept) recent->erase(recent->begin());
    recent->push_back(seal(p));
    return recent->back();
}

}  // namespace

void setProtection(QPDFWriter& writer, const PdfProtection& p) {
    if (!p.any()) return;
    const std::shared_ptr<Sealed> sealed = sealedFor(p);
    const std::lock_guard<std::mutex> lock(sealed->mutex);
    writer.copyEncryptionParameters(sealed->doc);
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
    // right after, and a file that fails it is removed with its row failed. Not synced:
    // it replaces an output the office did not sync either, and what a crash of the
    // machine loses a batch converts again (waiting for the disk cost more than the
    // rewrite itself when the disk was busy).
    return writePdfAtomically(
        doc, path,
        [&](QPDFWriter& w) {
            w.setPreserveEncryption(false);
            setProtection(w, protection);
        },
        {}, error, false);
}

}  // namespace quorv::pdf
