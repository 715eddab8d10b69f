#pragma once

#include <QString>

namespace quorv {

class Desktop;
class w_frn;

// Whether some cell of some worksheet of the workbook at `filey1` holds `bhnr`, searched
// in an Excel instance of its own (inside a content search: served by the search's
// office). When Excel cannot be started it says so on `desktop` and returns false.
bool excelfd(const QString& filey1, const QString& bhnr, Desktop& desktop);

// "搜索": marks the shown rows whose Word document or Excel workbook holds the text of
// sle_3, then shows every row again and reports how many were found.
void frnContentSearch(w_frn& w);

}  // namespace quorv
