#pragma once

// The frame the PDF converters' targets share: a scratch folder of their own, the input
// written to it, the conversion timed, and what every run must leave behind. Each target
// names its converter in `kConverter` and checks a successful output itself.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "../tools/common/toolframe.h"

namespace quorv::fuzz {

// The converter under test, as in "fuzz_pdf2swf"; each target defines it.
extern const char* const kConverter;

constexpr double kTimeLimitSeconds = 3;
// Closing the document after the output is in place is not bounded by the limit.
constexpr double kTeardownSeconds = 2;

[[noreturn]] inline void finding(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "fuzz_%s: %s %s\n", kConverter, what, detail.c_str());
    std::abort();
}

inline const std::string& scratchDir() {
    static const std::string dir = [] {
        const std::string d =
            std::string("/tmp/quorv-fuzz-") + kConverter + "-" + std::to_string(getpid());
        if (::mkdir(d.c_str(), 0700) != 0 && errno != EEXIST) finding("cannot create", d);
        return d;
    }();
    return dir;
}

inline std::set<std::string> filesIn(const std::string& dir) {
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

// One run: the input "in.pdf" and the output `outName`, both in the scratch folder.
struct Run {
    std::string input;
    std::string output;
    int status = tools::kExitFailed;
    std::string error;
    double seconds = 0;
};

// Writes the input and removes an earlier output.
inline Run startRun(const uint8_t* data, size_t size, const std::string& outName) {
    Run run;
    run.input = scratchDir() + "/in.pdf";
    run.output = scratchDir() + "/" + outName;
    std::FILE* f = std::fopen(run.input.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        finding("cannot write", run.input);
    }
    ::unlink(run.output.c_str());
    return run;
}

// Converts with `convert(error, notes)` and times it; no success may come late.
template <class Convert>
void convertTimed(Run& run, Convert convert) {
    std::vector<std::string> notes;
    const auto start = std::chrono::steady_clock::now();
    run.status = convert(run.error, notes);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (run.status == tools::kExitOk && run.seconds > kTimeLimitSeconds + kTeardownSeconds) {
        finding("succeeded after its time limit", std::to_string(run.seconds) + " s");
    }
}

// A success has no error and leaves exactly the input and the output; a failure has a
// one-line reason and leaves only the input. Returns whether the run succeeded.
inline bool checkLeftovers(const Run& run, const std::string& outName) {
    const std::set<std::string> files = filesIn(scratchDir());
    if (run.status == tools::kExitOk) {
        if (!run.error.empty()) finding("success with an error", run.error);
        if (files != std::set<std::string>{"in.pdf", outName}) finding("stray files");
        return true;
    }
    if (run.status != tools::kExitFailed) finding("odd status", std::to_string(run.status));
    if (run.error.empty() || run.error.find('\n') != std::string::npos) {
        finding("bad reason", run.error);
    }
    if (files != std::set<std::string>{"in.pdf"}) finding("files left after failure", run.error);
    return false;
}

// A file that keeps the renderer busy past the limit is checked, but not kept to breed
// more of its kind: a corpus of them would spend the fuzzing time inside poppler.
inline int verdict(const Run& run) { return run.seconds > kTimeLimitSeconds ? -1 : 0; }

}  // namespace quorv::fuzz
