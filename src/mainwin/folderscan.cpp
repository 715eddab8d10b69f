#include "mainwin/folderscan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "convert/filenames.h"

namespace quorv {

namespace {

const QString kWordList = QStringLiteral("doc#docx");
const QString kExcelList = QStringLiteral("xls#xlsx#xlsm#xltx#xltm#xlsb#xlam");
const QString kImageList = QStringLiteral(
    "bmp#dib#dib#rle#emf#eps#gif#icl#icn#ico#cur#ani#eps#jpg#jpeg#jpe#jif#pbm#pcx#dcx#pgm#"
    "pic#pict#pct#png#ppm#psd#psp#tga#tif#tiff#wmf");
const QString kArchiveList = QStringLiteral("rar#zip#arj#tar#cab#iso#7z");

bool isDigit(const QString& szf) {
    return szf.size() == 1 && szf[0] >= QLatin1Char('0') && szf[0] <= QLatin1Char('9');
}

QString formatTime(time_t t) {
    struct tm local {};
    if (!localtime_r(&t, &local)) return QString();
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return QString::fromLatin1(buf);
}

struct Entry {
    QString name;
    bool isDir = false;
    time_t mtime = 0;
    bool timeKnown = false;
};

// Lists one folder: its files (and, for a recursive scan, its subfolders), sorted by
// name without regard to case. Nothing for a folder that cannot be opened.
std::vector<Entry> listFolder(const QByteArray& folder, const ScanOptions& options) {
    std::vector<Entry> entries;
    const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return entries;
    DIR* dir = fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return entries;
    }
    while (dirent* d = readdir(dir)) {
        const char* raw = d->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        if (raw[0] == '.' && !options.includeHidden) continue;
        struct stat st {};
        bool isDir = false, isFile = false, timeKnown = false;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN || type == DT_REG || type == DT_DIR) {
            if (fstatat(dfd, raw, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                isDir = S_ISDIR(st.st_mode);
                isFile = S_ISREG(st.st_mode);
                timeKnown = true;
                if (S_ISLNK(st.st_mode)) type = DT_LNK;
            }
        }
        if (type == DT_LNK) {
            // A link to a file is listed like the file; a link to a folder is not
            // followed, so a link back up the tree cannot loop.
            isDir = false;
            timeKnown = fstatat(dfd, raw, &st, 0) == 0;
            isFile = timeKnown && S_ISREG(st.st_mode);
        }
        if (isDir && !options.recursive) continue;
        if (!isDir && !isFile) continue;  // devices, sockets, links to folders or nothing
        entries.push_back({QFile::decodeName(raw), isDir, st.st_mtime, timeKnown});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

void scanLevel(const QString& folderSlash, qsizetype zmlStart, const ScanOptions& options,
               const std::function<void(ScanRow&&)>& append) {
    const std::vector<Entry> entries = listFolder(QFile::encodeName(folderSlash), options);
    for (const Entry& e : entries) {
        if (e.isDir) {
            scanLevel(folderSlash + e.name + QLatin1Char('/'), zmlStart, options, append);
            continue;
        }
        const QString ftime = e.timeKnown ? formatTime(e.mtime) : QString();
        if (!passesFilter(options, e.name, ftime)) continue;
        ScanRow row;
        row.ypath = folderSlash;
        row.filey = e.name;
        if (options.recursive) {
            row.zml = folderSlash.mid(zmlStart);
            row.hasZml = true;
        }
        row.ftime = ftime;
        append(std::move(row));
    }
}

}  // namespace

QString ftype9(const QString& szf, const QString& awordhz, const QString& sftype) {
    if (szf == QLatin1String("1")) return kWordList + awordhz;
    if (szf == QLatin1String("2")) return kExcelList;
    if (szf == QLatin1String("3")) return kImageList;
    if (szf == QLatin1String("4")) return kArchiveList;
    if (szf == QLatin1String("5")) return sftype;
    return QString();
}

bool passesFilter(const ScanOptions& options, const QString& name, const QString& ftime) {
    if (!isDigit(options.szf)) return true;
    if (options.szf == QLatin1String("6")) return !ftime.isEmpty() && ftime > options.since;
    const QString ext = qfilehz(name);
    // An empty extension would be "found" in any list.
    return !ext.isEmpty() && options.ftype.contains(ext);
}

QString getft(const QString& filename) {
    struct stat st {};
    if (::stat(QFile::encodeName(filename).constData(), &st) != 0) return QString();
    return formatTime(st.st_mtime);
}

void scanFolder(const QString& ls_path1, const ScanOptions& options,
                const std::function<void(ScanRow&&)>& append) {
    QString top = ls_path1;
    if (!top.endsWith(QLatin1Char('/'))) top += QLatin1Char('/');
    scanLevel(top, top.size(), options, append);
}

void cr_d9(const QString& outputFolder, const QString& filenp) {
    qsizetype p = outputFolder.size() + 1;  // 1-based, as the positions below
    while (filenp.size() >= p) {
        const qsizetype slash = filenp.indexOf(QLatin1Char('/'), p);  // from position p + 1
        if (slash < 0) break;
        p = slash + 1;
        const QString folder = filenp.left(p - 1);
        if (!QFileInfo(folder).isDir()) QDir().mkdir(folder);
    }
}

}  // namespace quorv
