#pragma once

#include <string>
#include <vector>

#include "../common/toolframe.h"

namespace quorv::pdf2ofd {

using tools::inQuotes;
using tools::kDefaultTimeoutSeconds;
using tools::kExitFailed;
using tools::kExitOk;
using tools::kExitUsage;

// The tool takes only the options every tool takes.
struct Options : tools::CommonOptions {};

using ParsedCommandLine = tools::ParsedCommandLine<Options>;

// Parses the arguments after the program name.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

const char* usageText();

// Converts options.input into the OFD package options.output. Returns an exit status; on
// failure `error` holds a one-line reason and no output file has been created or changed.
// `notes` receives remarks that do not stop the conversion (a font that could not be
// embedded, an image that could not be read).
int convert(const Options& options, std::string& error, std::vector<std::string>& notes);

// The whole program: parse, convert, report on standard error.
int runTool(int argc, char** argv);

}  // namespace quorv::pdf2ofd
