#include "fonts.h"

#include <GfxFont.h>
#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb-subset.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "package.h"

namespace quorv::pdf2ofd {

namespace {

bool fillFrom(FcPattern* font, FaceFile& out) {
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return false;
    out.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(font, FC_INDEX, 0, &out.index);
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch) {
        out.family = reinterpret_cast<const char*>(family);
    }
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(font, FC_SLANT, 0, &slant);
    out.bold = weight >= FC_WEIGHT_BOLD;
    out.italic = slant != FC_SLANT_ROMAN;
    return true;
}

// The installed face whose PostScript name is `name`, the same face the PDF was made with.
bool findByPostScriptName(const std::string& name, FaceFile& out) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcObjectSet* objects =
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_WEIGHT, FC_SLANT, FC_FONTFORMAT, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    bool found = false;
    if (set) {
        for (int i = 0; i < set->nfont && !found; ++i) {
            FcChar8* format = nullptr;
            // Type 1 and bitmap faces cannot go into the package; TrueType and CFF can.
            if (FcPatternGetString(set->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch &&
                std::string(reinterpret_cast<const char*>(format)) != "TrueType" &&
                std::string(reinterpret_cast<const char*>(format)) != "CFF") {
                continue;
            }
            found = fillFrom(set->fonts[i], out);
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

// What a reader shows for a font the PDF does not carry (as the base 14 fonts): the face
// that fontconfig gives for its family name, as the PDF renderer does.
bool findSubstitute(const std::string& name, bool bold, bool italic, FaceFile& out) {
    std::string family = name;
    const size_t cut = family.find_first_of(",-");
    if (cut != std::string::npos) family.resize(cut);
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    bool found = false;
    if (match) {
        FcChar8* format = nullptr;
        if (FcPatternGetString(match, FC_FONTFORMAT, 0, &format) == FcResultMatch) {
            const std::string f = reinterpret_cast<const char*>(format);
            if (f == "TrueType" || f == "CFF") found = fillFrom(match, out);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

// Names to look the face up by. The Noto CJK collections share one glyph program between
// their language faces, and PDF writers name it after its Japanese face with a "-VKana"
// suffix; Chinese documents are drawn with the Simplified Chinese face of the same file.
std::vector<std::string> candidateNames(const std::string& name) {
    std::vector<std::string> names;
    std::string n = name;
    if (n.size() > 6 && n.compare(n.size() - 6, 6, "-VKana") == 0) n.resize(n.size() - 6);
    if (const size_t jp = n.find("CJKjp-"); jp != std::string::npos) {
        names.push_back(n.substr(0, jp) + "CJKsc-" + n.substr(jp + 6));
    }
    names.push_back(name);
    if (n != name) names.push_back(n);
    return names;
}

std::string nameEntry(hb_face_t* face, hb_ot_name_id_t id) {
    char text[256];
    unsigned length = sizeof text;
    if (hb_ot_name_get_utf8(face, id, HB_LANGUAGE_INVALID, &length, text) == 0) return {};
    return std::string(text, std::min<size_t>(length, sizeof text - 1));
}

bool isFontFile(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".otf" || ext == ".ttf" || ext == ".ttc" || ext == ".otc";
}

}  // namespace

namespace {

bool stamp(const std::string& path, long long& size, long long& mtime) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<long long>(st.st_size);
    mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return true;
}

bool toNumber(const std::string& text, long long& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string FaceCache::defaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::string(home) + "/.cache";
    } else {
        return {};
    }
    return base + "/quorvane/pdf2ofd-faces";
}

FaceCache::FaceCache(std::string path) : path_(std::move(path)) {
    if (path_.empty()) return;
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    // A line: name, file, index, bold, italic, size, time, family; separated by tabs.
    while (entries_.size() < 10000 && std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string f; fields.size() < 9 && std::getline(split, f, '\t');) fields.push_back(f);
        long long index = 0, bold = 0, italic = 0;
        Entry e;
        if (fields.size() != 8 || fields[0].empty() || fields[1].empty() ||
            !toNumber(fields[2], index) || !toNumber(fields[3], bold) ||
            !toNumber(fields[4], italic) || !toNumber(fields[5], e.size) ||
            !toNumber(fields[6], e.mtime) || index < 0 || index > 0xffff) {
            continue;
        }
        e.face = {fields[1], static_cast<int>(index), fields[7], bold != 0, italic != 0};
        entries_[fields[0]] = std::move(e);
    }
}

bool FaceCache::find(const std::string& name, FaceFile& out) const {
    const auto it = entries_.find(name);
    long long size = 0, mtime = 0;
    if (it == entries_.end() || !stamp(it->second.face.path, size, mtime) ||
        size != it->second.size || mtime != it->second.mtime) {
        return false;
    }
    out = it->second.face;
    return true;
}

void FaceCache::add(const std::string& name, const FaceFile& face) {
    Entry e;
    if (path_.empty() || !stamp(face.path, e.size, e.mtime)) return;
    for (const std::string* text : {&name, &face.path, &face.family}) {
        if (text->find_first_of("\t\n\r") != std::string::npos) return;
    }
    e.face = face;
    entries_[name] = std::move(e);
    changed_ = true;
}

void FaceCache::save() {
    if (!changed_ || path_.empty()) return;
    changed_ = false;
    std::error_code ec;
    const std::filesystem::path file(path_);
    std::filesystem::create_directories(file.parent_path(), ec);
    std::string text;
    for (const auto& [name, e] : entries_) {
        text += name + "\t" + e.face.path + "\t" + std::to_string(e.face.index) + "\t" +
                (e.face.bold ? "1" : "0") + "\t" + (e.face.italic ? "1" : "0") + "\t" +
                std::to_string(e.size) + "\t" + std::to_string(e.mtime) + "\t" + e.face.family +
                "\n";
    }
    // Written aside and renamed, so that runs side by side never read half a file.
    std::string temp = path_ + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0 || !written || std::rename(temp.c_str(), path_.c_str()) != 0)
        ::unlink(temp.c_str());
}

const std::vector<std::string>& privateFontFolders() {
    // TeX Live keeps the Fandol faces (among them the FangSong the office engine is given)
    // in its own tree; a packaged copy would live in the second folder.
    static const std::vector<std::string> folders = {
        "/usr/share/texlive/texmf-dist/fonts/opentype/public/fandol",
        "/usr/share/fonts/opentype/fandol",
    };
    return folders;
}

bool findInFolders(const std::string& name, const std::vector<std::string>& folders,
                   FaceFile& out) {
    namespace fs = std::filesystem;
    if (name.empty()) return false;
    for (const std::string& folder : folders) {
        std::error_code ec;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (isFontFile(it->path()) && it->is_regular_file(ec)) files.push_back(it->path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            hb_blob_t* blob = hb_blob_create_from_file_or_fail(file.c_str());
            if (!blob) continue;
            bool found = false;
            // Only the name table is read, so looking through a folder costs little.
            const unsigned count = std::min(hb_face_count(blob), 256u);
            for (unsigned i = 0; i < count && !found; ++i) {
                hb_face_t* face = hb_face_create(blob, i);
                if (nameEntry(face, HB_OT_NAME_ID_POSTSCRIPT_NAME) == name) {
                    found = true;
                    out.path = file.string();
                    out.index = static_cast<int>(i);
                    out.family = nameEntry(face, HB_OT_NAME_ID_TYPOGRAPHIC_FAMILY);
                    if (out.family.empty()) out.family = nameEntry(face, HB_OT_NAME_ID_FONT_FAMILY);
                    hb_font_t* font = hb_font_create(face);
                    out.bold = hb_style_get_value(font, HB_STYLE_TAG_WEIGHT) >= 650;
                    out.italic = hb_style_get_value(font, HB_STYLE_TAG_ITALIC) >= 0.5f ||
                                 hb_style_get_value(font, HB_STYLE_TAG_SLANT_ANGLE) != 0;
                    hb_font_destroy(font);
                }
                hb_face_destroy(face);
            }
            hb_blob_destroy(blob);
            if (found) return true;
        }
    }
    return false;
}

std::string baseFontName(const std::string& pdfName) {
    if (pdfName.size() > 7 && pdfName[6] == '+') {
        bool tag = true;
        for (int i = 0; i < 6; ++i) tag = tag && pdfName[i] >= 'A' && pdfName[i] <= 'Z';
        if (tag) return pdfName.substr(7);
    }
    return pdfName;
}

int FontTable::resourceFor(const GfxFont& font) {
    const Ref* ref = font.getID();
    const std::string name = baseFontName(font.getName() ? *font.getName() : std::string());
    const std::string key = std::to_string(ref->num) + " " + std::to_string(ref->gen) + " " + name;
    if (const auto it = byKey_.find(key); it != byKey_.end()) return it->second;

    FontResource resource;
    resource.id = package_.nextId();
    resource.fontName = name.empty() ? "Unnamed" : name;
    resource.bold = font.isBold() || font.getWeight() >= GfxFont::W700;
    resource.italic = font.isItalic();
    Face face;
    FaceFile installed;
    Ref embedded;
    const bool carried = font.getEmbeddedFontID(&embedded);
    const std::vector<std::string> names = candidateNames(name);
    bool found = false;
    for (const std::string& candidate : names) {
        if (!found && !candidate.empty()) found = cache_.find(candidate, installed);
    }
    for (const std::string& candidate : names) {
        if (found || candidate.empty()) continue;
        found = findByPostScriptName(candidate, installed) ||
                findInFolders(candidate, privateFontFolders(), installed);
        if (found) cache_.add(candidate, installed);
    }
    if (found || (!carried && findSubstitute(name.empty() ? "serif" : name, resource.bold,
                                             resource.italic, installed))) {
        face.path = installed.path;
        face.index = installed.index;
        resource.familyName = installed.family;
        resource.bold = installed.bold;
        resource.italic = installed.italic;
    } else if (font.getFamily()) {
        resource.familyName = font.getFamily()->toStr();
    } else {
        resource.familyName = resource.fontName;
    }
    const int index = static_cast<int>(package_.fonts.size());
    package_.fonts.push_back(std::move(resource));
    faces_.push_back(std::move(face));
    byKey_.emplace(key, index);
    return index;
}

std::string subsetFace(const std::string& path, int index, const std::set<uint32_t>& used) {
    hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
    if (!blob) return {};
    hb_face_t* face = hb_face_create(blob, static_cast<unsigned>(index));
    hb_blob_destroy(blob);
    std::string out;
    if (hb_subset_input_t* input = hb_subset_input_create_or_fail()) {
        hb_set_t* unicodes = hb_subset_input_unicode_set(input);
        for (uint32_t c : used) hb_set_add(unicodes, c);
        // Readers draw each character's glyph as the cmap gives it and never shape, so
        // the layout tables are dead weight; in the CJK faces they are also where
        // subsetting spends half its time.
        hb_set_t* dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
        for (const char* tag : {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "morx"})
            hb_set_add(dropped, hb_tag_from_string(tag, 4));
        if (hb_face_t* subset = hb_subset_or_fail(face, input)) {
            hb_blob_t* data = hb_face_reference_blob(subset);
            unsigned length = 0;
            const char* bytes = hb_blob_get_data(data, &length);
            if (bytes && length > 0) out.assign(bytes, length);
            hb_blob_destroy(data);
            hb_face_destroy(subset);
        }
        hb_subset_input_destroy(input);
    }
    hb_face_destroy(face);
    return out;
}

void FontTable::embed(std::vector<std::string>& notes) {
    for (size_t i = 0; i < faces_.size(); ++i) {
        FontResource& resource = package_.fonts[i];
        const Face& face = faces_[i];
        if (face.used.empty()) continue;
        if (!face.path.empty()) resource.file = subsetFace(face.path, face.index, face.used);
        if (resource.file.empty()) {
            notes.push_back("font " + resource.fontName +
                            " is not installed on this system; it is named but not embedded");
            continue;
        }
        resource.fileExtension = resource.file.compare(0, 4, "OTTO") == 0 ? "otf" : "ttf";
    }
}

}  // namespace quorv::pdf2ofd
