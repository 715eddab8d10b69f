#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorv::testing {

struct SwfTag {
    uint16_t code = 0;
    std::vector<uint8_t> body;
};

struct SwfBitmap {
    uint16_t id = 0;
    uint16_t code = 0;
    int format = 0;  // 3: colour-mapped, 5: 32-bit
    int width = 0;
    int height = 0;
    int colors = 0;               // table entries of a colour-mapped bitmap
    std::vector<uint8_t> pixels;  // inflated data; empty when it does not inflate

    // Size the inflated data must have for this format and size.
    size_t expectedSize() const;
    // Red, green, blue of one pixel.
    std::array<uint8_t, 3> rgb(int x, int y) const;
};

struct SwfShape {
    uint16_t id = 0;
    int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0;  // declared bounds
    int fillType = -1;
    uint16_t bitmapId = 0;
    double scaleX = 1, scaleY = 1;
    // Box of the path the shape records draw, for comparing with the bounds.
    int32_t pathXmin = 0, pathXmax = 0, pathYmin = 0, pathYmax = 0;
    int32_t endX = 0, endY = 0;  // pen position after the last edge
    int fill0 = 0, fill1 = 0;    // fill styles on the left and right of the edges
    double signedArea = 0;       // shoelace area: negative when the path runs anticlockwise
                                 // on the y-down stage, positive when clockwise
    bool parsed = false;
};

// A small reader of the SWF files the converter writes: header, tags, bitmaps and shapes.
struct SwfFile {
    std::string error;  // empty when the file could be read
    std::string signature;
    int version = 0;
    uint32_t declaredLength = 0;
    uint64_t uncompressedLength = 0;  // header plus body, as read
    int32_t stageXmin = 0, stageXmax = 0, stageYmin = 0, stageYmax = 0;
    double frameRate = 0;
    int frameCount = 0;
    std::vector<SwfTag> tags;

    int count(uint16_t code) const;
    // Plays the display list: for each shown frame, the character at each depth, in depth
    // order. A place onto an occupied depth, a removal of nothing, or a character used
    // before it is defined goes into `problems`.
    std::vector<std::vector<uint16_t>> frames(std::vector<std::string>& problems) const;
    std::vector<SwfBitmap> bitmaps() const;
    std::vector<SwfShape> shapes() const;
};

SwfFile readSwf(const std::string& path);

// Inflates one zlib stream; false when it is not a complete, valid stream.
bool inflateAll(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace quorv::testing
