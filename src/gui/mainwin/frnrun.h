#pragma once

#include <functional>

#include "convert/batch/run.h"

namespace quorv {

class w_frn;

// Runs a request while the window goes on answering: a held Escape or closing the window
// stops it (rows in flight finish), notices are shown as they come, and each row's result
// is handed to onRow on this thread, with the text the list shows for its reason. Returns
// at the end of the run, with the row that raised an error (if any) in view. A request
// the run refuses is told in a message box and runs no row. The row callbacks of `more`
// are called as well (its stop condition and notices are the window's own).
BatchRunResult runInWindow(
    w_frn& w, const BatchRequest& request,
    const std::function<void(int index, BatchResult result, const QString& reason)>& onRow,
    const RunCallbacks& more = {});

}  // namespace quorv
