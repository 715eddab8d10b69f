#include "zipwriter.h"

#include <zlib.h>

#include <limits>

namespace quorv::pdf2ofd {

namespace {

void put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
}

void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

// 1 January 2016, a fixed stamp: the same PDF gives the same package byte for byte.
constexpr uint16_t kDosDate = ((2016 - 1980) << 9) | (1 << 5) | 1;
constexpr uint16_t kUtf8Names = 0x0800;

}  // namespace

std::string deflateBytes(std::string_view data, bool raw, int level) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, raw ? -15 : 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return rc == Z_STREAM_END ? out : std::string();
}

void ZipWriter::putSharedFields(std::string& out, const Entry& e) {
    put16(out, 20);
    put16(out, kUtf8Names);
    put16(out, e.method);
    put16(out, 0);
    put16(out, kDosDate);
    put32(out, e.crc);
    put32(out, e.compressedSize);
    put32(out, e.size);
    put16(out, static_cast<uint32_t>(e.name.size()));
    put16(out, 0);
}

bool ZipWriter::write(const void* data, size_t size) {
    if (ok_ && size > 0 && std::fwrite(data, 1, size, file_) != size) ok_ = false;
    offset_ += size;
    return ok_;
}

bool ZipWriter::add(const std::string& name, std::string_view data, bool compress) {
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    if (data.size() >= kMax || offset_ >= kMax) return ok_ = false;  // no ZIP64 needed here
    Entry e;
    e.name = name;
    e.offset = static_cast<uint32_t>(offset_);
    e.size = static_cast<uint32_t>(data.size());
    e.crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    std::string packed;
    if (compress && !data.empty()) packed = deflateBytes(data, true);
    if (!packed.empty() && packed.size() < data.size()) {
        e.method = 8;
    } else {
        packed.clear();
    }
    const std::string_view body = e.method == 8 ? std::string_view(packed) : data;
    e.compressedSize = static_cast<uint32_t>(body.size());

    std::string h;
    put32(h, 0x04034b50);
    putSharedFields(h, e);
    h += name;
    write(h.data(), h.size());
    write(body.data(), body.size());
    entries_.push_back(std::move(e));
    return ok_;
}

bool ZipWriter::finish() {
    const uint64_t start = offset_;
    for (const Entry& e : entries_) {
        std::string h;
        put32(h, 0x02014b50);
        put16(h, 20);
        putSharedFields(h, e);
        put16(h, 0);
        put16(h, 0);
        put16(h, 0);
        put32(h, 0);
        put32(h, e.offset);
        h += e.name;
        write(h.data(), h.size());
    }
    if (entries_.size() > 0xffff || offset_ >= std::numeric_limits<uint32_t>::max()) {
        return ok_ = false;
    }
    std::string end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<uint32_t>(entries_.size()));
    put16(end, static_cast<uint32_t>(entries_.size()));
    put32(end, static_cast<uint32_t>(offset_ - start));
    put32(end, static_cast<uint32_t>(start));
    put16(end, 0);
    write(end.data(), end.size());
    return ok_;
}

}  // namespace quorv::pdf2ofd
