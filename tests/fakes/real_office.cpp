// Linked into every test and benchmark program: the real office servers are registered
// before main, as the programs register them at their start.
#include "engines/office/servers.h"

namespace {

const bool registered = [] {
    quorv::office::registerOfficeServers();
    return true;
}();

}  // namespace
