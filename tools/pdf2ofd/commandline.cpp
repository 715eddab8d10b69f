// The command line of quorv-pdf2ofd: its options, its help, and the whole program.
#include <cstdio>
#include <exception>

#include "../pdf2swf/outputfile.h"
#include "pdf2ofd.h"

namespace quorv::pdf2ofd {

using pdf2swf::inQuotes;

const char* usageText() {
    return "usage: quorv-pdf2ofd INPUT.pdf -o OUTPUT.ofd [-s timeout=SECONDS]\n"
           "Writes INPUT.pdf as an OFD document: text, paths, images, outline and\n"
           "document information, with the fonts it uses embedded.\n"
           "  -o FILE              the OFD file to write\n"
           "  -s timeout=SECONDS   give up after this long, 0 for never (default 600)\n"
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
            if (key != "timeout") {
                result.error = "unknown setting " + inQuotes(value);
                return result;
            }
            bool digits = !setting.empty() && setting.size() <= 6;
            int seconds = 0;
            for (char c : setting) {
                digits = digits && c >= '0' && c <= '9';
                if (digits) seconds = seconds * 10 + (c - '0');
            }
            if (!digits) {
                result.error = "time limit " + inQuotes(setting) +
                               " is not a number of seconds from 0 to 999999";
                return result;
            }
            o.timeoutSeconds = seconds;
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
        result.error = "no output file given (-o OUTPUT.ofd)";
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
        std::fprintf(stderr, "quorv-pdf2ofd: %s (try -h)\n", parsed.error.c_str());
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
    for (const std::string& note : notes) std::fprintf(stderr, "quorv-pdf2ofd: %s\n", note.c_str());
    if (status != kExitOk) std::fprintf(stderr, "quorv-pdf2ofd: %s\n", error.c_str());
    return status;
}

}  // namespace quorv::pdf2ofd
