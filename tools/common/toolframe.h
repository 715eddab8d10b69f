#pragma once

// What quorv-pdf2swf and quorv-pdf2ofd share: exit statuses, the time limit, the options
// both take, the reading of their command lines and the frame of the whole program. Each
// tool keeps its own settings, help and messages.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quorv::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A conversion still running after this many seconds is stopped and fails; ten minutes
// cover documents of thousands of pages, while a damaged file that makes the PDF library
// loop forever cannot hold up a batch for good. 0 means no limit.
constexpr int kDefaultTimeoutSeconds = 600;
constexpr int kMaxTimeoutSeconds = 999999;

inline std::string inQuotes(const std::string& path) { return "'" + path + "'"; }

// The options every tool takes; a tool's own Options adds its settings.
struct CommonOptions {
    std::string input;
    std::string output;
    double timeoutSeconds = kDefaultTimeoutSeconds;  // 0: no limit
    // With this set, a limit that passes anywhere ends the whole process at once (after
    // removing the unfinished file); otherwise the limit is checked between pages.
    bool stopProcessOnTimeout = false;
    bool help = false;
};

template <class Options>
struct ParsedCommandLine {
    Options options;
    std::string error;  // empty when the command line is usable
};

// Digits only, so "9x", "-1", " 9" and "" are all refused; at most `maxDigits` of them and
// from `min` to `max`.
bool parseNumber(const std::string& text, size_t maxDigits, int min, int max, int& value);

// Reads the value of "-s timeout=SECONDS", whole seconds with 0 turning the limit off.
// Returns why it is refused, or "" when `seconds` was set.
std::string readTimeout(const std::string& text, double& seconds);

// Reads one "-s KEY=VALUE" (`setting` is the whole of it); returns why it is refused, or "".
using SettingReader = std::function<std::string(const std::string& key, const std::string& value,
                                                const std::string& setting)>;

// Reads the arguments after the program name into `options`: -h or --help, -o FILE, one
// input file and every -s through `readSetting`. Returns the first problem, or "" when
// the command line is usable or asks for help. `outputExample` is the output's name in
// the message for a missing -o ("OUTPUT.swf").
std::string readCommandLine(const std::vector<std::string>& args, CommonOptions& options,
                            const std::string& outputExample, const SettingReader& readSetting);

// Prints the help on standard output or a command-line problem on standard error and
// returns the exit status; -1 when the conversion is to run.
int reportCommandLine(const char* tool, const char* usage, bool help, const std::string& error);

using Conversion = std::function<int(std::string& error, std::vector<std::string>& notes)>;

// Runs `conversion`, an exception counting as a failure, and prints its notes and the
// reason of a failure on standard error, each as "TOOL: ...". Returns the exit status.
int reportConversion(const char* tool, const Conversion& conversion);

// The whole program: parse, convert with the time limit ending the process, report.
template <class Options>
int runTool(int argc, char** argv, const char* tool, const char* usage,
            ParsedCommandLine<Options> (*parse)(const std::vector<std::string>&),
            int (*convert)(const Options&, std::string&, std::vector<std::string>&)) {
    const ParsedCommandLine<Options> parsed =
        parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    const int status = reportCommandLine(tool, usage, parsed.options.help, parsed.error);
    if (status >= 0) return status;
    Options options = parsed.options;
    options.stopProcessOnTimeout = true;
    return reportConversion(tool, [&](std::string& error, std::vector<std::string>& notes) {
        return convert(options, error, notes);
    });
}

}  // namespace quorv::tools
