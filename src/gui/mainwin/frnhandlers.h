#pragma once

namespace quorv {

class w_frn;

// Connects the window's long operations (scan, add, filter, batch, search, settings)
// to its buttons.
void installFrnHandlers(w_frn& w);

}  // namespace quorv
