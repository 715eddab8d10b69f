#pragma once

// A ZIP archive written front to back into a stdio stream: what an OFD package is.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorv::pdf2ofd {

class ZipWriter {
  public:
    explicit ZipWriter(std::FILE* file) : file_(file) {}

    // Adds one member. `compress` deflates it; pictures and fonts that are compressed
    // already are stored as they are. False when writing failed.
    bool add(const std::string& name, std::string_view data, bool compress = true);
    // Writes the central directory. False when writing failed.
    bool finish();

  private:
    struct Entry {
        std::string name;
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t size = 0;
        uint16_t method = 0;
        uint32_t offset = 0;
    };
    // The fields the local header and the central directory both hold, from "version
    // needed" to the extra field's length.
    static void putSharedFields(std::string& out, const Entry& e);
    bool write(const void* data, size_t size);

    std::FILE* file_;
    std::vector<Entry> entries_;
    uint64_t offset_ = 0;
    bool ok_ = true;
};

// Deflates `data` (zlib or raw stream); empty on failure.
std::string deflateBytes(std::string_view data, bool raw, int level = 6);

}  // namespace quorv::pdf2ofd
