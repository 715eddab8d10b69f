#include "engines/desktop/x11keys.h"

#include <QGuiApplication>

// After Qt's headers: Xlib defines macros (KeyPress, None, ...) that clash with Qt names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace quorv {

bool x11EscapeDown() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return false;
    const KeyCode code = XKeysymToKeycode(display, XK_Escape);
    if (code == 0) return false;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    return (keys[code / 8] & (1 << (code % 8))) != 0;
}

}  // namespace quorv
