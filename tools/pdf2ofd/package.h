#pragma once

// The OFD package as this tool writes it: one document, its pages' content, the fonts and
// pictures they use, the outline and the document information.

#include <cstdint>
#include <string>
#include <vector>

namespace quorv::pdf2ofd {

class ZipWriter;

struct FontResource {
    int id = 0;
    std::string fontName;    // the face's PostScript name, as the PDF names it
    std::string familyName;  // the family readers look the face up by
    bool bold = false;
    bool italic = false;
    std::string file;           // an OpenType/TrueType subset; empty when none could be embedded
    std::string fileExtension;  // "otf" or "ttf"
};

struct MediaResource {
    int id = 0;
    std::string format;  // "PNG" or "JPEG"
    std::string data;
};

struct PageOut {
    int id = 0;
    int layerId = 0;
    double widthMm = 0;
    double heightMm = 0;
    std::string objects;  // the layer's objects as XML
};

struct OutlineNode {
    std::string title;
    int pageIndex = -1;  // -1: no destination in this document
    double topMm = 0;
    std::vector<OutlineNode> children;
};

struct DocInfo {
    std::string docId;  // 32 hexadecimal digits
    std::string title, author, subject, keywords, creator;
    std::string creationDate, modDate;  // xs:date, or empty
};

struct Package {
    DocInfo info;
    std::vector<PageOut> pages;
    std::vector<FontResource> fonts;
    std::vector<MediaResource> media;
    std::vector<OutlineNode> outline;
    int lastId = 0;
    int nextId() { return ++lastId; }
};

// Appends the character `c` encoded as UTF-8.
void appendUtf8(std::string& out, uint32_t c);
// Text for XML content and attribute values; characters XML 1.0 cannot hold are dropped.
std::string xmlEscape(const std::string& utf8);
// A length in millimetres, to a thousandth at most and without trailing zeros.
std::string mm(double value);

// Writes every file of the package into `zip`. False when writing failed.
bool writePackage(const Package& package, ZipWriter& zip);

}  // namespace quorv::pdf2ofd
