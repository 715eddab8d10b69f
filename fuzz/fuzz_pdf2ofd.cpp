// The PDF-to-OFD converter on mutated PDFs, in process: it never crashes; a failure has a
// one-line reason and leaves neither the output nor its temporary file; a success leaves
// exactly the output, a ZIP package whose members are all named in its central directory
// and that holds OFD.xml and a content file for every page the document lists.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "pdf2ofd.h"
#include "toolfuzz.h"

const char* const quorv::fuzz::kConverter = "pdf2ofd";

namespace {

using quorv::fuzz::finding;

unsigned get16(const std::string& s, size_t at) {
    if (at + 2 > s.size()) finding("ZIP structure runs past the end");
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}
uint32_t get32(const std::string& s, size_t at) { return get16(s, at) | get16(s, at + 2) << 16; }

// The names in the central directory, each checked against its local header.
std::set<std::string> checkZip(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string zip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (zip.size() < 22 || get32(zip, zip.size() - 22) != 0x06054b50)
        finding("no end of central directory");
    const unsigned count = get16(zip, zip.size() - 12);
    size_t at = get32(zip, zip.size() - 6);
    std::set<std::string> names;
    for (unsigned i = 0; i < count; ++i) {
        if (get32(zip, at) != 0x02014b50) finding("bad central directory entry");
        const unsigned nameLength = get16(zip, at + 28);
        const size_t skip = 46 + nameLength + get16(zip, at + 30) + get16(zip, at + 32);
        const size_t local = get32(zip, at + 42);
        if (at + 46 + nameLength > zip.size()) finding("name runs past the end");
        const std::string name = zip.substr(at + 46, nameLength);
        if (get32(zip, local) != 0x04034b50) finding("no local header for", name);
        if (local + 30 + get16(zip, local + 26) + get16(zip, local + 28) + get32(zip, at + 20) >
            zip.size())
            finding("member runs past the end", name);
        if (!names.insert(name).second) finding("member twice", name);
        at += skip;
    }
    return names;
}

}  // namespace

// The faces the converter remembers go beside the scratch folder, not into the user's home.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("XDG_CACHE_HOME", (quorv::fuzz::scratchDir() + "-cache").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fuzz = quorv::fuzz;
    fuzz::Run run = fuzz::startRun(data, size, "out.ofd");
    quorv::pdf2ofd::Options options;
    options.input = run.input;
    options.output = run.output;
    options.timeoutSeconds = fuzz::kTimeLimitSeconds;
    fuzz::convertTimed(run, [&](std::string& error, std::vector<std::string>& notes) {
        return quorv::pdf2ofd::convert(options, error, notes);
    });
    if (fuzz::checkLeftovers(run, "out.ofd")) {
        const std::set<std::string> names = checkZip(run.output);
        if (!names.count("OFD.xml") || !names.count("Doc_0/Document.xml") ||
            !names.count("Doc_0/Pages/Page_0/Content.xml"))
            finding("package lacks its main parts");
    }
    return fuzz::verdict(run);
}
