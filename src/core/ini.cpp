#include "core/ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QThread>
#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "core/filenames.h"

namespace quorv {

namespace {

// Long enough for another program's write to finish; a crashed writer's lock is stale
// at once because its process is gone.
constexpr int kLockWaitMs = 15000;

// Blanks around names and values are not significant; a stray CR counts as one, since
// a rewrite turns any line ending into LF.
constexpr QStringView kBlanks = u" \t\r";

// Holds flock() on an open file; waits as long as the lock beside the file would.
class FileLock {
  public:
    FileLock(int fd, int operation) : fd_(fd) {
        for (int waited = 0;; waited += kStepMs) {
            if (::flock(fd_, operation | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            if (waited >= kLockWaitMs) return;
            QThread::msleep(kStepMs);
        }
    }
    ~FileLock() {
        if (held_) ::flock(fd_, LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return held_; }

  private:
    static constexpr int kStepMs = 5;
    int fd_;
    bool held_ = false;
};

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n')) {
            qsizetype end = i;
            if (end > start && text[end - 1] == QLatin1Char('\r')) --end;
            lines.append(text.mid(start, end - start));
            start = i + 1;
        }
    }
    if (start < text.size()) {
        QString last = text.mid(start);
        if (last.endsWith(QLatin1Char('\r'))) last.chop(1);
        lines.append(last);
    }
    return lines;
}

// A section header "[name]" gives its name.
std::optional<QString> sectionName(const QString& line) {
    const QString t = trimBlanks(line, kBlanks);
    if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return trimBlanks(QStringView(t).mid(1, close - 1), kBlanks);
}

// A key line "key = value" gives its key and value.
bool keyLine(const QString& line, QString* key, QString* value) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) return false;
    const QString k = trimBlanks(QStringView(line).left(eq), kBlanks);
    if (k.isEmpty() || k.startsWith(QLatin1Char(';'))) return false;
    if (key) *key = k;
    if (value) *value = trimBlanks(QStringView(line).mid(eq + 1), kBlanks);
    return true;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Reads the whole file; nullopt when it exists but cannot be read.
std::optional<QString> loadText(const QString& file, bool* exists) {
    QFile f(file);
    *exists = f.exists();
    if (!*exists) return QString();
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    // Waits for a rewrite in place to finish; a replaced file needs no lock to be whole.
    const FileLock shared(f.handle(), LOCK_SH);
    return decodeIniText(f.readAll());
}

QString joinLines(const QStringList& lines) {
    QString out;
    for (const QString& l : lines) {
        out += l;
        out += QLatin1Char('\n');
    }
    return out;
}

// A value is one line: line breaks inside it would inject keys into the file.
QString oneLine(const QString& value) {
    QString v = value;
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return v;
}

void setKey(QStringList& lines, const QString& section, const QString& key, const QString& value) {
    const QString newLine = key + QLatin1Char('=') + oneLine(value);
    qsizetype secHeader = -1;  // header of the first matching section
    qsizetype lastContent = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (auto name = sectionName(lines[i])) {
            if (inSection) break;
            if (secHeader < 0 && sameName(*name, section)) {
                secHeader = i;
                lastContent = i;
                inSection = true;
            }
            continue;
        }
        if (!inSection) continue;
        QString k;
        if (keyLine(lines[i], &k, nullptr) && sameName(k, key)) {
            lines[i] = newLine;
            return;
        }
        if (!trimBlanks(lines[i], kBlanks).isEmpty()) lastContent = i;
    }
    if (secHeader >= 0) {
        lines.insert(lastContent + 1, newLine);
        return;
    }
    lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
    lines.append(newLine);
}

// Writes text to file atomically; OpenFailed / WriteFailed tell the two failures apart.
IniRestoreResult saveAtomically(const QString& file, const QString& text) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return IniRestoreResult::OpenFailed;
    const QByteArray bytes = text.toUtf8();
    // QSaveFile commits even after a failed buffered write (a full disk), so every byte
    // is pushed to the disk and checked before the file may replace the old one.
    const bool written = out.write(bytes) == bytes.size() && out.flush() &&
                         out.error() == QFileDevice::NoError && ::fsync(out.handle()) == 0;
    if (!written) {
        out.cancelWriting();
        return IniRestoreResult::WriteFailed;
    }
    return out.commit() ? IniRestoreResult::Ok : IniRestoreResult::WriteFailed;
}

bool readAllFrom(int fd, QByteArray* out) {
    out->clear();
    char buf[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out->append(buf, n);
        at += n;
    }
}

bool writeAllTo(int fd, const QByteArray& bytes) {
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + at, size_t(bytes.size() - at), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
    }
    return true;
}

// The way for a file that can be written in a folder that cannot (no temporary file, no
// lock beside it): rewrite the file itself while holding a lock on it. Writers on this
// path serialise on that lock, and readers take it shared, so none sees a half-written
// file. `edit` turns the current text into the new one.
IniRestoreResult rewriteInPlace(const QString& file,
                                const std::function<QString(const QString&)>& edit) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return IniRestoreResult::OpenFailed;
    IniRestoreResult result = IniRestoreResult::WriteFailed;
    {
        const FileLock lock(fd, LOCK_EX);
        struct stat before {};
        QByteArray old;
        if (lock.held() && ::fstat(fd, &before) == 0 && readAllFrom(fd, &old)) {
            const QByteArray bytes = edit(decodeIniText(old)).toUtf8();
            // The room is claimed before the first byte changes, so a full disk or a size
            // limit leaves the old text whole instead of a half-rewritten file.
            if (::posix_fallocate(fd, 0, std::max<off_t>(bytes.size(), 1)) == 0 &&
                writeAllTo(fd, bytes) && ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0) {
                // A reader knows a file by inode, size and write time. Within one clock
                // tick an equally long rewrite would look unchanged, so move its time on.
                struct stat after {};
                if (::fstat(fd, &after) == 0 && after.st_size == before.st_size &&
                    after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
                    after.st_mtim.tv_nsec == before.st_mtim.tv_nsec) {
                    timespec times[2] = {{0, UTIME_OMIT}, after.st_mtim};
                    if (++times[1].tv_nsec >= 1000000000) {
                        times[1].tv_nsec = 0;
                        ++times[1].tv_sec;
                    }
                    ::futimens(fd, times);
                }
                result = IniRestoreResult::Ok;
            }
        }
    }
    if (::close(fd) != 0) result = IniRestoreResult::WriteFailed;
    return result;
}

// Whether a lock that could not be taken beside the file failed for want of a place to
// put it, rather than because another writer holds it.
bool noRoomForLock(const QLockFile& lock) { return lock.error() != QLockFile::LockFailedError; }

// The file was there and writable when probed, so any failure now is one of writing.
IniRestoreResult inPlaceResult(IniRestoreResult r) {
    return r == IniRestoreResult::Ok ? r : IniRestoreResult::WriteFailed;
}

}  // namespace

QString decodeIniText(const QByteArray& bytes) {
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF")) b.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(b);
    if (!utf8.hasError()) return text;
    QStringDecoder gb("GB18030");
    if (gb.isValid()) return gb(b);
    return QString::fromLocal8Bit(b);
}

namespace {

QString entryKey(const QString& section, const QString& key) {
    return section.toCaseFolded() + QLatin1Char('\n') + key.toCaseFolded();
}

// The values of one file as the reader sees them: the first of each section and key.
QHash<QString, QString> parseEntries(const QString& text) {
    QHash<QString, QString> values;
    QString section;
    for (const QString& line : splitLines(text)) {
        if (auto name = sectionName(line)) {
            section = *name;
            continue;
        }
        QString k, v;
        if (keyLine(line, &k, &v)) values.insert(entryKey(section, k), v);  // keeps the first
    }
    return values;
}

// The last file read, parsed. Opening a window reads a dozen keys of one file; a
// settings file replaced by any writer gets a new inode, so its identity below changes.
struct ParsedFile {
    QString path;
    struct stat id {};
    QHash<QString, QString> values;
};

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

QString readIniKey(const QString& file, const QString& section, const QString& key,
                   const QString& defaultValue) {
    static std::mutex guard;
    static ParsedFile last;
    struct stat id {};
    if (::stat(QFile::encodeName(file).constData(), &id) != 0) return defaultValue;
    const std::lock_guard<std::mutex> lock(guard);
    if (last.path != file || !sameFile(last.id, id)) {
        bool exists = false;
        const auto text = loadText(file, &exists);
        if (!text || !exists) return defaultValue;
        last.path = file;
        last.id = id;
        last.values = parseEntries(*text);
    }
    return last.values.value(entryKey(section, key), defaultValue);
}

int writeIniKey(const QString& file, const QString& section, const QString& key,
                const QString& value) {
    const auto edit = [&](const QString& text) {
        QStringList lines = splitLines(text);
        setKey(lines, section, key, value);
        return joinLines(lines);
    };
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        if (!noRoomForLock(lock)) return -1;
        return rewriteInPlace(file, edit) == IniRestoreResult::Ok ? 1 : -1;
    }
    bool exists = false;
    const auto text = loadText(file, &exists);
    if (!text) return -1;  // unreadable: never replace what we could not read
    const IniRestoreResult r = saveAtomically(file, edit(*text));
    if (r == IniRestoreResult::OpenFailed && exists) {
        return rewriteInPlace(file, edit) == IniRestoreResult::Ok ? 1 : -1;
    }
    return r == IniRestoreResult::Ok ? 1 : -1;
}

IniRestoreResult replaceIniFile(const QString& file, const QStringList& lines) {
    // "Cannot open" is a file that cannot be had for writing: held by another writer, or
    // missing and impossible to create. An existing file whose replacement cannot be
    // written beside it is a write failure; either way the old file stays whole.
    const QFileInfo info(file);
    if (info.isDir()) return IniRestoreResult::OpenFailed;
    if (info.exists()) {
        QFile probe(file);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            return IniRestoreResult::OpenFailed;
        }
    }
    const QString text = joinLines(lines);
    const auto whole = [&](const QString&) { return text; };
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        if (!info.exists()) return IniRestoreResult::OpenFailed;
        if (!noRoomForLock(lock)) return IniRestoreResult::OpenFailed;
        return inPlaceResult(rewriteInPlace(file, whole));
    }
    const IniRestoreResult r = saveAtomically(file, text);
    if (r == IniRestoreResult::OpenFailed && info.exists()) {
        return inPlaceResult(rewriteInPlace(file, whole));
    }
    return r;
}

}  // namespace quorv
