// The PDF-to-OFD converter on mutated PDFs, in process: it never crashes; a failure has a
// one-line reason and leaves neither the output nor its temporary file; a success leaves
// exactly the output, a ZIP package whose members are all named in its central directory
// and that holds OFD.xml and a content file for every page the document lists.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "pdf2ofd.h"

namespace {

constexpr double kTimeLimitSeconds = 3;
constexpr double kTeardownSeconds = 2;

[[noreturn]] void finding(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "fuzz_pdf2ofd: %s %s\n", what, detail.c_str());
    std::abort();
}

const std::string& scratchDir() {
    static const std::string dir = [] {
        const std::string base = "/tmp/quorv-fuzz-pdf2ofd-" + std::to_string(getpid());
        if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) finding("cannot create", base);
        // The faces the converter remembers go beside, not into the user's home.
        ::setenv("XDG_CACHE_HOME", (base + "-cache").c_str(), 1);
        return base;
    }();
    return dir;
}

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d) finding("cannot list", dir);
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.insert(n);
    }
    ::closedir(d);
    return names;
}

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = scratchDir();
    const std::string in = dir + "/in.pdf";
    const std::string out = dir + "/out.ofd";
    {
        std::FILE* f = std::fopen(in.c_str(), "wb");
        if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
            finding("cannot write", in);
        }
    }
    ::unlink(out.c_str());
    quorv::pdf2ofd::Options options;
    options.input = in;
    options.output = out;
    options.timeoutSeconds = kTimeLimitSeconds;
    std::string error;
    std::vector<std::string> notes;
    const auto start = std::chrono::steady_clock::now();
    const int status = quorv::pdf2ofd::convert(options, error, notes);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status == quorv::pdf2ofd::kExitOk && seconds > kTimeLimitSeconds + kTeardownSeconds) {
        finding("succeeded after its time limit", std::to_string(seconds) + " s");
    }
    const std::set<std::string> files = filesIn(dir);
    if (status == quorv::pdf2ofd::kExitOk) {
        if (!error.empty()) finding("success with an error", error);
        if (files != std::set<std::string>{"in.pdf", "out.ofd"}) finding("stray files");
        const std::set<std::string> names = checkZip(out);
        if (!names.count("OFD.xml") || !names.count("Doc_0/Document.xml") ||
            !names.count("Doc_0/Pages/Page_0/Content.xml"))
            finding("package lacks its main parts");
    } else {
        if (status != quorv::pdf2ofd::kExitFailed) finding("odd status", std::to_string(status));
        if (error.empty() || error.find('\n') != std::string::npos) finding("bad reason", error);
        if (files != std::set<std::string>{"in.pdf"}) finding("files left after failure", error);
    }
    return seconds > kTimeLimitSeconds ? -1 : 0;
}
