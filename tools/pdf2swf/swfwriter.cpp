#include "swfwriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace quorv::swf {

void BitWriter::ub(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        acc_ = (acc_ << 1) | ((value >> i) & 1u);
        if (++used_ == 8) {
            out_.push_back(static_cast<uint8_t>(acc_));
            acc_ = 0;
            used_ = 0;
        }
    }
}

void BitWriter::align() {
    if (used_ > 0) {
        out_.push_back(static_cast<uint8_t>(acc_ << (8 - used_)));
        acc_ = 0;
        used_ = 0;
    }
}

int BitWriter::signedBits(std::initializer_list<int64_t> values) {
    int bits = 1;
    for (int64_t v : values) {
        int n = 1;
        while (v < -(int64_t{1} << (n - 1)) || v > (int64_t{1} << (n - 1)) - 1) ++n;
        bits = std::max(bits, n);
    }
    return bits;
}

void putU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putRect(std::vector<uint8_t>& out, int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax) {
    BitWriter bits(out);
    const int n = BitWriter::signedBits({xmin, xmax, ymin, ymax});
    bits.ub(static_cast<uint32_t>(n), 5);
    bits.sb(xmin, n);
    bits.sb(xmax, n);
    bits.sb(ymin, n);
    bits.sb(ymax, n);
}

namespace {

// A straight edge record holds at most 17-bit signed deltas, so long sides are split.
constexpr int32_t kMaxEdgeDelta = 65535;

void straightEdges(BitWriter& bits, bool vertical, int32_t delta) {
    while (delta != 0) {
        const int32_t step = std::clamp(delta, -kMaxEdgeDelta, kMaxEdgeDelta);
        const int n = std::max(2, BitWriter::signedBits({step}));
        bits.ub(1, 1);  // edge record
        bits.ub(1, 1);  // straight
        bits.ub(static_cast<uint32_t>(n - 2), 4);
        bits.ub(0, 1);  // not a general line
        bits.ub(vertical ? 1 : 0, 1);
        bits.sb(step, n);
        delta -= step;
    }
}

void writeRectanglePath(BitWriter& bits, int32_t w, int32_t h) {
    bits.ub(1, 4);  // fill index bits
    bits.ub(0, 4);  // line index bits
    // Style change: move to the origin and take fill style 1 as fill 0, the left-hand side,
    // which is the inside of a path that runs down, right, up and left on the y-down stage.
    bits.ub(0, 1);  // non-edge record
    bits.ub(0, 1);  // no new styles
    bits.ub(0, 1);  // no line style
    bits.ub(0, 1);  // no fill style 1
    bits.ub(1, 1);  // fill style 0 follows
    bits.ub(1, 1);  // move to
    bits.ub(1, 5);
    bits.sb(0, 1);
    bits.sb(0, 1);
    bits.ub(1, 1);
    straightEdges(bits, true, h);
    straightEdges(bits, false, w);
    straightEdges(bits, true, -h);
    straightEdges(bits, false, -w);
    bits.ub(0, 6);  // end of shape
    bits.align();
}

}  // namespace

std::vector<uint8_t> rectangleShape(uint16_t shapeId, uint16_t bitmapId, int32_t w, int32_t h,
                                    double scaleX, double scaleY) {
    std::vector<uint8_t> out;
    putU16(out, shapeId);
    putRect(out, 0, w, 0, h);

    putU8(out, 1);     // one fill style
    putU8(out, 0x41);  // clipped bitmap fill
    putU16(out, bitmapId);
    {
        BitWriter bits(out);
        const int32_t sx = static_cast<int32_t>(std::lround(scaleX * 65536.0));
        const int32_t sy = static_cast<int32_t>(std::lround(scaleY * 65536.0));
        const int n = BitWriter::signedBits({sx, sy});
        bits.ub(1, 1);  // has scale
        bits.ub(static_cast<uint32_t>(n), 5);
        bits.sb(sx, n);
        bits.sb(sy, n);
        bits.ub(0, 1);  // no rotation
        bits.ub(0, 5);  // no translation
    }
    putU8(out, 0);  // no line styles

    {
        BitWriter bits(out);
        writeRectanglePath(bits, w, h);
    }
    return out;
}

void convertPixels(const uint32_t* pixels, int width, int height, size_t stridePixels,
                   std::vector<uint32_t>& scratch, const ByteSink& sink) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const int chunkRows = std::max(1, static_cast<int>(65536 / rowBytes));
    scratch.resize(static_cast<size_t>(chunkRows) * static_cast<size_t>(width));
    for (int y = 0; y < height; y += chunkRows) {
        const int n = std::min(chunkRows, height - y);
        uint32_t* dst = scratch.data();
        for (int r = 0; r < n; ++r) {
            const uint32_t* src = pixels + static_cast<size_t>(y + r) * stridePixels;
            for (int x = 0; x < width; ++x) {
                // 0xAARRGGBB in memory order B,G,R,A becomes the bytes 0,R,G,B.
                *dst++ = __builtin_bswap32(src[x]) & 0xFFFFFF00u;
            }
        }
        sink(reinterpret_cast<const uint8_t*>(scratch.data()), static_cast<size_t>(n) * rowBytes);
    }
}

namespace {
constexpr size_t kStoredBlock = 65535;
}

uint64_t StoredZlibWriter::streamSize(uint64_t rawSize) {
    const uint64_t blocks = std::max<uint64_t>(1, (rawSize + kStoredBlock - 1) / kStoredBlock);
    return 2 + blocks * 5 + rawSize + 4;
}

StoredZlibWriter::StoredZlibWriter(uint64_t rawSize, ByteSink sink)
    : remaining_(rawSize),
      adler_(static_cast<uint32_t>(adler32(0, nullptr, 0))),
      sink_(std::move(sink)) {
    const uint8_t head[2] = {0x78, 0x01};  // deflate, 32K window, no dictionary
    sink_(head, 2);
    if (remaining_ == 0) blockHeader();
}

void StoredZlibWriter::blockHeader() {
    const size_t len = static_cast<size_t>(std::min<uint64_t>(remaining_, kStoredBlock));
    const uint8_t last = remaining_ <= kStoredBlock ? 1 : 0;
    const uint8_t h[5] = {last, static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8),
                          static_cast<uint8_t>(~len), static_cast<uint8_t>(~len >> 8)};
    sink_(h, 5);
    leftInBlock_ = len;
}

void StoredZlibWriter::write(const uint8_t* data, size_t size) {
    adler_ = static_cast<uint32_t>(adler32_z(adler_, data, size));
    while (size > 0) {
        if (leftInBlock_ == 0) blockHeader();
        const size_t n = std::min(size, leftInBlock_);
        sink_(data, n);
        data += n;
        size -= n;
        leftInBlock_ -= n;
        remaining_ -= n;
    }
}

void StoredZlibWriter::finish() {
    const uint8_t tail[4] = {static_cast<uint8_t>(adler_ >> 24), static_cast<uint8_t>(adler_ >> 16),
                             static_cast<uint8_t>(adler_ >> 8), static_cast<uint8_t>(adler_)};
    sink_(tail, 4);
}

bool ColormapBuilder::build(const uint32_t* pixels, int width, int height, size_t stridePixels) {
    table_.clear();
    const size_t rowBytes = (static_cast<size_t>(width) + 3) & ~size_t{3};
    indices_.assign(rowBytes * static_cast<size_t>(height), 0);
    // Open addressing over colour+1, so an empty slot (0) never matches a colour.
    constexpr size_t kSlots = 1024;
    slots_.assign(kSlots, 0);
    std::array<uint8_t, kSlots> slotIndex{};
    uint32_t lastColor = 0xFFFFFFFFu;  // no pixel has this after masking
    uint8_t lastIndex = 0;
    for (int y = 0; y < height; ++y) {
        const uint32_t* src = pixels + static_cast<size_t>(y) * stridePixels;
        uint8_t* dst = indices_.data() + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const uint32_t color = src[x] & 0x00FFFFFFu;
            if (color != lastColor) {
                const uint32_t key = color + 1;
                size_t slot = (key * 2654435761u) >> 22;  // top 10 bits
                while (slots_[slot] != 0 && slots_[slot] != key) slot = (slot + 1) % kSlots;
                if (slots_[slot] == 0) {
                    if (colors() == kMaxColors) return false;
                    slots_[slot] = key;
                    slotIndex[slot] = static_cast<uint8_t>(colors());
                    table_.push_back(static_cast<uint8_t>(color >> 16));
                    table_.push_back(static_cast<uint8_t>(color >> 8));
                    table_.push_back(static_cast<uint8_t>(color));
                }
                lastColor = color;
                lastIndex = slotIndex[slot];
            }
            dst[x] = lastIndex;
        }
    }
    return true;
}

ZlibBuffer::ZlibBuffer(int level) { ready_ = deflateInit(&z_, level) == Z_OK; }

ZlibBuffer::~ZlibBuffer() {
    if (ready_) deflateEnd(&z_);
}

bool ZlibBuffer::begin(size_t rawSize) {
    ok_ = ready_ && deflateReset(&z_) == Z_OK;
    raw_ = rawSize;
    fed_ = 0;
    out_.resize(deflateBound(&z_, static_cast<uLong>(rawSize)));
    z_.next_out = out_.data();
    z_.avail_out = static_cast<uInt>(out_.size());
    if (ok_ && rawSize == 0) add(nullptr, 0);
    return ok_;
}

void ZlibBuffer::add(const uint8_t* data, size_t size) {
    if (!ok_ || fed_ + size > raw_) {
        ok_ = false;
        return;
    }
    fed_ += size;
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    const int flush = fed_ == raw_ ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
        if (z_.avail_out == 0) {
            const size_t done = out_.size();
            out_.resize(done * 2);
            z_.next_out = out_.data() + done;
            z_.avail_out = static_cast<uInt>(out_.size() - done);
        }
        const int rc = deflate(&z_, flush);
        if (rc == Z_STREAM_END) {
            out_.resize(z_.total_out);
            return;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            ok_ = false;
            return;
        }
        if (flush == Z_NO_FLUSH && z_.avail_in == 0 && z_.avail_out != 0) return;
    }
}

bool ZlibBuffer::encode(const uint32_t* pixels, int width, int height, size_t stridePixels) {
    if (width <= 0 || height <= 0) return false;
    if (!begin(static_cast<size_t>(width) * 4 * static_cast<size_t>(height))) return false;
    convertPixels(pixels, width, height, stridePixels, rows_,
                  [&](const uint8_t* data, size_t size) { add(data, size); });
    return ok();
}

SwfFile::SwfFile(std::FILE* file, int version, bool compressed)
    : file_(file), version_(version), compressed_(compressed) {
    if (compressed_) {
        zReady_ = deflateInit(&z_, Z_BEST_SPEED) == Z_OK;
        if (!zReady_) fail("cannot start compression");
        zOut_.resize(1 << 18);
    }
}

SwfFile::~SwfFile() {
    if (zReady_) deflateEnd(&z_);
}

void SwfFile::fail(const std::string& why) {
    if (error_.empty()) error_ = why;
}

void SwfFile::header(int32_t stageWidthTwips, int32_t stageHeightTwips, double frameRate,
                     uint16_t frameCount) {
    const uint8_t head[8] = {static_cast<uint8_t>(compressed_ ? 'C' : 'F'),
                             'W',
                             'S',
                             static_cast<uint8_t>(version_),
                             0,
                             0,
                             0,
                             0};
    if (std::fwrite(head, 1, sizeof head, file_) != sizeof head) {
        fail(std::strerror(errno));
    }
    std::vector<uint8_t> rest;
    putRect(rest, 0, stageWidthTwips, 0, stageHeightTwips);
    putU16(rest, static_cast<uint16_t>(std::lround(frameRate * 256.0)));  // 8.8 fixed point
    putU16(rest, frameCount);
    body(rest.data(), rest.size());
}

void SwfFile::tagHeader(uint16_t code, size_t size, bool forceLong) {
    std::vector<uint8_t> h;
    if (size < 0x3F && !forceLong) {
        putU16(h, static_cast<uint16_t>((code << 6) | size));
    } else {
        putU16(h, static_cast<uint16_t>((code << 6) | 0x3F));
        putU32(h, static_cast<uint32_t>(size));
    }
    body(h.data(), h.size());
}

void SwfFile::beginLongTag(uint16_t code, uint64_t size) {
    if (size > std::numeric_limits<uint32_t>::max()) {
        fail("page bitmap too large");
        return;
    }
    tagHeader(code, static_cast<size_t>(size), true);
}

void SwfFile::tag(uint16_t code, const uint8_t* data, size_t size) {
    tagHeader(code, size, false);
    body(data, size);
}

void SwfFile::longTag(uint16_t code, const std::vector<uint8_t>& head, const uint8_t* tail,
                      size_t tailSize) {
    const size_t size = head.size() + tailSize;
    if (size > std::numeric_limits<uint32_t>::max()) {
        fail("page bitmap too large");
        return;
    }
    tagHeader(code, size, true);
    body(head.data(), head.size());
    body(tail, tailSize);
}

void SwfFile::body(const void* data, size_t size) {
    if (failed()) return;
    length_ += size;
    if (!compressed_) {
        if (size != 0 && std::fwrite(data, 1, size, file_) != size) fail(std::strerror(errno));
        return;
    }
    z_.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    z_.avail_in = static_cast<uInt>(size);
    drain(Z_NO_FLUSH);
}

void SwfFile::drain(int flush) {
    do {
        z_.next_out = zOut_.data();
        z_.avail_out = static_cast<uInt>(zOut_.size());
        const int rc = deflate(&z_, flush);
        if (rc == Z_STREAM_ERROR) {
            fail("compression failed");
            return;
        }
        const size_t have = zOut_.size() - z_.avail_out;
        if (have != 0 && std::fwrite(zOut_.data(), 1, have, file_) != have) {
            fail(std::strerror(errno));
            return;
        }
        if (rc == Z_STREAM_END) return;
    } while (z_.avail_out == 0 || z_.avail_in != 0 || flush == Z_FINISH);
}

bool SwfFile::finish() {
    std::vector<uint8_t> end;
    tag(kTagEnd, end);
    if (compressed_ && !failed()) drain(Z_FINISH);
    if (failed()) return false;
    if (length_ > std::numeric_limits<uint32_t>::max()) {
        fail("the SWF file would exceed 4 GB");
        return false;
    }
    uint8_t len[4];
    for (int i = 0; i < 4; ++i) len[i] = static_cast<uint8_t>(length_ >> (8 * i));
    if (std::fflush(file_) != 0 || std::fseek(file_, 4, SEEK_SET) != 0 ||
        std::fwrite(len, 1, 4, file_) != 4 || std::fflush(file_) != 0) {
        fail(std::strerror(errno));
        return false;
    }
    return true;
}

// One DefineBitsLossless tag: colour-mapped when the page has few colours, else 32-bit.
// In a compressed file the file's own compression packs the pixels, so the tag holds them
// in stored blocks; compressing them twice would double the work for a few percent.
bool writeBitmap(SwfFile& out, bool compressed, uint16_t id, const uint32_t* pixels, int w, int h,
                 size_t stride, BitmapTools& tools) {
    std::vector<uint8_t> head;
    putU16(head, id);
    const bool mapped = tools.colormap.build(pixels, w, h, stride);
    putU8(head, mapped ? 3 : 5);
    putU16(head, static_cast<uint16_t>(w));
    putU16(head, static_cast<uint16_t>(h));
    if (mapped) putU8(head, static_cast<uint8_t>(tools.colormap.colors() - 1));

    const auto& table = tools.colormap.table();
    const auto& indices = tools.colormap.indices();
    const uint64_t raw = mapped ? table.size() + indices.size()
                                : static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 4;
    auto feed = [&](const ByteSink& sink) {
        if (mapped) {
            sink(table.data(), table.size());
            sink(indices.data(), indices.size());
        } else {
            convertPixels(pixels, w, h, stride, tools.scratch, sink);
        }
    };
    if (compressed) {
        out.beginLongTag(kTagDefineBitsLossless, head.size() + StoredZlibWriter::streamSize(raw));
        out.bytes(head.data(), head.size());
        StoredZlibWriter zlib(raw, [&](const uint8_t* d, size_t n) { out.bytes(d, n); });
        feed([&](const uint8_t* d, size_t n) { zlib.write(d, n); });
        zlib.finish();
        return true;
    }
    if (!tools.zlib.begin(static_cast<size_t>(raw))) return false;
    feed([&](const uint8_t* d, size_t n) { tools.zlib.add(d, n); });
    if (!tools.zlib.ok()) return false;
    out.longTag(kTagDefineBitsLossless, head, tools.zlib.data().data(), tools.zlib.data().size());
    return true;
}

void writeFileSettings(SwfFile& out, int version) {
    if (version >= 8) {
        std::vector<uint8_t> attributes;
        putU32(attributes, 0);
        out.tag(kTagFileAttributes, attributes);
    }
    out.tag(kTagSetBackgroundColor, std::vector<uint8_t>{0xFF, 0xFF, 0xFF});
}

void placeShape(SwfFile& out, int version, uint16_t shapeId, uint16_t depth) {
    std::vector<uint8_t> body;
    if (version >= 3) {
        putU8(body, 0x02);  // has character
        putU16(body, depth);
        putU16(body, shapeId);
        out.tag(kTagPlaceObject2, body);
    } else {
        putU16(body, shapeId);
        putU16(body, depth);
        putU8(body, 0);  // identity matrix
        out.tag(kTagPlaceObject, body);
    }
}

void removeShape(SwfFile& out, int version, uint16_t shapeId, uint16_t depth) {
    std::vector<uint8_t> body;
    if (version >= 3) {
        putU16(body, depth);
        out.tag(kTagRemoveObject2, body);
    } else {
        putU16(body, shapeId);
        putU16(body, depth);
        out.tag(kTagRemoveObject, body);
    }
}

}  // namespace quorv::swf
