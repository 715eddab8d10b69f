#pragma once

#include <string>
#include <vector>

namespace quorv::pdf2ofd {

// A PNG file of 8-bit RGB (channels 3) or RGBA (channels 4) rows, top row first.
std::string encodePng(const std::vector<unsigned char>& pixels, int width, int height,
                      int channels);

}  // namespace quorv::pdf2ofd
