#include "engines/pdf/pdfwrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <exception>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

namespace quorv::pdf {

bool writePdfAtomically(QPDF& doc, const QString& target,
                        const std::function<void(QPDFWriter&)>& configure,
                        const std::function<bool(const QString& written)>& accept, QString* error,
                        bool synced) {
    const QFileInfo info(target);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        if (error) *error = temp.errorString();
        return false;
    }
    try {
        FILE* out = fdopen(dup(temp.handle()), "wb");
        if (!out) throw std::runtime_error("cannot write the temporary file");
        // The writer keeps the name's pointer, not a copy: it must outlive the writer.
        const QByteArray name = QFile::encodeName(temp.fileName());
        QPDFWriter writer(doc);
        writer.setOutputFile(name.constData(), out, true);
        if (configure) configure(writer);
        writer.write();
    } catch (const std::exception& e) {
        if (error) *error = QString::fromLocal8Bit(e.what());
        return false;
    }
    if (synced && ::fsync(temp.handle()) != 0) {
        if (error) *error = QStringLiteral("fsync failed");
        return false;
    }
    if (accept && !accept(temp.fileName())) {
        if (error && error->isEmpty())
            *error = QStringLiteral("the written PDF does not read back");
        return false;
    }
    // QTemporaryFile makes an owner-only file; the output is an ordinary one.
    if (info.exists()) {
        temp.setPermissions(info.permissions());
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(temp.handle(), 0666 & ~mask);
    }
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        if (error) *error = QStringLiteral("cannot rename into place");
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

}  // namespace quorv::pdf
