#pragma once

// Whether an output a conversion left can be read: an office or a tool can end with a
// file that is there but empty or cut short. The check itself comes with the program's
// backend (it reads PDFs with poppler, which this layer does not link).

#include <QString>

namespace quorv {

enum class OutputKind {
    Pdf,   // opens, with at least one page
    Xps,   // a zip package holding a fixed document sequence
    Swf,   // a whole SWF header with at least one frame
    Ofd,   // a whole OFD package with as many pages as the PDF it was made from
    Text,  // any other saved format: not empty unless the source is
};

// The kind of what a Word save or export format writes.
OutputKind outputKindOfFormat(int wordFormat);

// Whether the backend's check passes the output; a protected PDF opens with openPassword.
bool outputReads(const QString& output, OutputKind kind, const QString& source,
                 const QString& openPassword = QString());

}  // namespace quorv
