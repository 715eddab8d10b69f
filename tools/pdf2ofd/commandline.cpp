// The command line of quorv-pdf2ofd: its options, its help, and the whole program.
#include "pdf2ofd.h"

namespace quorv::pdf2ofd {

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
    // The only setting is the time limit; any other is a mistake worth saying.
    result.error = tools::readCommandLine(
        args, o, "OUTPUT.ofd",
        [&o](const std::string& key, const std::string& value, const std::string& setting) {
            if (key != "timeout") return "unknown setting " + inQuotes(setting);
            return tools::readTimeout(value, o.timeoutSeconds);
        });
    return result;
}

int runTool(int argc, char** argv) {
    return tools::runTool(argc, argv, "quorv-pdf2ofd", usageText(), parseCommandLine, convert);
}

}  // namespace quorv::pdf2ofd
