#pragma once

#include <functional>

namespace quorv {

// "Let pending window events be processed once": the interactive program hands in its
// event pump; the command-line program has none, and then this does nothing. Off the
// thread of the windows (a pool worker) it does nothing either.
void setPumpHook(std::function<void()> hook);
void pumpOnce();

}  // namespace quorv
