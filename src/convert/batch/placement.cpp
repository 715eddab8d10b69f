#include "convert/batch/placement.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>

#include "core/filenames.h"

namespace quorv {

namespace {

const QString kPartPrefix = QStringLiteral(".quorv-part-");

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// Renames without ever taking a name that is there: true when placed, false with errno
// EEXIST when the name was taken meanwhile.
bool renameNoReplace(const QString& from, const QString& to) {
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                    RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // A file system without the flag: a hard link fails on a taken name just the same.
    if (::link(native(from).constData(), native(to).constData()) == 0) {
        ::unlink(native(from).constData());
        return true;
    }
    if (errno == EEXIST) return false;
    // Neither (some network and FAT file systems): a plain rename of a name seen free.
    if (QFileInfo(to).exists() || QFileInfo(to).isSymLink()) {
        errno = EEXIST;
        return false;
    }
    return std::rename(native(from).constData(), native(to).constData()) == 0;
}

// Moves an entry the writer left beside its main file into the target, replacing a file
// of its name as the writer itself would have; a folder is merged into one of its name.
bool moveBeside(const QString& from, const QString& to) {
    const QFileInfo source(from);
    const QFileInfo there(to);
    if (source.isDir() && !source.isSymLink() && there.isDir() && !there.isSymLink()) {
        const QStringList names =
            QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            if (!moveBeside(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name)) {
                return false;
            }
        }
        return true;
    }
    return std::rename(native(from).constData(), native(to).constData()) == 0;
}

// The process a part folder's name says made it.
pid_t ownerOf(const QString& name) {
    const QString rest = name.mid(kPartPrefix.size());
    bool ok = false;
    const qint64 pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
    return ok && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

bool running(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

OutputPart::OutputPart(QString target) : target_(std::move(target)) {}

OutputPart::~OutputPart() = default;

QString OutputPart::folder() {
    if (!dir_) {
        dir_ = std::make_unique<QTemporaryDir>(target_ + kPartPrefix + QString::number(::getpid()) +
                                               QStringLiteral("-XXXXXX"));
    }
    if (!dir_->isValid()) return QString();
    return dir_->path() + QLatin1Char('/');
}

OutputPart::Placed OutputPart::place(const QString& written, bool replace, const QString& source,
                                     const PlaceHook& hook) {
    const QString inside = folder();
    const QString name = QFileInfo(written).fileName();
    if (inside.isEmpty() || !written.startsWith(inside) || !QFileInfo(written).isFile()) {
        return {QString(), FailReason::NoOutput};
    }
    // The parts of the page first.
    const QStringList beside =
        QDir(inside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& entry : beside) {
        if (entry == name) continue;
        if (!moveBeside(inside + entry, target_ + entry)) {
            return {QString(), FailReason::OutputUnwritable};
        }
    }
    for (int tries = 0; tries < 100; ++tries) {
        const QString path = target_ + (replace ? name : fzmccf(target_, name));
        // Only a replacing row can meet its source's name; the source stays.
        if (samePath(path, source)) return {QString(), FailReason::NoOutput};
        if (hook && !hook(written, path)) return {QString(), FailReason::OutputUnwritable};
        if (replace ? std::rename(native(written).constData(), native(path).constData()) == 0
                    : renameNoReplace(written, path)) {
            return {path, FailReason::None};
        }
        // Another program took the free name meanwhile: the next one.
        if (replace || errno != EEXIST) break;
    }
    return {QString(), FailReason::OutputUnwritable};
}

void clearLeftoverParts(const QString& folder) {
    const QStringList parts = QDir(folder).entryList(
        {kPartPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : parts) {
        const pid_t owner = ownerOf(name);
        if (owner == 0 || owner == ::getpid() || running(owner)) continue;
        QDir(QDir(folder).filePath(name)).removeRecursively();
    }
}

}  // namespace quorv
