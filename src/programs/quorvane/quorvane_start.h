#pragma once

namespace quorv {

// The whole life of the interactive program: create the application object, start it
// (ap_path, then the main window) and run the event loop.
int runQuorvane(int argc, char** argv);

}  // namespace quorv
