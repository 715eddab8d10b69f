#pragma once

#include <string>
#include <vector>

namespace quorv::pdf2ofd {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// As for the SWF tool: ten minutes cover documents of thousands of pages, while a damaged
// file that makes the PDF library loop cannot hold up a batch for good. 0 means no limit.
constexpr int kDefaultTimeoutSeconds = 600;

struct Options {
    std::string input;
    std::string output;
    double timeoutSeconds = kDefaultTimeoutSeconds;  // 0: no limit
    // With this set, a limit that passes anywhere ends the whole process at once (after
    // removing the unfinished file); otherwise the limit is checked between pages.
    bool stopProcessOnTimeout = false;
    bool help = false;
};

struct ParsedCommandLine {
    Options options;
    std::string error;  // empty when the command line is usable
};

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
