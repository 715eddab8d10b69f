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

struct Options {
    std::string input;
    std::string output;
    int flashVersion = kDefaultFlashVersion;
    std::string languageDir;  // accepted for compatibility; fonts come from fontconfig
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
// receives remarks that do not stop the conversion.
int convert(const Options& options, std::string& error, std::vector<std::string>& notes);

// The whole program: parse, convert, report on standard error.
int runTool(int argc, char** argv);

}  // namespace quorv::pdf2swf
