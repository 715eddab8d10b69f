#pragma once

#include <QString>

#include "core/failreason.h"

namespace quorv {

// What one conversion left: the output's full path, or, when it wrote nothing, why not.
// A failing office call is no outcome: it raises RuntimeError, carrying its own reason.
struct ConvertOutcome {
    QString output;  // empty when nothing was written
    FailReason reason = FailReason::None;

    bool written() const { return !output.isEmpty(); }
    static ConvertOutcome wrote(const QString& path) { return {path, FailReason::None}; }
    static ConvertOutcome failed(FailReason why) { return {QString(), why}; }
};

}  // namespace quorv
