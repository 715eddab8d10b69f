#include "convert/pump.h"

#include <utility>

namespace quorv {

namespace {
std::function<void()>& hook() {
    static std::function<void()> h;
    return h;
}
}  // namespace

void setPumpHook(std::function<void()> h) { hook() = std::move(h); }

void pumpOnce() {
    if (hook()) hook()();
}

}  // namespace quorv
