#pragma once

// Whether an output a conversion left can be read: an office or a tool can end with a
// file that is there but empty or cut short. The programs register the check (it reads
// PDFs with poppler, which this layer does not link); without one every file that came
// counts.

#include <QString>
#include <functional>

namespace quorv {

enum class OutputKind {
    Pdf,   // opens, with at least one page
    Xps,   // a zip package holding a fixed document sequence
    Swf,   // a whole SWF header with at least one frame
    Text,  // any other saved format: not empty unless the source is
};

// The kind of what a Word save or export format writes.
OutputKind outputKindOfFormat(int wordFormat);

using OutputCheck =
    std::function<bool(const QString& output, OutputKind kind, const QString& source)>;
void setOutputCheck(OutputCheck check);
// The check registered now (empty when none is), so that a test can put it back.
OutputCheck outputCheck();
// True when no check is registered or the registered one passes the output.
bool outputReads(const QString& output, OutputKind kind, const QString& source);

}  // namespace quorv
