#pragma once

#include <QString>

#include "convert/batch/request.h"

namespace quorv {

class w_frn;

// "开始输出": converts or copies every shown row, in display order, into the output
// folder in the chosen output mode and writes each row's result word. Each worker of the
// run converts through an office instance of its own. A run-time error of a conversion
// ends the run with the window restored and the instances ended, then goes to the error
// report.
void frnBatchRun(w_frn& w);

}  // namespace quorv
