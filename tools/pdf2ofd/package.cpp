#include "package.h"

#include <cmath>
#include <cstdio>

#include "zipwriter.h"

namespace quorv::pdf2ofd {

namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* kNs = "xmlns:ofd=\"http://www.ofdspec.org/2016\"";

void element(std::string& out, const char* name, const std::string& text) {
    if (text.empty()) return;
    out += std::string("<ofd:") + name + ">" + xmlEscape(text) + "</ofd:" + name + ">";
}

std::string box(double w, double h) { return "0 0 " + mm(w) + " " + mm(h); }

void writeOutline(std::string& out, const std::vector<OutlineNode>& nodes,
                  const std::vector<PageOut>& pages) {
    for (const OutlineNode& node : nodes) {
        out += "<ofd:OutlineElem Title=\"" + xmlEscape(node.title) + "\"";
        if (!node.children.empty())
            out += " Count=\"" + std::to_string(node.children.size()) + "\"";
        out += ">";
        if (node.pageIndex >= 0 && node.pageIndex < static_cast<int>(pages.size())) {
            out +=
                "<ofd:Actions><ofd:Action Event=\"CLICK\"><ofd:Goto><ofd:Dest Type=\"XYZ\" "
                "PageID=\"" +
                std::to_string(pages[node.pageIndex].id) + "\" Left=\"0\" Top=\"" + mm(node.topMm) +
                "\"/></ofd:Goto></ofd:Action></ofd:Actions>";
        }
        writeOutline(out, node.children, pages);
        out += "</ofd:OutlineElem>";
    }
}

}  // namespace

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
}

std::string xmlEscape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            // Kept as references: a parser would fold them into spaces in attributes.
            case '\t':
                out += "&#9;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                if (c >= 0x20) out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string mm(double value) {
    if (!std::isfinite(value)) value = 0;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    std::string s(buf);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

bool writePackage(const Package& p, ZipWriter& zip) {
    std::string ofd = std::string(kHead) + "<ofd:OFD " + kNs +
                      " Version=\"1.0\" DocType=\"OFD\"><ofd:DocBody><ofd:DocInfo>";
    element(ofd, "DocID", p.info.docId);
    element(ofd, "Title", p.info.title);
    element(ofd, "Author", p.info.author);
    element(ofd, "Subject", p.info.subject);
    element(ofd, "Keywords", p.info.keywords);
    element(ofd, "CreationDate", p.info.creationDate);
    element(ofd, "ModDate", p.info.modDate);
    element(ofd, "Creator", p.info.creator);
    ofd += "</ofd:DocInfo><ofd:DocRoot>Doc_0/Document.xml</ofd:DocRoot></ofd:DocBody></ofd:OFD>";
    if (!zip.add("OFD.xml", ofd)) return false;

    const double w = p.pages.empty() ? 210 : p.pages.front().widthMm;
    const double h = p.pages.empty() ? 297 : p.pages.front().heightMm;
    std::string doc = std::string(kHead) + "<ofd:Document " + kNs +
                      "><ofd:CommonData><ofd:MaxUnitID>" + std::to_string(p.lastId) +
                      "</ofd:MaxUnitID><ofd:PageArea><ofd:PhysicalBox>" + box(w, h) +
                      "</ofd:PhysicalBox></ofd:PageArea>";
    doc +=
        "<ofd:PublicRes>PublicRes.xml</ofd:PublicRes><ofd:DocumentRes>DocumentRes.xml</"
        "ofd:DocumentRes>";
    doc += "</ofd:CommonData><ofd:Pages>";
    for (size_t i = 0; i < p.pages.size(); ++i) {
        doc += "<ofd:Page ID=\"" + std::to_string(p.pages[i].id) + "\" BaseLoc=\"Pages/Page_" +
               std::to_string(i) + "/Content.xml\"/>";
    }
    doc += "</ofd:Pages>";
    if (!p.outline.empty()) {
        doc += "<ofd:Outlines>";
        writeOutline(doc, p.outline, p.pages);
        doc += "</ofd:Outlines>";
    }
    doc += "</ofd:Document>";
    if (!zip.add("Doc_0/Document.xml", doc)) return false;

    std::string pub = std::string(kHead) + "<ofd:Res " + kNs + " BaseLoc=\"Res\">";
    if (!p.fonts.empty()) {
        pub += "<ofd:Fonts>";
        for (const FontResource& f : p.fonts) {
            pub += "<ofd:Font ID=\"" + std::to_string(f.id) + "\" FontName=\"" +
                   xmlEscape(f.fontName) + "\" FamilyName=\"" + xmlEscape(f.familyName) + "\"";
            if (f.bold) pub += " Bold=\"true\"";
            if (f.italic) pub += " Italic=\"true\"";
            if (f.file.empty()) {
                pub += "/>";
            } else {
                pub += "><ofd:FontFile>font_" + std::to_string(f.id) + "." + f.fileExtension +
                       "</ofd:FontFile></ofd:Font>";
            }
        }
        pub += "</ofd:Fonts>";
    }
    pub += "</ofd:Res>";
    if (!zip.add("Doc_0/PublicRes.xml", pub)) return false;

    std::string res = std::string(kHead) + "<ofd:Res " + kNs + " BaseLoc=\"Res\">";
    if (!p.media.empty()) {
        res += "<ofd:MultiMedias>";
        for (const MediaResource& m : p.media) {
            res += "<ofd:MultiMedia ID=\"" + std::to_string(m.id) + "\" Type=\"Image\" Format=\"" +
                   m.format + "\"><ofd:MediaFile>image_" + std::to_string(m.id) +
                   (m.format == "JPEG" ? ".jpg" : ".png") + "</ofd:MediaFile></ofd:MultiMedia>";
        }
        res += "</ofd:MultiMedias>";
    }
    res += "</ofd:Res>";
    if (!zip.add("Doc_0/DocumentRes.xml", res)) return false;

    for (size_t i = 0; i < p.pages.size(); ++i) {
        const PageOut& page = p.pages[i];
        std::string c = std::string(kHead) + "<ofd:Page " + kNs + "><ofd:Area><ofd:PhysicalBox>" +
                        box(page.widthMm, page.heightMm) +
                        "</ofd:PhysicalBox></ofd:Area><ofd:Content><ofd:Layer ID=\"" +
                        std::to_string(page.layerId) + "\" Type=\"Body\">" + page.objects +
                        "</ofd:Layer></ofd:Content></ofd:Page>";
        if (!zip.add("Doc_0/Pages/Page_" + std::to_string(i) + "/Content.xml", c)) return false;
    }
    for (const FontResource& f : p.fonts) {
        if (f.file.empty()) continue;
        if (!zip.add("Doc_0/Res/font_" + std::to_string(f.id) + "." + f.fileExtension, f.file))
            return false;
    }
    for (const MediaResource& m : p.media) {
        if (!zip.add(
                "Doc_0/Res/image_" + std::to_string(m.id) + (m.format == "JPEG" ? ".jpg" : ".png"),
                m.data, false)) {
            return false;
        }
    }
    return zip.finish();
}

}  // namespace quorv::pdf2ofd
