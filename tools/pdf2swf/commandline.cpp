// The command line of quorv-pdf2swf: its options, its help, and the whole program.
#include <cstdio>
#include <cstring>
#include <exception>

#include "outputfile.h"
#include "pdf2swf.h"

namespace quorv::pdf2swf {

namespace {

bool equalsIgnoreCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    }
    return true;
}

// Digits only, so "9x", "-1", " 9" and "" are all refused; at most `maxDigits` of them and
// from `min` to `max`.
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

bool parseVersion(const std::string& text, int& version) {
    return parseNumber(text, 3, 1, kMaxFlashVersion, version);
}

// Whole seconds; 0 turns the limit off.
bool parseTimeout(const std::string& text, double& seconds) {
    int v = 0;
    if (!parseNumber(text, 6, 0, kMaxTimeoutSeconds, v)) return false;
    seconds = v;
    return true;
}

}  // namespace

const char* usageText() {
    return "usage: quorv-pdf2swf INPUT.pdf -o OUTPUT.swf -s flashversion=N [-s languagedir=DIR]\n"
           "Renders every page of INPUT.pdf and writes one SWF frame per page.\n"
           "  -o FILE              the SWF file to write\n"
           "  -s flashversion=N    SWF version, 1 to 50 (default 9)\n"
           "  -s languagedir=DIR   accepted; fonts are found through fontconfig\n"
           "  -s timeout=SECONDS   give up after this long, 0 for never (default 600)\n"
           "  -s KEY=VALUE         other settings are accepted and ignored\n"
           "  -h                   show this help\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    Options& o = result.options;
    bool haveInput = false;
    bool haveOutput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            return result;
        }
        if (a == "-o" || a == "-s") {
            if (i + 1 >= args.size()) {
                result.error = "option " + a + " needs a value";
                return result;
            }
            const std::string& value = args[++i];
            if (a == "-o") {
                if (value.empty()) {
                    result.error = "option -o needs a file name";
                    return result;
                }
                o.output = value;
                haveOutput = true;
                continue;
            }
            const size_t eq = value.find('=');
            const std::string key = value.substr(0, eq);
            const std::string setting = eq == std::string::npos ? "" : value.substr(eq + 1);
            if (equalsIgnoreCase(key, "flashversion")) {
                if (!parseVersion(setting, o.flashVersion)) {
                    result.error = "flash version " + inQuotes(setting) +
                                   " is not a number from 1 to " + std::to_string(kMaxFlashVersion);
                    return result;
                }
            } else if (equalsIgnoreCase(key, "languagedir")) {
                o.languageDir = setting;
            } else if (equalsIgnoreCase(key, "timeout")) {
                if (!parseTimeout(setting, o.timeoutSeconds)) {
                    result.error = "time limit " + inQuotes(setting) +
                                   " is not a number of seconds from 0 to " +
                                   std::to_string(kMaxTimeoutSeconds);
                    return result;
                }
            }
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            result.error = "unknown option " + inQuotes(a);
            return result;
        }
        if (haveInput) {
            result.error = "more than one input file: " + inQuotes(o.input) + " and " + inQuotes(a);
            return result;
        }
        o.input = a;
        haveInput = true;
    }
    if (!haveInput) {
        result.error = "no input file given";
    } else if (!haveOutput) {
        result.error = "no output file given (-o OUTPUT.swf)";
    }
    return result;
}

int runTool(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedCommandLine parsed = parseCommandLine(args);
    if (parsed.options.help) {
        std::fputs(usageText(), stdout);
        return kExitOk;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quorv-pdf2swf: %s (try -h)\n", parsed.error.c_str());
        return kExitUsage;
    }
    Options options = parsed.options;
    options.stopProcessOnTimeout = true;
    std::string error;
    std::vector<std::string> notes;
    int status = kExitFailed;
    try {
        status = convert(options, error, notes);
    } catch (const std::exception& e) {
        error = std::string("conversion failed: ") + e.what();
    }
    for (const std::string& note : notes) std::fprintf(stderr, "quorv-pdf2swf: %s\n", note.c_str());
    if (status != kExitOk) std::fprintf(stderr, "quorv-pdf2swf: %s\n", error.c_str());
    return status;
}

}  // namespace quorv::pdf2swf
