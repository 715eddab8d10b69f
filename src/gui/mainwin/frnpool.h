#pragma once

#include <functional>

#include "convert/batch/batchengine.h"

namespace quorv {

class w_frn;

// Runs the engine's rows while the window goes on answering: a held Escape (asked before
// each row starts and between rows) or closing the window stops it, notices are shown as
// they come, and each row's result is handed to onRow on this thread. Returns when the
// last row in flight has finished, with the row that raised an error (if any) in view;
// the engine then says whether it stopped or failed. reason is the text the list shows.
void runOnPool(
    w_frn& w, BatchEngine& engine,
    const std::function<void(int index, BatchResult result, const QString& reason)>& onRow);

// The text a run's notice shows.
QString batchNoticeText(BatchNotice notice);

}  // namespace quorv
