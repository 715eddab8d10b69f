#include "core/pump.h"

#include <QCoreApplication>
#include <QThread>
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
    // Only the thread of the windows has window events; a pool worker never pumps.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) return;
    if (hook()) hook()();
}

}  // namespace quorv
