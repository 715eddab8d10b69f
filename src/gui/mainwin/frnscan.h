#pragma once

#include <QString>
#include <QStringList>

namespace quorv {

class w_frn;
class FileListModel;
struct ScanRow;

// Appends a found file as a new row, numbered with its row number.
void appendScanRow(FileListModel& list, ScanRow&& row);

// The check of the modified-since text: empty when it is usable, else the message.
QString sinceTextError(const QString& text);

// "添加文件夹": scans a chosen folder into the list.
void frnAddFolder(w_frn& w);
// Scans a folder into the list with the window's type, date, subfolder and hidden-file
// choices, as "添加文件夹" does once the folder is chosen.
void frnScanFolder(w_frn& w, const QString& folder);
// "添加文件": appends files chosen in the file dialog.
void frnAddFiles(w_frn& w);
// Appends files by their full paths as "添加文件" does once they are chosen: the count
// first, then one row each, without any filter.
void frnAppendFiles(w_frn& w, const QStringList& paths);
// Files and folders dropped on the list: the files as chosen in the file dialog, each
// folder as chosen in the folder dialog. Paths that are neither are passed over.
void frnAddDropped(w_frn& w, const QStringList& paths);
// "过滤": hides the rows whose file name lacks the typed text.
void frnNameFilter(w_frn& w);

}  // namespace quorv
