#include "swfreader.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace quorv::testing {

namespace {

class BitReader {
  public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint32_t ub(int bits) {
        uint32_t v = 0;
        for (int i = 0; i < bits; ++i) {
            if (pos_ / 8 >= size_) {
                overrun_ = true;
                return 0;
            }
            v = (v << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
            ++pos_;
        }
        return v;
    }
    int32_t sb(int bits) {
        if (bits == 0) return 0;
        uint32_t v = ub(bits);
        if (bits < 32 && (v >> (bits - 1)) & 1u) v |= ~0u << bits;
        return static_cast<int32_t>(v);
    }
    void align() { pos_ = (pos_ + 7) / 8 * 8; }
    size_t bytePos() const { return pos_ / 8; }
    void skipBytes(size_t n) { pos_ += n * 8; }
    uint16_t u16() {
        align();
        if (bytePos() + 2 > size_) {
            overrun_ = true;
            return 0;
        }
        const uint16_t v = static_cast<uint16_t>(data_[bytePos()] | (data_[bytePos() + 1] << 8));
        skipBytes(2);
        return v;
    }
    uint8_t u8() {
        align();
        if (bytePos() + 1 > size_) {
            overrun_ = true;
            return 0;
        }
        const uint8_t v = data_[bytePos()];
        skipBytes(1);
        return v;
    }
    bool overrun() const { return overrun_ || pos_ > size_ * 8; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool inflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    std::vector<uint8_t> buf(1 << 16);
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = buf.data();
        z.avail_out = static_cast<uInt>(buf.size());
        rc = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buf.data(), buf.data() + (buf.size() - z.avail_out));
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

SwfFile readSwf(const std::string& path) {
    SwfFile f;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    if (file.size() < 8) {
        f.error = "shorter than a header";
        return f;
    }
    f.signature.assign(file.begin(), file.begin() + 3);
    f.version = file[3];
    f.declaredLength = le32(&file[4]);
    std::vector<uint8_t> body;
    if (f.signature == "CWS") {
        if (!inflateAll(file.data() + 8, file.size() - 8, body)) {
            f.error = "compressed body does not inflate";
            return f;
        }
    } else if (f.signature == "FWS") {
        body.assign(file.begin() + 8, file.end());
    } else {
        f.error = "unknown signature";
        return f;
    }
    f.uncompressedLength = 8 + body.size();

    BitReader r(body.data(), body.size());
    const int n = static_cast<int>(r.ub(5));
    f.stageXmin = r.sb(n);
    f.stageXmax = r.sb(n);
    f.stageYmin = r.sb(n);
    f.stageYmax = r.sb(n);
    f.frameRate = r.u16() / 256.0;
    f.frameCount = r.u16();
    size_t pos = r.bytePos();
    for (;;) {
        if (pos + 2 > body.size()) {
            f.error = "no End tag";
            return f;
        }
        const uint16_t head = static_cast<uint16_t>(body[pos] | (body[pos + 1] << 8));
        pos += 2;
        SwfTag tag;
        tag.code = head >> 6;
        size_t len = head & 0x3F;
        if (len == 0x3F) {
            if (pos + 4 > body.size()) {
                f.error = "cut tag header";
                return f;
            }
            len = le32(&body[pos]);
            pos += 4;
        }
        if (pos + len > body.size()) {
            f.error = "tag runs past the end";
            return f;
        }
        tag.body.assign(body.begin() + static_cast<std::ptrdiff_t>(pos),
                        body.begin() + static_cast<std::ptrdiff_t>(pos + len));
        pos += len;
        const bool end = tag.code == 0;
        f.tags.push_back(std::move(tag));
        if (end) break;
    }
    if (pos != body.size()) f.error = "data after the End tag";
    return f;
}

int SwfFile::count(uint16_t code) const {
    return static_cast<int>(
        std::count_if(tags.begin(), tags.end(), [&](const SwfTag& t) { return t.code == code; }));
}

std::vector<std::vector<uint16_t>> SwfFile::frames(std::vector<std::string>& problems) const {
    std::vector<std::vector<uint16_t>> shown;
    std::map<uint16_t, uint16_t> depths;  // depth -> character
    std::set<uint16_t> defined;
    auto u16 = [](const SwfTag& t, size_t at) {
        return t.body.size() < at + 2 ? uint16_t{0}
                                      : static_cast<uint16_t>(t.body[at] | (t.body[at + 1] << 8));
    };
    auto place = [&](uint16_t depth, uint16_t id) {
        if (!defined.count(id)) problems.push_back("placed undefined " + std::to_string(id));
        if (depths.count(depth)) problems.push_back("depth taken " + std::to_string(depth));
        depths[depth] = id;
    };
    auto remove = [&](uint16_t depth) {
        if (!depths.erase(depth)) problems.push_back("removed nothing " + std::to_string(depth));
    };
    for (const SwfTag& t : tags) {
        switch (t.code) {
            case 20:
            case 36:
                defined.insert(u16(t, 0));
                break;
            case 2: {
                const std::vector<SwfTag> one = {t};
                SwfFile f;
                f.tags = one;
                const auto shape = f.shapes();
                if (!shape.empty() && shape[0].parsed && !defined.count(shape[0].bitmapId)) {
                    problems.push_back("shape before its bitmap " + std::to_string(u16(t, 0)));
                }
                defined.insert(u16(t, 0));
                break;
            }
            case 4:
                place(u16(t, 2), u16(t, 0));
                break;
            case 26:
                if (t.body.empty() || (t.body[0] & 0x03) != 0x02) {
                    problems.push_back("PlaceObject2 that is not a plain new character");
                } else {
                    place(u16(t, 1), u16(t, 3));
                }
                break;
            case 5:
                if (!depths.count(u16(t, 2)) || depths[u16(t, 2)] != u16(t, 0)) {
                    problems.push_back("RemoveObject names another character");
                }
                remove(u16(t, 2));
                break;
            case 28:
                remove(u16(t, 0));
                break;
            case 1: {
                std::vector<uint16_t> frame;
                for (const auto& [depth, id] : depths) frame.push_back(id);
                shown.push_back(frame);
                break;
            }
            default:
                break;
        }
    }
    return shown;
}

size_t SwfBitmap::expectedSize() const {
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    if (format == 3)
        return static_cast<size_t>(colors) * (code == 36 ? 4 : 3) + (w + 3) / 4 * 4 * h;
    if (format == 5) return w * h * 4;
    return 0;
}

std::array<uint8_t, 3> SwfBitmap::rgb(int x, int y) const {
    if (pixels.size() != expectedSize() || x < 0 || y < 0 || x >= width || y >= height) {
        return {0, 0, 0};
    }
    if (format == 5) {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        return {p[1], p[2], p[3]};
    }
    const size_t entry = code == 36 ? 4 : 3;
    const size_t row = (static_cast<size_t>(width) + 3) / 4 * 4;
    const uint8_t index = pixels[colors * entry + static_cast<size_t>(y) * row + x];
    if (index >= colors) return {0, 0, 0};
    const uint8_t* c = &pixels[index * entry];
    return {c[0], c[1], c[2]};
}

std::vector<SwfBitmap> SwfFile::bitmaps() const {
    std::vector<SwfBitmap> out;
    for (const SwfTag& t : tags) {
        if ((t.code != 20 && t.code != 36) || t.body.size() < 7) continue;
        SwfBitmap b;
        b.code = t.code;
        b.id = static_cast<uint16_t>(t.body[0] | (t.body[1] << 8));
        b.format = t.body[2];
        b.width = t.body[3] | (t.body[4] << 8);
        b.height = t.body[5] | (t.body[6] << 8);
        if (b.format == 3 && t.body.size() > 7) b.colors = t.body[7] + 1;
        const size_t skip = b.format == 3 ? 8 : 7;  // colour table size byte
        if (t.body.size() > skip) {
            std::vector<uint8_t> pixels;
            if (inflateAll(t.body.data() + skip, t.body.size() - skip, pixels)) {
                b.pixels = std::move(pixels);
            }
        }
        out.push_back(std::move(b));
    }
    return out;
}

namespace {

// Reads a DefineShape as the converter writes it: bitmap fills, no line styles, no curves.
bool parseShape(const SwfTag& t, SwfShape& s) {
    BitReader r(t.body.data(), t.body.size());
    s.id = r.u16();
    const int n = static_cast<int>(r.ub(5));
    s.xmin = r.sb(n);
    s.xmax = r.sb(n);
    s.ymin = r.sb(n);
    s.ymax = r.sb(n);
    const int fills = r.u8();
    for (int i = 0; i < fills; ++i) {
        const int type = r.u8();
        if (type < 0x40 || type > 0x43) return false;
        const uint16_t id = r.u16();
        double sx = 1, sy = 1;
        r.align();
        if (r.ub(1)) {
            const int nb = static_cast<int>(r.ub(5));
            sx = r.sb(nb) / 65536.0;
            sy = r.sb(nb) / 65536.0;
        }
        if (r.ub(1)) {
            const int nr = static_cast<int>(r.ub(5));
            r.sb(nr);
            r.sb(nr);
        }
        const int nt = static_cast<int>(r.ub(5));
        r.sb(nt);
        r.sb(nt);
        if (i == 0) {
            s.fillType = type;
            s.bitmapId = id;
            s.scaleX = sx;
            s.scaleY = sy;
        }
    }
    if (r.u8() != 0) return false;  // line styles
    const int fillBits = static_cast<int>(r.ub(4));
    const int lineBits = static_cast<int>(r.ub(4));
    int32_t x = 0, y = 0;
    bool first = true;
    auto extend = [&] {
        if (first) {
            s.pathXmin = s.pathXmax = x;
            s.pathYmin = s.pathYmax = y;
            first = false;
        }
        s.pathXmin = std::min(s.pathXmin, x);
        s.pathXmax = std::max(s.pathXmax, x);
        s.pathYmin = std::min(s.pathYmin, y);
        s.pathYmax = std::max(s.pathYmax, y);
    };
    for (;;) {
        if (r.overrun()) return false;
        if (r.ub(1) == 0) {
            const uint32_t flags = r.ub(5);
            if (flags == 0) break;
            if (flags & 0x10) return false;  // new styles
            if (flags & 0x01) {
                const int mb = static_cast<int>(r.ub(5));
                x = r.sb(mb);
                y = r.sb(mb);
                extend();
            }
            if (flags & 0x02) s.fill0 = static_cast<int>(r.ub(fillBits));
            if (flags & 0x04) s.fill1 = static_cast<int>(r.ub(fillBits));
            if (flags & 0x08) r.ub(lineBits);
        } else {
            if (r.ub(1) != 1) return false;  // curve
            const int nb = static_cast<int>(r.ub(4)) + 2;
            const int32_t x0 = x, y0 = y;
            if (r.ub(1)) {
                x += r.sb(nb);
                y += r.sb(nb);
            } else if (r.ub(1)) {
                y += r.sb(nb);
            } else {
                x += r.sb(nb);
            }
            s.signedArea += (static_cast<double>(x0) * y - static_cast<double>(x) * y0) / 2;
            extend();
        }
    }
    s.endX = x;
    s.endY = y;
    return !r.overrun();
}

}  // namespace

std::vector<SwfShape> SwfFile::shapes() const {
    std::vector<SwfShape> out;
    for (const SwfTag& t : tags) {
        if (t.code != 2) continue;
        SwfShape s;
        s.parsed = parseShape(t, s);
        out.push_back(s);
    }
    return out;
}

}  // namespace quorv::testing
