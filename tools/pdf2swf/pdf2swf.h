#pragma once

#include <string>
#include <vector>

namespace quorv::pdf2swf {

// Pages are rendered at this resolution unless a page is too large for the player's
// bitmap limits, in which case that page alone is rendered smaller.
constexpr double kRenderDpi = 96.0;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr int kDefaultFlashVersion = 9;
constexpr int kMaxFlashVersion = 50;

// A conversion still running after this many seconds is stopped and fails; ten minutes
// cover documents of thousands of pages, while a damaged file that makes the renderer
// loop forever cannot hold up a batch for good. 0 means no limit.
constexpr int kDefaultTimeoutSeconds = 600;
constexpr int kMaxTimeoutSeconds = 999999;

struct Options {
    std::string input;
    std::string output;
    int flashVersion = kDefaultFlashVersion;
    std::string languageDir;  // accepted for compatibility; fonts come from fontconfig
    double timeoutSeconds = kDefaultTimeoutSeconds;  // 0: no limit
    // The renderer cannot be interrupted inside a page, so in-process the limit is only
    // checked between pages. With this set, a limit that passes anywhere ends the whole
    // process at once (after removing the unfinished file), as the program does.
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

// Converts options.input into options.output. Returns an exit status; on failure `error`
// holds a one-line reason and no output file has been created or changed. `notes`
// receives remarks that do not stop the conversion. Past the time limit the conversion
// fails; with options.stopProcessOnTimeout the process prints the reason on standard
// error and exits with kExitFailed instead of returning.
int convert(const Options& options, std::string& error, std::vector<std::string>& notes);

// The whole program: parse, convert, report on standard error.
int runTool(int argc, char** argv);

}  // namespace quorv::pdf2swf
