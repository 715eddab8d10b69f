#pragma once

#include <QStringList>

#include "core/failreason.h"

class QIODevice;

namespace quorv {

// The category a failure is reported under in the JSON lines ("damaged", "password", ...);
// empty for None.
QString failReasonName(FailReason reason);
// Whether a later run may succeed where this one failed: the office, not the file, failed.
bool failureRetryable(FailReason reason);

// Where a run writes and reads: the program passes its standard streams, tests buffers.
struct BatchStreams {
    QIODevice* out = nullptr;    // the JSON lines (one flushed write each) and --help
    QIODevice* err = nullptr;    // messages, the error report and the progress line
    QIODevice* in = nullptr;     // the list of --files-from -
    bool errIsTerminal = false;  // the progress line is shown only to a person
};

// One whole run of quorvbatch in the current working directory; `arguments` are those
// after the program name. Returns the exit status. Needs a QCoreApplication.
int runQuorvbatch(const QStringList& arguments, const BatchStreams& streams);

}  // namespace quorv
