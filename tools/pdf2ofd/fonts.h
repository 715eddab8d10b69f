#pragma once

// The fonts of the package. A PDF font becomes one font resource, named as the PDF names
// it, with a subset of the same face as installed on this system (found by its PostScript
// name, also in the font folders fontconfig does not read, such as TeX Live's) holding
// exactly the characters the text uses. A face that is not installed is named without a
// file, and readers draw the text in a face of their own.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class GfxFont;

namespace quorv::pdf2ofd {

struct Package;

// An installed face.
struct FaceFile {
    std::string path;
    int index = 0;  // in a collection
    std::string family;
    bool bold = false;
    bool italic = false;
};

// Where faces were found by their PostScript names, kept between runs: asking fontconfig
// means loading its whole configuration, which costs more than converting a short
// document. An entry counts only while its file keeps the size and time it had.
class FaceCache {
  public:
    // The cache file under XDG_CACHE_HOME (or ~/.cache); empty when there is no home.
    static std::string defaultPath();
    explicit FaceCache(std::string path);
    bool find(const std::string& name, FaceFile& out) const;
    void add(const std::string& name, const FaceFile& face);
    // Writes the file when something was added; a failure only costs the next run time.
    void save();

  private:
    struct Entry {
        FaceFile face;
        long long size = 0;
        long long mtime = 0;
    };
    std::string path_;
    std::map<std::string, Entry> entries_;
    bool changed_ = false;
};

class FontTable {
  public:
    explicit FontTable(Package& package, std::string cachePath = FaceCache::defaultPath())
        : package_(package), cache_(std::move(cachePath)) {}

    // The index in package.fonts of the resource for `font`.
    int resourceFor(const GfxFont& font);
    void useCharacter(int index, uint32_t codepoint) { faces_[index].used.insert(codepoint); }
    // Subsets the faces into the resources' files; `notes` names those left without one.
    void embed(std::vector<std::string>& notes);
    void saveCache() { cache_.save(); }

  private:
    struct Face {
        std::string path;  // empty: not installed
        int index = 0;
        std::set<uint32_t> used;
    };
    Package& package_;
    FaceCache cache_;
    std::map<std::string, int> byKey_;
    std::vector<Face> faces_;
};

// The PostScript name of a PDF font without the six-letter subset tag ("ABCDEF+").
std::string baseFontName(const std::string& pdfName);

// The face whose PostScript name is `name` among the font files directly in `folders`.
bool findInFolders(const std::string& name, const std::vector<std::string>& folders, FaceFile& out);

// Folders that hold faces the office engine uses but fontconfig may not know of.
const std::vector<std::string>& privateFontFolders();

// A subset of face `index` in the font file `path` with the characters `used`; empty
// when the file cannot be read or subset.
std::string subsetFace(const std::string& path, int index, const std::set<uint32_t>& used);

}  // namespace quorv::pdf2ofd
