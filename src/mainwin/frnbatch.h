#pragma once

#include <QString>

namespace quorv {

class w_frn;

// "开始输出": converts or copies every shown row, in display order, into the output
// folder in the chosen output mode and writes each row's result word. All conversions
// of one run share one office instance. A run-time error of a conversion ends the run
// with the window restored and the instance ended, then goes to the error report.
void frnBatchRun(w_frn& w);

// Copies source to target, replacing an existing target only by a complete copy: the
// data goes to a temporary file in the target's folder that is then renamed into place.
// False, with target untouched, when source is not a readable file, when target is the
// source itself, or when any step fails.
bool copyIntoPlace(const QString& source, const QString& target);

}  // namespace quorv
