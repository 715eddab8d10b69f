#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quorv::swf {

// Tag codes of the tags this writer emits.
enum TagCode : uint16_t {
    kTagEnd = 0,
    kTagShowFrame = 1,
    kTagDefineShape = 2,
    kTagPlaceObject = 4,
    kTagRemoveObject = 5,
    kTagSetBackgroundColor = 9,
    kTagDefineBitsLossless = 20,
    kTagPlaceObject2 = 26,
    kTagRemoveObject2 = 28,
    kTagFileAttributes = 69,
};

// Oldest version with a lossless bitmap tag; older requests are raised to it.
constexpr int kMinBitmapVersion = 2;
// From this version on the body after the 8-byte header may be zlib-compressed.
constexpr int kMinCompressedVersion = 6;

// Packs the bit fields of RECT, MATRIX and shape records, most significant bit first.
class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    ~BitWriter() { align(); }

    void ub(uint32_t value, int bits);
    void sb(int32_t value, int bits) { ub(static_cast<uint32_t>(value), bits); }
    void align();

    // Bits a signed field needs to hold every given value.
    static int signedBits(std::initializer_list<int64_t> values);

  private:
    std::vector<uint8_t>& out_;
    uint32_t acc_ = 0;
    int used_ = 0;
};

void putU8(std::vector<uint8_t>& out, uint8_t v);
void putU16(std::vector<uint8_t>& out, uint16_t v);
void putU32(std::vector<uint8_t>& out, uint32_t v);
void putRect(std::vector<uint8_t>& out, int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax);

// Body of a DefineShape: a rectangle of w x h twips at the origin, filled with the
// clipped bitmap `bitmapId` whose pixels are scaled by (scaleX, scaleY) twips.
std::vector<uint8_t> rectangleShape(uint16_t shapeId, uint16_t bitmapId, int32_t w, int32_t h,
                                    double scaleX, double scaleY);

using ByteSink = std::function<void(const uint8_t* data, size_t size)>;

// Turns native 0xAARRGGBB pixels into the 32-bit pixels of a DefineBitsLossless tag
// (format 5: a reserved byte, then red, green, blue), a few rows at a time so the data stays
// in cache for whoever consumes it.
void convertPixels(const uint32_t* pixels, int width, int height, size_t stridePixels,
                   std::vector<uint32_t>& scratch, const ByteSink& sink);

// A zlib stream of stored (uncompressed) blocks, for data that an outer compressed stream
// will compress anyway. Its size is known in advance, so it can be streamed into a tag.
class StoredZlibWriter {
  public:
    static uint64_t streamSize(uint64_t rawSize);

    StoredZlibWriter(uint64_t rawSize, ByteSink sink);
    void write(const uint8_t* data, size_t size);
    // Writes the checksum; all rawSize bytes must have been written.
    void finish();

  private:
    void blockHeader();

    uint64_t remaining_;
    size_t leftInBlock_ = 0;
    uint32_t adler_;
    ByteSink sink_;
};

// Most text pages hold few colours: the paper, the ink and the anti-aliased shades between
// them. Such a page is stored as 8-bit indices into a colour table (format 3), a quarter of
// the data to compress, and exactly the same picture.
class ColormapBuilder {
  public:
    static constexpr int kMaxColors = 256;

    // False when the page has more colours than a table holds.
    bool build(const uint32_t* pixels, int width, int height, size_t stridePixels);
    int colors() const { return static_cast<int>(table_.size() / 3); }
    // Red, green, blue of each entry, as the bitmap data starts.
    const std::vector<uint8_t>& table() const { return table_; }
    // One index per pixel, rows padded to a multiple of four bytes.
    const std::vector<uint8_t>& indices() const { return indices_; }

  private:
    std::vector<uint8_t> table_;
    std::vector<uint8_t> indices_;
    std::vector<uint32_t> slots_;
};

// Compresses the data of one DefineBitsLossless tag into a zlib stream, given in pieces.
// Keeps its zlib state and buffers between pages.
class ZlibBuffer {
  public:
    explicit ZlibBuffer(int level);
    ~ZlibBuffer();
    ZlibBuffer(const ZlibBuffer&) = delete;
    ZlibBuffer& operator=(const ZlibBuffer&) = delete;

    // Starts a stream of rawSize bytes; add() them all, and the stream is complete.
    bool begin(size_t rawSize);
    void add(const uint8_t* data, size_t size);
    // False when zlib failed or fewer bytes came than announced.
    bool ok() const { return ok_ && fed_ == raw_; }
    const std::vector<uint8_t>& data() const { return out_; }

    // The 32-bit form of a page in one call.
    bool encode(const uint32_t* pixels, int width, int height, size_t stridePixels);

  private:
    z_stream z_{};
    bool ready_ = false;
    bool ok_ = false;
    size_t raw_ = 0;
    size_t fed_ = 0;
    std::vector<uint8_t> out_;
    std::vector<uint32_t> rows_;
};

// Streams a SWF file: the 8-byte header, then the body, raw ("FWS") or deflated ("CWS").
// The file length field is patched in when the file is finished.
class SwfFile {
  public:
    SwfFile(std::FILE* file, int version, bool compressed);
    ~SwfFile();
    SwfFile(const SwfFile&) = delete;
    SwfFile& operator=(const SwfFile&) = delete;

    void header(int32_t stageWidthTwips, int32_t stageHeightTwips, double frameRate,
                uint16_t frameCount);
    void tag(uint16_t code, const std::vector<uint8_t>& body) {
        tag(code, body.data(), body.size());
    }
    void tag(uint16_t code, const uint8_t* body, size_t size);
    // A tag whose body is `head` followed by `tail`, always with the long header.
    void longTag(uint16_t code, const std::vector<uint8_t>& head, const uint8_t* tail,
                 size_t tailSize);
    // Starts a long-header tag whose body of `size` bytes follows through bytes().
    void beginLongTag(uint16_t code, uint64_t size);
    void bytes(const void* data, size_t size) { body(data, size); }
    // Writes the End tag, flushes everything and patches the length. False on any failure;
    // error() then says why.
    bool finish();

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

  private:
    void body(const void* data, size_t size);
    void tagHeader(uint16_t code, size_t size, bool forceLong);
    void drain(int flush);
    void fail(const std::string& why);

    std::FILE* file_;
    int version_;
    bool compressed_;
    z_stream z_{};
    bool zReady_ = false;
    std::vector<uint8_t> zOut_;
    uint64_t length_ = 8;  // uncompressed length, header included
    std::string error_;
};

// The reusable buffers of writeBitmap.
struct BitmapTools {
    ColormapBuilder colormap;
    ZlibBuffer zlib{Z_BEST_SPEED};
    std::vector<uint32_t> scratch;
};

// One DefineBitsLossless tag of `id` for the ARGB pixels; false when compressing fails.
bool writeBitmap(SwfFile& out, bool compressed, uint16_t id, const uint32_t* pixels, int w, int h,
                 size_t stride, BitmapTools& tools);

// The tags before the first frame: file attributes (version 8 on) and a white background.
void writeFileSettings(SwfFile& out, int version);
// Places shape `shapeId` at `depth`, or removes the shape placed there before.
void placeShape(SwfFile& out, int version, uint16_t shapeId, uint16_t depth);
void removeShape(SwfFile& out, int version, uint16_t shapeId, uint16_t depth);

}  // namespace quorv::swf
