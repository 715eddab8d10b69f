#pragma once

#include <functional>

#include "fakes/scripted_desktop.h"

namespace quorv::testing {

// A scripted desktop that calls a hook each time events are let in. A batch run does that
// once before every row, so a caller can act or measure in the middle of a run.
class PumpHookDesktop : public ScriptedDesktop {
  public:
    // Called with the number of pumps so far (1 before the first row).
    std::function<void(int)> onPump;

    void pumpEvents() override {
        ScriptedDesktop::pumpEvents();
        if (onPump) onPump(pumps);
    }
};

}  // namespace quorv::testing
