#include "convert/folderscan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/filenames.h"

namespace quorv {

namespace {

const QString kWordList = QStringLiteral("doc#docx");
const QString kExcelList = QStringLiteral("xls#xlsx#xlsm#xltx#xltm#xlsb#xlam");
const QString kImageList = QStringLiteral(
    "bmp#dib#dib#rle#emf#eps#gif#icl#icn#ico#cur#ani#eps#jpg#jpeg#jpe#jif#pbm#pcx#dcx#pgm#"
    "pic#pict#pct#png#ppm#psd#psp#tga#tif#tiff#wmf");
const QString kArchiveList = QStringLiteral("rar#zip#arj#tar#cab#iso#7z");
const QString kPresentationList = QStringLiteral("ppt#pptx#pptm#pps#ppsx#pot#potx#dps#dpt#odp");
// Every kind the office converts: Word, Excel and PowerPoint's own types, WPS Office's,
// OpenDocument's and RTF.
const QString kOfficeList = QStringLiteral(
    "doc#docx#docm#dot#dotx#dotm#rtf#odt#ott#wps#wpt#"
    "xls#xlsx#xlsm#xlsb#xlt#xltx#xltm#xlam#ods#ots#et#ett#"
    "ppt#pptx#pptm#pps#ppsx#ppsm#pot#potx#potm#odp#otp#dps#dpt");

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
    QString ftime;  // files only
};

bool typeFilterOnly(const ScanOptions& options) {
    return isDigit(options.szf) && options.szf != QLatin1String("6");
}

// Lists one folder: its files that pass the filter (and, for a recursive scan, its
// subfolders), sorted by name without regard to case. Nothing for a folder that cannot
// be opened. A file's time is read only when the filter or its row needs it.
std::vector<Entry> listFolder(const QByteArray& folder, const ScanOptions& options) {
    std::vector<Entry> entries;
    const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return entries;
    DIR* dir = fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return entries;
    }
    const bool byType = typeFilterOnly(options);
    while (dirent* d = readdir(dir)) {
        const char* raw = d->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
        if (raw[0] == '.' && !options.includeHidden) continue;
        struct stat st {};
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            if (fstatat(dfd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (options.recursive) entries.push_back({QFile::decodeName(raw), true, {}});
            continue;
        }
        // A link to a file is listed like the file; a link to a folder is not followed,
        // so a link back up the tree cannot loop. Devices and sockets are no documents.
        if (type != DT_REG && type != DT_LNK) continue;
        Entry e{QFile::decodeName(raw), false, {}};
        if (byType && !passesFilter(options, e.name, QString())) continue;
        const bool haveStat = fstatat(dfd, raw, &st, 0) == 0;
        if (type == DT_LNK && (!haveStat || !S_ISREG(st.st_mode))) continue;
        if (haveStat) e.ftime = formatTime(st.st_mtime);
        if (!byType && !passesFilter(options, e.name, e.ftime)) continue;
        entries.push_back(std::move(e));
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
    std::vector<Entry> entries = listFolder(QFile::encodeName(folderSlash), options);
    const QString zml = folderSlash.mid(zmlStart);
    for (Entry& e : entries) {
        if (e.isDir) {
            scanLevel(folderSlash + e.name + QLatin1Char('/'), zmlStart, options, append);
            continue;
        }
        ScanRow row;
        row.ypath = folderSlash;
        row.filey = std::move(e.name);
        if (options.recursive) {
            row.zml = zml;
            row.hasZml = true;
        }
        row.ftime = std::move(e.ftime);
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
    if (szf == QLatin1String("7")) return kPresentationList;
    if (szf == QLatin1String("8")) return kOfficeList + awordhz;
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

}  // namespace quorv
