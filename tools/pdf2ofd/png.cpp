#include "png.h"

#include <zlib.h>

#include "zipwriter.h"

namespace quorv::pdf2ofd {

namespace {

void put32be(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xff));
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32be(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    put32be(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                             static_cast<uInt>(body.size()))));
}

}  // namespace

std::string encodePng(const std::vector<unsigned char>& pixels, int width, int height,
                      int channels) {
    const size_t stride = static_cast<size_t>(width) * channels;
    // Filter "Up" on every row: cheap, and it shrinks smooth photographs and flat areas.
    std::string raw;
    raw.reserve((stride + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(2);
        const unsigned char* row = pixels.data() + stride * y;
        const unsigned char* above = y > 0 ? row - stride : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            raw.push_back(static_cast<char>(above ? row[x] - above[x] : row[x]));
        }
    }
    std::string ihdr;
    put32be(ihdr, static_cast<uint32_t>(width));
    put32be(ihdr, static_cast<uint32_t>(height));
    ihdr += std::string{8, static_cast<char>(channels == 4 ? 6 : 2), 0, 0, 0};
    std::string out("\x89PNG\r\n\x1a\n", 8);
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", deflateBytes(raw, false));
    chunk(out, "IEND", "");
    return out;
}

}  // namespace quorv::pdf2ofd
