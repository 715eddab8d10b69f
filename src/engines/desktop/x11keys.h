#pragma once

namespace quorv {

// Whether Escape is down as the X server sees it, whichever window has the focus (none
// of ours while minimised). False where the display is not X11.
bool x11EscapeDown();

}  // namespace quorv
