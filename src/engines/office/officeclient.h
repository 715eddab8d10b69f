#pragma once

// Reaching the office service: where it listens, and a request run on it.

#include <QString>

#include "convert/batch/requestjson.h"

namespace quorv {

// The user's runtime folder ($XDG_RUNTIME_DIR, else /run/user/<uid> when it is this user's
// own); empty when there is none, and then there is no service either.
QString officeRuntimeFolder();
// The service's socket in it; empty without a runtime folder.
QString officeSocketPath();

struct ServiceAnswer {
    enum class State {
        NotRunning,  // no service answered; nothing was done
        Done,        // the run ended; `result` holds how
        Lost,        // the service ended under the run
    };
    State state = State::NotRunning;
    BatchRunResult result;
};

// Runs `request` (its paths absolute) on the service when one listens.
ServiceAnswer runOnOfficeService(const BatchRequest& request, int connectTimeoutMs = 1000);

}  // namespace quorv
