// The PDF-to-SWF converter on mutated PDFs, in process: it never crashes; a failure has a
// one-line reason and leaves neither the output nor its temporary file; a success leaves
// exactly the output, a SWF file whose header and tags are well formed and whose frames
// are all shown. A run that goes past its time limit fails; no success comes late.
// In process the renderer is not interrupted inside a page (the program itself ends at
// the limit wherever it is), so a page that never ends shows up as libFuzzer's timeout.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pdf2swf.h"
#include "toolfuzz.h"

const char* const quorv::fuzz::kConverter = "pdf2swf";

namespace {

using quorv::fuzz::finding;

// Bytes of the SWF file after its first eight, inflated when the file is compressed.
class SwfBody {
  public:
    SwfBody(std::FILE* file, bool compressed) : file_(file), compressed_(compressed) {
        if (compressed_ && inflateInit(&z_) != Z_OK) finding("inflateInit failed");
    }
    ~SwfBody() {
        if (compressed_) inflateEnd(&z_);
    }
    SwfBody(const SwfBody&) = delete;
    SwfBody& operator=(const SwfBody&) = delete;

    // Reads n bytes into out (or drops them when out is null); false at the end.
    bool read(uint8_t* out, uint64_t n) {
        uint8_t sink[65536];
        while (n > 0) {
            const size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, sizeof sink));
            uint8_t* to = out ? out : sink;
            const size_t got =
                compressed_ ? inflateSome(to, chunk) : std::fread(to, 1, chunk, file_);
            if (got == 0) return false;
            if (out) out += got;
            n -= got;
            consumed_ += got;
        }
        return true;
    }
    bool atEnd() {
        uint8_t b;
        if (!read(&b, 1)) return true;
        consumed_ -= 1;
        return false;
    }
    uint64_t consumed() const { return consumed_; }
    bool trailingInput() {
        if (!compressed_) return false;
        return z_.avail_in > 0 || std::fgetc(file_) != EOF;
    }

  private:
    size_t inflateSome(uint8_t* to, size_t n) {
        z_.next_out = to;
        z_.avail_out = static_cast<uInt>(n);
        while (z_.avail_out == n && !ended_) {
            if (z_.avail_in == 0) {
                z_.avail_in = static_cast<uInt>(std::fread(in_, 1, sizeof in_, file_));
                z_.next_in = in_;
                if (z_.avail_in == 0) finding("compressed SWF body is cut short");
            }
            const int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_STREAM_END) {
                ended_ = true;
            } else if (r != Z_OK) {
                finding("compressed SWF body does not inflate", std::to_string(r));
            }
        }
        return n - z_.avail_out;
    }

    std::FILE* file_;
    bool compressed_;
    z_stream z_{};
    uint8_t in_[65536];
    bool ended_ = false;
    uint64_t consumed_ = 0;
};

// The checks a player makes before it shows anything, and a walk over every tag.
void checkSwf(const std::string& path, int version) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) finding("output missing after success", path);
    uint8_t head[8];
    if (std::fread(head, 1, 8, f) != 8) finding("output shorter than a SWF header");
    const std::string signature(reinterpret_cast<char*>(head), 3);
    if (signature != "FWS" && signature != "CWS") finding("bad signature", signature);
    if (head[3] != version) finding("wrong version", std::to_string(head[3]));
    if ((signature == "CWS") != (version >= 6)) finding("compression does not fit the version");
    const uint32_t declared = head[4] | head[5] << 8 | head[6] << 16 | uint32_t(head[7]) << 24;

    SwfBody body(f, signature == "CWS");
    uint8_t first;
    if (!body.read(&first, 1)) finding("no stage rectangle");
    const int nbits = first >> 3;
    const int rectBytes = (5 + 4 * nbits + 7) / 8;
    std::vector<uint8_t> rect(static_cast<size_t>(rectBytes - 1) + 4);
    if (!body.read(rect.data(), rect.size())) finding("header cut short");
    const uint16_t frames = rect[rect.size() - 2] | rect[rect.size() - 1] << 8;
    if (frames == 0) finding("no frames");

    unsigned shown = 0;
    bool ended = false;
    while (!ended) {
        uint8_t th[2];
        if (!body.read(th, 2)) finding("tags end without an End tag");
        const uint16_t code = static_cast<uint16_t>((th[0] | th[1] << 8) >> 6);
        uint64_t length = (th[0] | th[1] << 8) & 0x3F;
        if (length == 0x3F) {
            uint8_t l[4];
            if (!body.read(l, 4)) finding("long tag header cut short");
            length = l[0] | l[1] << 8 | l[2] << 16 | uint64_t(l[3]) << 24;
        }
        if (!body.read(nullptr, length)) finding("tag runs past the end", std::to_string(code));
        if (code == 1) ++shown;
        if (code == 0) ended = true;
    }
    if (!body.atEnd()) finding("bytes after the End tag");
    if (body.trailingInput()) finding("bytes after the compressed body");
    if (body.consumed() + 8 != declared) finding("declared length is wrong");
    if (shown != frames) finding("frame count differs from ShowFrame tags");
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fuzz = quorv::fuzz;
    fuzz::Run run = fuzz::startRun(data, size, "out.swf");

    // The length picks the version, so that every kind of file gets written: version 1
    // (raised to 2), uncompressed, compressed, and large bitmaps from version 10 on.
    static constexpr int kVersions[] = {9, 5, 10, 1};
    quorv::pdf2swf::Options options;
    options.input = run.input;
    options.output = run.output;
    options.flashVersion = kVersions[size % 4];
    options.timeoutSeconds = fuzz::kTimeLimitSeconds;
    const int written = std::max(options.flashVersion, 2);

    fuzz::convertTimed(run, [&](std::string& error, std::vector<std::string>& notes) {
        return quorv::pdf2swf::convert(options, error, notes);
    });
    if (run.seconds > fuzz::kTimeLimitSeconds + fuzz::kTeardownSeconds &&
        run.error.find("time limit") == std::string::npos) {
        std::fprintf(stderr, "fuzz_pdf2swf: %.1f s, failed for another reason: %s\n", run.seconds,
                     run.error.c_str());
    }
    if (fuzz::checkLeftovers(run, "out.swf")) checkSwf(run.output, written);
    return fuzz::verdict(run);
}
