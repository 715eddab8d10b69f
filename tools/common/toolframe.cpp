#include "toolframe.h"

#include <cstdio>
#include <exception>

namespace quorv::tools {

bool parseNumber(const std::string& text, size_t maxDigits, int min, int max, int& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max) return false;
    value = v;
    return true;
}

std::string readTimeout(const std::string& text, double& seconds) {
    int v = 0;
    if (!parseNumber(text, 6, 0, kMaxTimeoutSeconds, v)) {
        return "time limit " + inQuotes(text) + " is not a number of seconds from 0 to " +
               std::to_string(kMaxTimeoutSeconds);
    }
    seconds = v;
    return "";
}

std::string readCommandLine(const std::vector<std::string>& args, CommonOptions& o,
                            const std::string& outputExample, const SettingReader& readSetting) {
    bool haveInput = false;
    bool haveOutput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            return "";
        }
        if (a == "-o" || a == "-s") {
            if (i + 1 >= args.size()) return "option " + a + " needs a value";
            const std::string& value = args[++i];
            if (a == "-o") {
                if (value.empty()) return "option -o needs a file name";
                o.output = value;
                haveOutput = true;
                continue;
            }
            const size_t eq = value.find('=');
            const std::string key = value.substr(0, eq);
            const std::string setting = eq == std::string::npos ? "" : value.substr(eq + 1);
            std::string error = readSetting(key, setting, value);
            if (!error.empty()) return error;
            continue;
        }
        if (a.size() > 1 && a[0] == '-') return "unknown option " + inQuotes(a);
        if (haveInput)
            return "more than one input file: " + inQuotes(o.input) + " and " + inQuotes(a);
        o.input = a;
        haveInput = true;
    }
    if (!haveInput) return "no input file given";
    if (!haveOutput) return "no output file given (-o " + outputExample + ")";
    return "";
}

int reportCommandLine(const char* tool, const char* usage, bool help, const std::string& error) {
    if (help) {
        std::fputs(usage, stdout);
        return kExitOk;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s (try -h)\n", tool, error.c_str());
        return kExitUsage;
    }
    return -1;
}

int reportConversion(const char* tool, const Conversion& conversion) {
    std::string error;
    std::vector<std::string> notes;
    int status = kExitFailed;
    try {
        status = conversion(error, notes);
    } catch (const std::exception& e) {
        error = std::string("conversion failed: ") + e.what();
    }
    for (const std::string& note : notes) std::fprintf(stderr, "%s: %s\n", tool, note.c_str());
    if (status != kExitOk) std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
    return status;
}

}  // namespace quorv::tools
