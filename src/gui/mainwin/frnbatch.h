#pragma once

#include <QString>

#include "convert/batch/batchengine.h"

namespace quorv {

class w_frn;

// "开始输出": converts or copies every shown row, in display order, into the output
// folder in the chosen output mode and writes each row's result word. All conversions
// of one run share one office instance. A run-time error of a conversion ends the run
// with the window restored and the instance ended, then goes to the error report.
void frnBatchRun(w_frn& w);

}  // namespace quorv
