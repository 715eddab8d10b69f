// The command line of quorv-pdf2swf: its options, its help, and the whole program.
#include <cctype>
#include <cstring>

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
    // Keys in any case; settings of other programs' command lines are accepted and ignored.
    result.error = tools::readCommandLine(
        args, o, "OUTPUT.swf",
        [&o](const std::string& key, const std::string& value, const std::string&) {
            if (equalsIgnoreCase(key, "flashversion")) {
                if (!tools::parseNumber(value, 3, 1, kMaxFlashVersion, o.flashVersion)) {
                    return "flash version " + inQuotes(value) + " is not a number from 1 to " +
                           std::to_string(kMaxFlashVersion);
                }
            } else if (equalsIgnoreCase(key, "languagedir")) {
                o.languageDir = value;
            } else if (equalsIgnoreCase(key, "timeout")) {
                return tools::readTimeout(value, o.timeoutSeconds);
            }
            return std::string();
        });
    return result;
}

int runTool(int argc, char** argv) {
    return tools::runTool(argc, argv, "quorv-pdf2swf", usageText(), parseCommandLine, convert);
}

}  // namespace quorv::pdf2swf
