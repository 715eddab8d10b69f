#pragma once

// Small helpers the tests share: reading files back, asking poppler's tools about a PDF,
// catching a run-time error, and making a folder unwritable even for root.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "core/runtimeerror.h"

namespace quorv {

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Standard output of a program, as UTF-8.
inline QString runText(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString pdfText(const QString& pdf) {
    return runText(QStringLiteral("pdftotext"), {"-enc", "UTF-8", pdf, "-"});
}

// The page count pdfinfo reports; -1 when it cannot read the file.
inline int pdfPages(const QString& pdf) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(runText(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Runs a call and returns the record of the run-time error it raised (number 0 if none).
template <class F>
ErrorRecord errorOf(F f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.record();
    }
    return ErrorRecord{};
}

// Sets or clears the immutable flag of a file or folder (only root may); false when it
// cannot be set here.
inline bool setImmutable(const QString& path, bool on, int openFlags) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | openFlags);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

// Makes a folder unwritable (on) or writable again (off): the immutable flag for root,
// who ignores permissions, the mode otherwise. False when neither works here.
inline bool makeUnwritable(const QString& folder, bool on) {
    if (geteuid() == 0) return setImmutable(folder, on, O_DIRECTORY);
    return ::chmod(QFile::encodeName(folder).constData(), on ? 0555 : 0755) == 0;
}

// Makes one file unwritable (on) or writable again (off), as makeUnwritable does a folder.
inline bool makeFileUnwritable(const QString& file, bool on) {
    if (geteuid() == 0) return setImmutable(file, on, 0);
    return ::chmod(QFile::encodeName(file).constData(), on ? 0444 : 0644) == 0;
}

}  // namespace quorv
