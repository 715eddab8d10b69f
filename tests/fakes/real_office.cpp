// Linked into every test and benchmark program: the real office servers and the checks of
// outputs are registered before main, as the programs register them at their start. Offices are
// readied ahead only where a test or benchmark asks for it (registerOfficeWarmer): a window test
// that adds files would otherwise start LibreOffice in the background.
#include "convert/batch/batchengine.h"
#include "engines/checks/outputchecks.h"
#include "engines/office/servers.h"

namespace {

const bool registered = [] {
    quorv::office::registerOfficeServers();
    quorv::setWorkerOfficeWarmer({});
    quorv::checks::registerOutputChecks();
    return true;
}();

}  // namespace
