// Linked into every test and benchmark program: the backend of the programs is installed
// before main, as each program installs it at its start. Offices are readied ahead only
// where a test or benchmark asks for it: a window test that adds files would otherwise
// start LibreOffice in the background.
#include "engines/office/officebackend.h"

namespace {

const bool installed = [] {
    quorv::office::installOfficeBackend(false);
    return true;
}();

}  // namespace
