#pragma once

#include <QString>
#include <functional>

namespace quorv {

// One file found by a folder scan, as it becomes a row of the list.
struct ScanRow {
    QString ypath;  // the folder the file is in, ending in "/"
    QString filey;  // the bare file name
    QString zml;    // folder below the scanned one, ending in "/" (recursive scan only)
    bool hasZml = false;
    QString ftime;  // last-write time, "yyyy-mm-dd hh:mm:ss" in local time
};

struct ScanOptions {
    bool recursive = false;      // "包括子文件夹"
    bool includeHidden = false;  // "包括隐藏文件": names starting with "."
    QString szf;                 // first character of the file-type choice
    QString ftype;               // extension list of the type choices 1 to 5, 7 and 8
    QString since;               // choice 6: files written strictly later than this
};

// The extension list of a file-type choice: "1" to "5", "7" presentations, "8" every office
// document (with the Word list's extra extensions, as choice 1); empty for anything else.
QString ftype9(const QString& szf, const QString& awordhz, const QString& sftype);

// Whether a file passes the filter of the choice szf (files always pass when szf is
// not a digit). ftime is the file's getft text.
bool passesFilter(const ScanOptions& options, const QString& name, const QString& ftime);

// The last-write time of a file in local time as "yyyy-mm-dd hh:mm:ss"; empty when it
// cannot be read.
QString getft(const QString& filename);

// Scans a folder (and its subfolders when recursive) in listing order: entries sorted
// by name without regard to case, a subfolder's tree where its entry comes. Links to
// folders are not followed; a folder that cannot be listed adds nothing.
void scanFolder(const QString& ls_path1, const ScanOptions& options,
                const std::function<void(ScanRow&&)>& append);

}  // namespace quorv
