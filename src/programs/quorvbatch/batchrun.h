#pragma once

#include <QStringList>

#include "core/failreason.h"

namespace quorv {

// The category a failure is reported under in the JSON lines ("damaged", "password", ...);
// empty for None.
QString failReasonName(FailReason reason);
// Whether a later run may succeed where this one failed: the office, not the file, failed.
bool failureRetryable(FailReason reason);

// One whole run of quorvbatch in the current working directory; `arguments` are those
// after the program name. Returns the exit status. Needs a QCoreApplication.
int runQuorvbatch(const QStringList& arguments);

}  // namespace quorv
