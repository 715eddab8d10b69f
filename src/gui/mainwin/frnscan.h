#pragma once

#include <QString>

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
// "添加文件": appends files chosen in the file dialog.
void frnAddFiles(w_frn& w);
// "过滤": hides the rows whose file name lacks the typed text.
void frnNameFilter(w_frn& w);

}  // namespace quorv
