#pragma once

#include <QString>
#include <exception>

namespace quorv {

// Why a document was not converted, as far as the office, the tool and the file system
// told it. None: no cause known (the caller's generic text applies).
enum class FailReason {
    None,
    Damaged,            // the file is no document of its type, or the office cannot read it
    Password,           // the file opens only with a password
    Timeout,            // the office did not answer in time and was ended
    OfficeDied,         // the office process died under the call
    OfficeUnavailable,  // no office instance could be started
    WrongType,          // the extension is not among those converted
    SourceMissing,      // the source file is not there
    OutputUnwritable,   // nothing can be written into the output folder
    NoOutput,           // every step answered, but no output file came
    SwfFailed,          // the PDF-to-SWF tool failed
    OfdFailed,          // the PDF-to-OFD tool failed
    BlankInName,        // SWF mode refuses names with a blank
    UnknownKind,        // neither the bytes nor the name show a Word, Excel or PowerPoint file
    NothingToPrint,     // a workbook or presentation with no visible content to print
    NoSuchFormat,       // the chosen save format does not exist for this kind of document
    PdfRewriteFailed,   // the PDF was written, but its watermark or protection could not be added
    Unknown,            // an error without a known cause
};

// The short text shown in the list, the exports and quorvcli's error line; empty for None.
QString failReasonText(FailReason reason);

// The cause carried by a caught error: a run-time error's own, else Unknown.
FailReason failReasonOf(const std::exception_ptr& error);

// Whether a file can be made in a folder. Tried rather than read from the mode bits: root
// passes every mode check but not an immutable folder.
bool folderTakesFiles(const QString& folder);

}  // namespace quorv
