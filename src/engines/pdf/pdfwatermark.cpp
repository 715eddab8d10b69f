#include "engines/pdf/pdfwatermark.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <string>
#include <utility>
#include <vector>

namespace quorv::pdf {

namespace {

constexpr char kFamily[] = "Noto Sans CJK SC";

// The Hei face, loaded once for the process; HarfBuzz faces are immutable and may be
// shared between threads. Null when fontconfig has no face of that family.
hb_face_t* heiFace() {
    static hb_face_t* const face = []() -> hb_face_t* {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kFamily));
        FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>("Regular"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        hb_face_t* found = nullptr;
        FcChar8* file = nullptr;
        FcChar8* family = nullptr;
        int index = 0;
        // A fallback family would draw other glyph forms, or none: only the face itself.
        if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
            std::string(reinterpret_cast<const char*>(family)) == kFamily &&
            FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            hb_blob_t* blob = hb_blob_create_from_file_or_fail(reinterpret_cast<const char*>(file));
            if (blob) {
                found = hb_face_create(blob, unsigned(index));
                hb_blob_destroy(blob);
                hb_face_make_immutable(found);
            }
        }
        if (match) FcPatternDestroy(match);
        return found;
    }();
    return face;
}

// Numbers as PDF writes them, whatever the process's locale says.
void num(std::string& out, double v) {
    char buf[32];
    if (std::abs(v) < 0.0005) v = 0;
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    std::string_view s(buf, size_t(r.ptr - buf));
    while (s.find('.') != std::string_view::npos && (s.back() == '0' || s.back() == '.')) {
        const bool dot = s.back() == '.';
        s.remove_suffix(1);
        if (dot) break;
    }
    out.append(s).push_back(' ');
}

struct Outline {
    std::string ops;  // path operators in font units
    double dx = 0, dy = 0;
};

void moveTo(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x, float y, void*) {
    auto* o = static_cast<Outline*>(data);
    num(o->ops, x + o->dx);
    num(o->ops, y + o->dy);
    o->ops += "m\n";
}
void lineTo(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x, float y, void*) {
    auto* o = static_cast<Outline*>(data);
    num(o->ops, x + o->dx);
    num(o->ops, y + o->dy);
    o->ops += "l\n";
}
void cubicTo(hb_draw_funcs_t*, void* data, hb_draw_state_t*, float x1, float y1, float x2, float y2,
             float x, float y, void*) {
    auto* o = static_cast<Outline*>(data);
    for (const float v : {x1 + float(o->dx), y1 + float(o->dy), x2 + float(o->dx),
                          y2 + float(o->dy), x + float(o->dx), y + float(o->dy)}) {
        num(o->ops, v);
    }
    o->ops += "c\n";
}
// PDF has no quadratic segment: the same curve as a cubic one.
void quadTo(hb_draw_funcs_t* f, void* data, hb_draw_state_t* st, float cx, float cy, float x,
            float y, void* user) {
    const float x0 = st->current_x, y0 = st->current_y;
    cubicTo(f, data, st, x0 + 2.f / 3.f * (cx - x0), y0 + 2.f / 3.f * (cy - y0),
            x + 2.f / 3.f * (cx - x), y + 2.f / 3.f * (cy - y), x, y, user);
}
void closePath(hb_draw_funcs_t*, void* data, hb_draw_state_t*, void*) {
    static_cast<Outline*>(data)->ops += "h\n";
}

hb_draw_funcs_t* drawFuncs() {
    static hb_draw_funcs_t* const funcs = [] {
        hb_draw_funcs_t* f = hb_draw_funcs_create();
        hb_draw_funcs_set_move_to_func(f, moveTo, nullptr, nullptr);
        hb_draw_funcs_set_line_to_func(f, lineTo, nullptr, nullptr);
        hb_draw_funcs_set_quadratic_to_func(f, quadTo, nullptr, nullptr);
        hb_draw_funcs_set_cubic_to_func(f, cubicTo, nullptr, nullptr);
        hb_draw_funcs_set_close_path_func(f, closePath, nullptr, nullptr);
        hb_draw_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}

// The text's outlines in font units, centred on the origin, and its extent.
struct Drawing {
    std::string ops;
    double width = 0, height = 0;  // font units
    unsigned upem = 1000;
};

Drawing drawText(hb_face_t* face, const QString& text) {
    Drawing d;
    d.upem = hb_face_get_upem(face);
    hb_font_t* font = hb_font_create(face);
    hb_font_set_scale(font, int(d.upem), int(d.upem));
    hb_buffer_t* buf = hb_buffer_create();
    hb_buffer_add_utf16(buf, reinterpret_cast<const uint16_t*>(text.utf16()), int(text.size()), 0,
                        -1);
    hb_buffer_set_direction(buf, HB_DIRECTION_LTR);
    hb_buffer_set_language(buf, hb_language_from_string("zh-Hans", -1));
    hb_buffer_guess_segment_properties(buf);
    hb_shape(font, buf, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &count);
    double advance = 0;
    for (unsigned i = 0; i < count; ++i) advance += pos[i].x_advance;
    hb_font_extents_t ext{};
    hb_font_get_h_extents(font, &ext);
    d.width = advance;
    d.height = double(ext.ascender - ext.descender);
    Outline o;
    // Baseline placed so that the line box is centred on the origin.
    o.dy = -(ext.ascender + ext.descender) / 2.0;
    double pen = -advance / 2;
    for (unsigned i = 0; i < count; ++i) {
        // A character the face lacks is left out rather than drawn as an empty box.
        if (info[i].codepoint != 0) {
            o.dx = pen + pos[i].x_offset;
            const double baseY = o.dy;
            o.dy = baseY + pos[i].y_offset;
            hb_font_get_glyph_shape(font, info[i].codepoint, drawFuncs(), &o);
            o.dy = baseY;
        }
        pen += pos[i].x_advance;
    }
    d.ops = std::move(o.ops);
    hb_buffer_destroy(buf);
    hb_font_destroy(font);
    return d;
}

// The drawing of `text`, shaped once: the outputs of a run all carry the same mark. A few
// recent texts are kept for a long-running service; never destroyed, like the face.
std::shared_ptr<const Drawing> drawingOf(hb_face_t* face, const QString& text) {
    static std::mutex mutex;
    static auto* const recent =
        new std::vector<std::pair<QString, std::shared_ptr<const Drawing>>>;  // last at back
    {
        const std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [kept, drawing] : *recent) {
            if (kept == text) return drawing;
        }
    }
    auto drawing = std::make_shared<const Drawing>(drawText(face, text));
    const std::lock_guard<std::mutex> lock(mutex);
    constexpr size_t kKept = 4;
    if (recent->size() == kKept) recent->erase(recent->begin());
    recent->emplace_back(text, drawing);
    return drawing;
}

struct Box {
    double x0, y0, x1, y1;
};

Box boxOf(QPDFPageObjectHelper& page) {
    QPDFObjectHandle box = page.getCropBox();
    QPDFObjectHandle::Rectangle r;
    if (box.isRectangle()) r = box.getArrayAsRectangle();
    if (!box.isRectangle() || r.urx - r.llx <= 0 || r.ury - r.lly <= 0) {
        r = QPDFObjectHandle::Rectangle(0, 0, 612, 792);
    }
    return {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx),
            std::max(r.lly, r.ury)};
}

int rotationOf(QPDFPageObjectHelper& page) {
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    const int r = rotate.isInteger() ? rotate.getIntValueAsInt() : 0;
    return ((r % 360) + 360) % 360;
}

// The name under which `resources` holds `form`, adding it under a free name if needed.
std::string formName(QPDFObjectHandle resources, QPDFObjectHandle form) {
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary()) {
        xobjects = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
    }
    for (const std::string& key : xobjects.getKeys()) {
        if (xobjects.getKey(key).getObjGen() == form.getObjGen()) return key;
    }
    std::string name = "/QvWm";
    for (int i = 1; xobjects.hasKey(name); ++i) name = "/QvWm" + std::to_string(i);
    xobjects.replaceKey(name, form);
    return name;
}

}  // namespace

QString watermarkFamily() { return QString::fromLatin1(kFamily); }

bool stampWatermark(QPDF& doc, const PdfWatermark& wm, QString* error) {
    QString text = wm.text;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = text.trimmed();
    if (text.isEmpty()) return true;
    hb_face_t* face = heiFace();
    if (!face) {
        if (error) *error = QStringLiteral("no face of the family %1").arg(watermarkFamily());
        return false;
    }
    const std::shared_ptr<const Drawing> drawing = drawingOf(face, text);
    const Drawing& d = *drawing;
    const double size = std::clamp(wm.size, PdfWatermark::kMinSize, PdfWatermark::kMaxSize);
    const double scale = size / d.upem;
    const double w = d.width * scale, h = d.height * scale;  // points
    const double opacity = std::clamp(wm.opacity, 1, 100) / 100.0;

    // One form for all pages: the glyph outlines in a mid grey at the chosen opacity.
    std::string content = "q\n";
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    if (opacity < 1) {
        QPDFObjectHandle gs = QPDFObjectHandle::newDictionary();
        gs.replaceKey("/Type", QPDFObjectHandle::newName("/ExtGState"));
        gs.replaceKey("/ca", QPDFObjectHandle::newReal(opacity, 3));
        gs.replaceKey("/CA", QPDFObjectHandle::newReal(opacity, 3));
        QPDFObjectHandle states = QPDFObjectHandle::newDictionary();
        states.replaceKey("/GS0", doc.makeIndirectObject(gs));
        resources.replaceKey("/ExtGState", states);
        content += "/GS0 gs\n";
    }
    content += "0.5 g\n";
    num(content, scale);
    content += "0 0 ";
    num(content, scale);
    content += "0 0 cm\n" + d.ops + "f\nQ\n";
    QPDFObjectHandle form = doc.newStream(content);
    QPDFObjectHandle dict = form.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                 -w / 2 - 1, -h / 2 - 1, w / 2 + 1, h / 2 + 1)));
    dict.replaceKey("/Resources", resources);

    QPDFObjectHandle opening = doc.newStream("q\n");
    QPDFPageDocumentHelper pages(doc);
    // Resources a page inherits from the page tree become its own, so that adding the
    // form to them reaches only pages.
    pages.pushInheritedAttributesToPage();
    for (QPDFPageObjectHelper& page : pages.getAllPages()) {
        const Box box = boxOf(page);
        // Shown turned clockwise by /Rotate: drawn at 45° plus that, it appears at 45°.
        const double angle = (45.0 + rotationOf(page)) * std::numbers::pi / 180.0;
        const double c = std::cos(angle), s = std::sin(angle);
        const double cx = (box.x0 + box.x1) / 2, cy = (box.y0 + box.y1) / 2;
        const double bw = box.x1 - box.x0, bh = box.y1 - box.y0;

        QPDFObjectHandle res = page.getAttribute("/Resources", true);
        if (!res.isDictionary()) {
            res = QPDFObjectHandle::newDictionary();
            page.getObjectHandle().replaceKey("/Resources", res);
        }
        const std::string name = formName(res, form);

        // Marked as an artifact: a tagged document's structure leaves it out.
        std::string overlay = "Q\n/Artifact BMC\nq\n";
        num(overlay, c);
        num(overlay, s);
        num(overlay, -s);
        num(overlay, c);
        num(overlay, cx);
        num(overlay, cy);
        overlay += "cm\n";
        if (wm.tiled) {
            const double dx = w + std::max(2 * size, w / 2), dy = 4 * size;
            const double reach = std::hypot(bw, bh) / 2 + std::max(w, h);
            const int ni = int(std::ceil(reach / dx)), nj = int(std::ceil(reach / dy));
            for (int j = -nj; j <= nj; ++j) {
                const double shift = (j % 2) ? dx / 2 : 0;
                for (int i = -ni; i <= ni; ++i) {
                    const double x = i * dx + shift, y = j * dy;
                    // In page space: leave out tiles that cannot touch the page.
                    const double px = x * c - y * s, py = x * s + y * c;
                    const double r = std::hypot(w, h) / 2;
                    if (std::abs(px) > bw / 2 + r || std::abs(py) > bh / 2 + r) continue;
                    overlay += "q 1 0 0 1 ";
                    num(overlay, x);
                    num(overlay, y);
                    overlay += "cm " + name + " Do Q\n";
                }
            }
        } else {
            // Fits inside 90 % of the page at its angle.
            const double ac = std::abs(c), as = std::abs(s);
            const double fit =
                std::min({1.0, 0.9 * bw / (w * ac + h * as), 0.9 * bh / (w * as + h * ac)});
            num(overlay, fit);
            overlay += "0 0 ";
            num(overlay, fit);
            overlay += "0 0 cm " + name + " Do\n";
        }
        overlay += "Q\nEMC\n";
        page.addPageContents(opening, true);
        page.addPageContents(doc.newStream(overlay), false);
    }
    return true;
}

}  // namespace quorv::pdf
