#pragma once

// The fonts of the package. A PDF font becomes one font resource, named as the PDF names
// it, with a subset of the same face as installed on this system (found by its PostScript
// name) holding exactly the characters the text uses. A face that is not installed is
// named without a file, and readers substitute it.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class GfxFont;

namespace quorv::pdf2ofd {

struct Package;

class FontTable {
  public:
    explicit FontTable(Package& package) : package_(package) {}

    // The index in package.fonts of the resource for `font`.
    int resourceFor(const GfxFont& font);
    void useCharacter(int index, uint32_t codepoint) { faces_[index].used.insert(codepoint); }
    // Subsets the faces into the resources' files; `notes` names those left without one.
    void embed(std::vector<std::string>& notes);

  private:
    struct Face {
        std::string path;  // empty: not installed
        int index = 0;
        std::set<uint32_t> used;
    };
    Package& package_;
    std::map<std::string, int> byKey_;
    std::vector<Face> faces_;
};

// The PostScript name of a PDF font without the six-letter subset tag ("ABCDEF+").
std::string baseFontName(const std::string& pdfName);

// A subset of face `index` in the font file `path` with the characters `used`; empty
// when the file cannot be read or subset.
std::string subsetFace(const std::string& path, int index, const std::set<uint32_t>& used);

}  // namespace quorv::pdf2ofd
