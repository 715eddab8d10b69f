#pragma once

#include <QString>

namespace quorv {

class w_frn;

// "搜索": marks the shown rows whose Word document or Excel workbook holds the text of
// sle_3, then shows every row again and reports how many were found.
void frnContentSearch(w_frn& w);

}  // namespace quorv
