#pragma once

#include <string>
#include <vector>

#include "../common/toolframe.h"

namespace quorv::pdf2swf {

// Pages are rendered at this resolution unless a page is too large for the player's
// bitmap limits, in which case that page alone is rendered smaller.
constexpr double kRenderDpi = 96.0;

using tools::inQuotes;
using tools::kDefaultTimeoutSeconds;
using tools::kExitFailed;
using tools::kExitOk;
using tools::kExitUsage;
using tools::kMaxTimeoutSeconds;

constexpr int kDefaultFlashVersion = 9;
constexpr int kMaxFlashVersion = 50;

// The renderer cannot be interrupted inside a page, so in-process the time limit is only
// checked between pages; with stopProcessOnTimeout it ends the process wherever it is.
struct Options : tools::CommonOptions {
    int flashVersion = kDefaultFlashVersion;
    std::string languageDir;  // accepted for compatibility; fonts come from fontconfig
};

using ParsedCommandLine = tools::ParsedCommandLine<Options>;

// Parses the arguments after the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

const char* usageText();

// Converts options.input into options.output. Returns an exit status; on failure `error`
// holds a one-line reason and no output file has been created or changed. `notes`
// receives remarks that do not stop the conversion. Past the time limit the conversion
// fails; with options.stopProcessOnTimeout the process prints the reason on standard
// error and exits with kExitFailed instead of returning.
int convert(const Options& options, std::string& error, std::vector<std::string>& notes);

// The whole program: parse, convert, report on standard error.
int runTool(int argc, char** argv);

}  // namespace quorv::pdf2swf
