#include "pagewriter.h"

#include <GfxFont.h>
#include <GfxState.h>
#include <OutputDev.h>
#include <PDFDoc.h>
#include <Stream.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "fonts.h"
#include "package.h"
#include "png.h"

namespace quorv::pdf2ofd {

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;

struct Box {
    double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
    void add(double x, double y) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
    bool empty() const { return x1 < x0 || y1 < y0; }
    void grow(double d) { x0 -= d, y0 -= d, x1 += d, y1 += d; }
    bool inside(const Box& o) const { return x0 >= o.x0 && y0 >= o.y0 && x1 <= o.x1 && y1 <= o.y1; }
    bool meets(const Box& o) const { return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1; }
    std::string boundary() const {
        return mm(x0) + " " + mm(y0) + " " + mm(std::max(x1 - x0, 0.001)) + " " +
               mm(std::max(y1 - y0, 0.001));
    }
};

std::string color(const GfxRGB& rgb, double opacity, const char* element) {
    std::string s = std::string("<ofd:") + element + " Value=\"" +
                    std::to_string(colToByte(rgb.r)) + " " + std::to_string(colToByte(rgb.g)) +
                    " " + std::to_string(colToByte(rgb.b)) + "\"";
    if (opacity < 0.999)
        s += " Alpha=\"" + std::to_string(std::lround(std::clamp(opacity, 0.0, 1.0) * 255)) + "\"";
    return s + "/>";
}

// A path in page millimetres, y downwards.
struct MmPath {
    struct Op {
        char kind;  // 'M', 'L', 'B' (three points), 'C' (close)
        double p[6];
    };
    std::vector<Op> ops;
    Box box;

    std::string data(double ox, double oy) const {
        std::string s;
        for (const Op& op : ops) {
            if (!s.empty()) s.push_back(' ');
            s.push_back(op.kind);
            const int n = op.kind == 'B' ? 6 : op.kind == 'C' ? 0 : 2;
            for (int i = 0; i < n; i += 2) s += " " + mm(op.p[i] - ox) + " " + mm(op.p[i + 1] - oy);
        }
        return s;
    }
};

}  // namespace

class PageWriter::Device : public OutputDev {
  public:
    Device(Package& package, FontTable& fonts) : package_(package), fonts_(fonts) {}

    bool upsideDown() override { return true; }
    bool useDrawChar() override { return true; }
    // Type 3 glyphs are drawn as the paths and images they are made of.
    bool interpretType3Chars() override { return true; }
    bool needNonText() override { return true; }

    void startPage(int, GfxState* state, XRef*) override {
        objects_.clear();
        clips_.assign(1, nullptr);
        run_ = {};
        pageBox_ = {};
        pageBox_.add(0, 0);
        pageBox_.add(state->getPageWidth() * kMmPerPoint, state->getPageHeight() * kMmPerPoint);
        width_ = state->getPageWidth() * kMmPerPoint;
        height_ = state->getPageHeight() * kMmPerPoint;
    }
    void endPage() override { flushText(); }

    void saveState(GfxState*) override { clips_.push_back(clips_.back()); }
    void restoreState(GfxState*) override {
        if (clips_.size() > 1) clips_.pop_back();
    }

    void clip(GfxState* state) override { addClip(state, false); }
    void eoClip(GfxState* state) override { addClip(state, true); }
    void clipToStrokePath(GfxState*) override {}

    void stroke(GfxState* state) override { paint(state, true, false, false); }
    void fill(GfxState* state) override { paint(state, false, true, false); }
    void eoFill(GfxState* state) override { paint(state, false, true, true); }

    void drawChar(GfxState* state, double x, double y, double dx, double dy, double originX,
                  double originY, CharCode, int, const Unicode* u, int uLen) override;

    void drawImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                   GfxImageColorMap* colorMap, bool, const int* maskColors,
                   bool inlineImg) override {
        image(state, ref, str, width, height, colorMap, maskColors, inlineImg, nullptr, 0, 0, false,
              nullptr);
    }
    void drawImageMask(GfxState* state, Object* ref, Stream* str, int width, int height,
                       bool invert, bool, bool inlineImg) override {
        stencil(state, ref, str, width, height, invert, inlineImg);
    }
    void drawMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                         GfxImageColorMap* colorMap, bool, Stream* maskStr, int maskWidth,
                         int maskHeight, bool maskInvert, bool) override {
        image(state, ref, str, width, height, colorMap, nullptr, false, maskStr, maskWidth,
              maskHeight, maskInvert, nullptr);
    }
    void drawSoftMaskedImage(GfxState* state, Object* ref, Stream* str, int width, int height,
                             GfxImageColorMap* colorMap, bool, Stream* maskStr, int maskWidth,
                             int maskHeight, GfxImageColorMap* maskColorMap, bool) override {
        image(state, ref, str, width, height, colorMap, nullptr, false, maskStr, maskWidth,
              maskHeight, false, maskColorMap);
    }

    std::string objects_;
    double width_ = 0, height_ = 0;
    int unmapped_ = 0;

    // Bytes of page content and pictures so far, this page's included.
    size_t contentBytes() const { return doneBytes_ + objects_.size(); }
    size_t doneBytes_ = 0;

  private:
    // The clip paths in force form a chain from the innermost to the page: a saved state
    // shares it, so that deep nesting of saves costs nothing per level.
    struct ClipNode {
        MmPath path;
        bool evenOdd = false;
        bool rectangle = false;
        Box visible;  // the page cut by this clip and all outer ones
        mutable std::shared_ptr<const ClipNode> outer;

        ClipNode() = default;
        ClipNode(const ClipNode&) = delete;
        ClipNode& operator=(const ClipNode&) = delete;
        // Freed one by one: a long chain freed by recursion would overflow the stack.
        ~ClipNode() {
            std::shared_ptr<const ClipNode> next = std::move(outer);
            while (next && next.use_count() == 1) {
                std::shared_ptr<const ClipNode> after = std::move(next->outer);
                next = std::move(after);
            }
        }
    };
    using ClipState = std::shared_ptr<const ClipNode>;
    // Clips written per object at most, and clips looked at: the innermost ones, which
    // are those that shape it; deeper nesting comes from files made to exhaust a reader.
    static constexpr size_t kMaxClipsPerObject = 16;
    static constexpr int kMaxClipsLookedAt = 256;

    struct Run {
        bool open = false;
        int font = -1;
        double size = 0;
        std::string fill;
        bool bold = false;
        double x0 = 0, y = 0, lastX = 0, lastAdvance = 0;
        std::vector<double> xs;
        std::string text;
        Box box;
        int trailingSpaces = 0;
        std::string turn;  // the first four numbers of the CTM of turned or slanted text
    };

    MmPath convert(const GfxState* state, const GfxPath* path) const {
        MmPath out;
        auto point = [&](double ux, double uy, double* p) {
            double dx = 0, dy = 0;
            state->transform(ux, uy, &dx, &dy);
            p[0] = dx * kMmPerPoint;
            p[1] = dy * kMmPerPoint;
            out.box.add(p[0], p[1]);
        };
        for (int i = 0; i < path->getNumSubpaths(); ++i) {
            const GfxSubpath* sub = path->getSubpath(i);
            const int n = sub->getNumPoints();
            if (n == 0) continue;
            MmPath::Op op{'M', {}};
            point(sub->getX(0), sub->getY(0), op.p);
            out.ops.push_back(op);
            int j = 1;
            while (j < n) {
                if (sub->getCurve(j) && j + 2 < n) {
                    op.kind = 'B';
                    point(sub->getX(j), sub->getY(j), op.p);
                    point(sub->getX(j + 1), sub->getY(j + 1), op.p + 2);
                    point(sub->getX(j + 2), sub->getY(j + 2), op.p + 4);
                    j += 3;
                } else {
                    op.kind = 'L';
                    point(sub->getX(j), sub->getY(j), op.p);
                    ++j;
                }
                out.ops.push_back(op);
            }
            if (sub->isClosed()) out.ops.push_back({'C', {}});
        }
        return out;
    }

    void addClip(GfxState* state, bool evenOdd) {
        flushText();
        auto node = std::make_shared<ClipNode>();
        node->path = convert(state, state->getPath());
        node->evenOdd = evenOdd;
        node->rectangle = isRectangle(node->path);
        const Box outer = clipBox();
        node->visible.x0 = std::max(outer.x0, node->path.box.x0);
        node->visible.y0 = std::max(outer.y0, node->path.box.y0);
        node->visible.x1 = std::min(outer.x1, node->path.box.x1);
        node->visible.y1 = std::min(outer.y1, node->path.box.y1);
        node->outer = clips_.back();
        clips_.back() = std::move(node);
    }

    // The clip area that holds everything visible now.
    Box clipBox() const { return clips_.back() ? clips_.back()->visible : pageBox_; }

    // The clips an object inside `box` needs: only those that cut into it, outermost first.
    std::string clipsFor(const Box& box) const {
        std::vector<const ClipNode*> cutting;
        int looked = 0;
        for (const ClipNode* c = clips_.back().get();
             c && cutting.size() < kMaxClipsPerObject && looked++ < kMaxClipsLookedAt;
             c = c->outer.get()) {
            if (!(c->rectangle && box.inside(c->path.box))) cutting.push_back(c);
        }
        std::string s;
        for (auto it = cutting.rbegin(); it != cutting.rend(); ++it) {
            const ClipNode& c = **it;
            s += "<ofd:Clip><ofd:Area><ofd:Path Boundary=\"" + box.boundary() + "\"" +
                 (c.evenOdd ? " Rule=\"Even-Odd\"" : "") + "><ofd:AbbreviatedData>" +
                 c.path.data(box.x0, box.y0) +
                 "</ofd:AbbreviatedData></ofd:Path></ofd:Area></ofd:Clip>";
        }
        return s.empty() ? s : "<ofd:Clips>" + s + "</ofd:Clips>";
    }

    static bool isRectangle(const MmPath& p) {
        int corners = 0;
        for (const MmPath::Op& op : p.ops) {
            if (op.kind == 'B') return false;
            if (op.kind == 'M' || op.kind == 'L') {
                const bool onX =
                    std::abs(op.p[0] - p.box.x0) < 1e-3 || std::abs(op.p[0] - p.box.x1) < 1e-3;
                const bool onY =
                    std::abs(op.p[1] - p.box.y0) < 1e-3 || std::abs(op.p[1] - p.box.y1) < 1e-3;
                if (!onX || !onY) return false;
                ++corners;
            }
        }
        return corners >= 4;
    }

    // How much the current transformation scales lengths, in millimetres per unit.
    static double lengthScale(const GfxState* state) {
        const double* m = state->getCTM();
        return std::sqrt(std::abs(m[0] * m[3] - m[1] * m[2])) * kMmPerPoint;
    }

    void paint(GfxState* state, bool stroke, bool fill, bool evenOdd) {
        MmPath path = convert(state, state->getPath());
        if (path.ops.empty()) return;
        Box box = path.box;
        double lineWidth = 0;
        if (stroke) {
            lineWidth = state->getLineWidth() * lengthScale(state);
            // A zero width means the thinnest line the device can show.
            if (lineWidth < 0.05) lineWidth = 0.05;
            box.grow(lineWidth / 2 *
                     std::max(1.0, state->getLineJoin() == 0 ? state->getMiterLimit() / 2 : 1.0));
        }
        const Box visible = clipBox();
        if (!box.meets(visible)) return;
        flushText();
        if (box.x1 - box.x0 < 0.001) box.x1 = box.x0 + 0.001;
        if (box.y1 - box.y0 < 0.001) box.y1 = box.y0 + 0.001;

        std::string s = "<ofd:PathObject ID=\"" + std::to_string(package_.nextId()) +
                        "\" Boundary=\"" + box.boundary() + "\"";
        s += stroke ? " Stroke=\"true\" Fill=\"false\"" : " Stroke=\"false\" Fill=\"true\"";
        if (fill && evenOdd) s += " Rule=\"Even-Odd\"";
        if (stroke) {
            s += " LineWidth=\"" + mm(lineWidth) + "\"";
            static const char* joins[] = {"Miter", "Round", "Bevel"};
            static const char* caps[] = {"Butt", "Round", "Square"};
            const int join = std::clamp(state->getLineJoin(), 0, 2);
            const int cap = std::clamp(state->getLineCap(), 0, 2);
            if (join != 0) s += std::string(" Join=\"") + joins[join] + "\"";
            if (cap != 0) s += std::string(" Cap=\"") + caps[cap] + "\"";
            if (join == 0 && state->getMiterLimit() != 10)
                s += " MiterLimit=\"" + mm(state->getMiterLimit()) + "\"";
            double start = 0;
            const std::vector<double>& dash = state->getLineDash(&start);
            bool anyDash = false;
            for (double d : dash) anyDash = anyDash || d > 0;
            if (anyDash) {
                const double scale = lengthScale(state);
                std::string pattern;
                for (double d : dash) pattern += (pattern.empty() ? "" : " ") + mm(d * scale);
                if (dash.size() % 2 == 1) {
                    for (double d : dash) pattern += " " + mm(d * scale);
                }
                s += " DashPattern=\"" + pattern + "\"";
                if (start != 0) s += " DashOffset=\"" + mm(start * scale) + "\"";
            }
        }
        s += ">" + clipsFor(box);
        GfxRGB rgb;
        if (stroke) {
            state->getStrokeRGB(&rgb);
            s += color(rgb, state->getStrokeOpacity(), "StrokeColor");
        } else {
            state->getFillRGB(&rgb);
            s += color(rgb, state->getFillOpacity(), "FillColor");
        }
        s += "<ofd:AbbreviatedData>" + path.data(box.x0, box.y0) +
             "</ofd:AbbreviatedData></ofd:PathObject>";
        objects_ += s;
    }

    void flushText();
    void image(GfxState* state, Object* ref, Stream* str, int width, int height,
               GfxImageColorMap* colorMap, const int* maskColors, bool inlineImg, Stream* maskStr,
               int maskWidth, int maskHeight, bool maskInvert, GfxImageColorMap* maskColorMap);
    void stencil(GfxState* state, Object* ref, Stream* str, int width, int height, bool invert,
                 bool inlineImg);
    void placeImage(GfxState* state, int mediaId);

    Package& package_;
    FontTable& fonts_;
    std::vector<ClipState> clips_;
    Box pageBox_;
    Run run_;
    std::map<std::pair<int, int>, int> imagesByRef_;
};

void PageWriter::Device::drawChar(GfxState* state, double x, double y, double dx, double dy,
                                  double originX, double originY, CharCode, int, const Unicode* u,
                                  int uLen) {
    const std::shared_ptr<GfxFont>& font = state->getFont();
    if (!font) return;
    const int render = state->getRender() & 3;
    if (render == 3 || uLen <= 0 || !u) {
        if (render != 3 && (uLen <= 0 || !u)) ++unmapped_;
        if (render == 3 || !u) return;
    }
    double m11 = 0, m12 = 0, m21 = 0, m22 = 0;
    state->getFontTransMat(&m11, &m12, &m21, &m22);
    // Only upright text goes into runs with a common baseline; text that is turned or
    // slanted is rare in office documents and keeps its characters one by one.
    const double size = std::abs(m22) * kMmPerPoint;
    const bool upright = std::abs(m12) < 1e-6 * std::abs(m22) &&
                         std::abs(m21) < 1e-6 * std::abs(m22) && m11 > 0 && m22 < 0;
    double gx = 0, gy = 0;
    state->transform(x - originX, y - originY, &gx, &gy);
    gx *= kMmPerPoint;
    gy *= kMmPerPoint;
    if (size <= 0 || !std::isfinite(gx) || !std::isfinite(gy)) return;
    Box glyph;
    glyph.add(gx, gy - size);
    glyph.add(gx + size, gy + size * 0.3);
    if (!glyph.meets(clipBox())) return;

    const int fontIndex = fonts_.resourceFor(*font);
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    const std::string fill = color(rgb, state->getFillOpacity(), "FillColor");
    const bool space = uLen == 1 && (u[0] == ' ' || u[0] == 0xa0);

    const bool continues = run_.open && upright && run_.font == fontIndex &&
                           std::abs(run_.size - size) < 1e-3 && run_.fill == fill &&
                           std::abs(run_.y - gy) < 0.01 && gx >= run_.lastX - size * 0.01 &&
                           gx - run_.lastX < size * 8;
    if (!continues) {
        flushText();
        if (space) return;  // runs start at a visible character
        run_ = {};
        run_.open = true;
        run_.font = fontIndex;
        run_.size = size;
        run_.fill = fill;
        run_.x0 = gx;
        run_.y = gy;
        run_.lastX = gx;
        if (!upright) {
            const double k = std::abs(m22) > 0 ? 1 / std::abs(m22) : 1;
            run_.turn = mm(m11 * k) + " " + mm(m12 * k) + " " + mm(-m21 * k) + " " + mm(-m22 * k);
        }
    }
    // A glyph for several characters (a ligature) spreads them over its advance.
    double ax = 0, ay = 0;
    state->transformDelta(dx, dy, &ax, &ay);
    ax *= kMmPerPoint;
    for (int i = 0; i < uLen; ++i) {
        const uint32_t c = u[i];
        if (c == 0 || c == 0xfeff || c == 0xfffe || (c >= 0xd800 && c <= 0xdfff)) continue;
        if (space) {
            ++run_.trailingSpaces;
        } else {
            run_.trailingSpaces = 0;
        }
        run_.xs.push_back(gx + ax * i / uLen);
        appendUtf8(run_.text, c);
        if (!space) fonts_.useCharacter(fontIndex, c);
    }
    run_.lastX = gx;
    if (upright) {
        run_.box.add(gx, gy - size);
        run_.box.add(gx + std::max(ax, size * 0.5), gy + size * 0.3);
    } else {
        run_.box.add(gx - size * 1.5, gy - size * 1.5);
        run_.box.add(gx + size * 1.5, gy + size * 1.5);
    }
    if (!upright) {
        // Turned text: written now, alone, with its own transformation.
        flushText();
    }
}

void PageWriter::Device::flushText() {
    if (!run_.open) return;
    Run r = std::move(run_);
    run_ = {};
    // Drop trailing spaces: XML readers trim them and the positions would no longer match.
    while (r.trailingSpaces > 0 && !r.text.empty() && r.text.back() == ' ') {
        r.text.pop_back();
        r.xs.pop_back();
        --r.trailingSpaces;
    }
    if (r.text.empty() || r.xs.empty()) return;
    Box b = r.box;
    std::string deltas;
    for (size_t i = 1; i < r.xs.size(); ++i)
        deltas += (i > 1 ? " " : "") + mm(r.xs[i] - r.xs[i - 1]);
    const FontResource& font = package_.fonts[r.font];
    std::string s = "<ofd:TextObject ID=\"" + std::to_string(package_.nextId()) + "\" Boundary=\"" +
                    b.boundary() + "\" Font=\"" + std::to_string(font.id) + "\" Size=\"" +
                    mm(r.size) + "\"";
    if (font.bold) s += " Weight=\"700\"";
    if (font.italic) s += " Italic=\"true\"";
    double originX = r.x0 - b.x0, originY = r.y - b.y0;
    if (!r.turn.empty()) {
        s += " CTM=\"" + r.turn + " " + mm(originX) + " " + mm(originY) + "\"";
        originX = originY = 0;
    }
    s += ">" + clipsFor(b) + r.fill + "<ofd:TextCode X=\"" + mm(originX) + "\" Y=\"" + mm(originY) +
         "\"";
    if (!deltas.empty()) s += " DeltaX=\"" + deltas + "\"";
    s += ">" + xmlEscape(r.text) + "</ofd:TextCode></ofd:TextObject>";
    objects_ += s;
}

void PageWriter::Device::placeImage(GfxState* state, int mediaId) {
    // Image space: (0,0) is the top left corner of the picture, (1,1) the bottom right; the
    // PDF's unit square has its first row at y = 1.
    auto at = [&](double u, double v, double& px, double& py) {
        state->transform(u, 1 - v, &px, &py);
        px *= kMmPerPoint;
        py *= kMmPerPoint;
    };
    double x00, y00, x10, y10, x01, y01, x11, y11;
    at(0, 0, x00, y00);
    at(1, 0, x10, y10);
    at(0, 1, x01, y01);
    at(1, 1, x11, y11);
    Box box;
    box.add(x00, y00);
    box.add(x10, y10);
    box.add(x01, y01);
    box.add(x11, y11);
    if (!box.meets(clipBox())) return;
    if (box.x1 - box.x0 < 0.001 || box.y1 - box.y0 < 0.001) return;
    const std::string ctm = mm(x10 - x00) + " " + mm(y10 - y00) + " " + mm(x01 - x00) + " " +
                            mm(y01 - y00) + " " + mm(x00 - box.x0) + " " + mm(y00 - box.y0);
    objects_ += "<ofd:ImageObject ID=\"" + std::to_string(package_.nextId()) + "\" Boundary=\"" +
                box.boundary() + "\" CTM=\"" + ctm + "\" ResourceID=\"" + std::to_string(mediaId) +
                "\">" + clipsFor(box) + "</ofd:ImageObject>";
}

namespace {

// The bytes of a JPEG stream as the PDF holds them, when a reader can show them as they are.
bool rawJpeg(Stream* str, GfxImageColorMap* colorMap, std::string& out) {
    if (str->getKind() != strDCT) return false;
    const int comps = colorMap->getNumPixelComps();
    const GfxColorSpaceMode mode = colorMap->getColorSpace()->getMode();
    const bool plain = mode == csDeviceGray || mode == csDeviceRGB ||
                       (mode == csICCBased && (comps == 1 || comps == 3));
    if (!plain || (comps != 1 && comps != 3)) return false;
    for (int i = 0; i < comps; ++i) {
        if (colorMap->getDecodeLow(i) != 0 || colorMap->getDecodeHigh(i) != 1) return false;
    }
    Stream* raw = str->getNextStream();
    if (!raw) return false;
    raw->reset();
    out.clear();
    int c;
    while ((c = raw->getChar()) != EOF) out.push_back(static_cast<char>(c));
    raw->close();
    return out.size() > 4 && static_cast<unsigned char>(out[0]) == 0xff &&
           static_cast<unsigned char>(out[1]) == 0xd8;
}

std::vector<unsigned char> readAlpha(Stream* maskStr, int w, int h, bool invert,
                                     GfxImageColorMap* maskColorMap) {
    std::vector<unsigned char> alpha(static_cast<size_t>(w) * h, 255);
    const int bits = maskColorMap ? maskColorMap->getBits() : 1;
    ImageStream s(maskStr, w, 1, bits);
    s.reset();
    for (int y = 0; y < h; ++y) {
        unsigned char* line = s.getLine();
        if (!line) break;
        for (int x = 0; x < w; ++x) {
            unsigned char a;
            if (maskColorMap) {
                GfxGray g;
                maskColorMap->getGray(line + x, &g);
                a = colToByte(g);
            } else {
                // An explicit mask: 1 bits (0 when inverted) hide the picture.
                a = (line[x] != 0) != invert ? 0 : 255;
            }
            alpha[static_cast<size_t>(y) * w + x] = a;
        }
    }
    s.close();
    return alpha;
}

}  // namespace

void PageWriter::Device::image(GfxState* state, Object* ref, Stream* str, int width, int height,
                               GfxImageColorMap* colorMap, const int* maskColors, bool inlineImg,
                               Stream* maskStr, int maskWidth, int maskHeight, bool maskInvert,
                               GfxImageColorMap* maskColorMap) {
    flushText();
    if (width <= 0 || height <= 0 || static_cast<double>(width) * height > 1e8) return;
    const bool reusable = !inlineImg && ref && ref->isRef();
    const std::pair<int, int> key =
        reusable ? std::make_pair(ref->getRef().num, ref->getRef().gen) : std::make_pair(-1, -1);
    if (reusable) {
        if (const auto it = imagesByRef_.find(key); it != imagesByRef_.end()) {
            placeImage(state, it->second);
            return;
        }
    }
    MediaResource media;
    media.id = package_.nextId();
    if (!maskStr && !maskColors && rawJpeg(str, colorMap, media.data)) {
        media.format = "JPEG";
    } else {
        std::vector<unsigned char> alpha;
        if (maskStr && maskWidth > 0 && maskHeight > 0 &&
            static_cast<double>(maskWidth) * maskHeight <= 1e8) {
            alpha = readAlpha(maskStr, maskWidth, maskHeight, maskInvert, maskColorMap);
        }
        const bool hasAlpha = !alpha.empty() || maskColors;
        const int channels = hasAlpha ? 4 : 3;
        std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * channels);
        const int comps = colorMap->getNumPixelComps();
        ImageStream s(str, width, comps, colorMap->getBits());
        s.reset();
        std::vector<unsigned char> rgb(static_cast<size_t>(width) * 3);
        for (int y = 0; y < height; ++y) {
            unsigned char* line = s.getLine();
            if (!line) break;
            colorMap->getRGBLine(line, rgb.data(), width);
            for (int x = 0; x < width; ++x) {
                unsigned char* p = pixels.data() + (static_cast<size_t>(y) * width + x) * channels;
                p[0] = rgb[x * 3];
                p[1] = rgb[x * 3 + 1];
                p[2] = rgb[x * 3 + 2];
                if (!hasAlpha) continue;
                unsigned char a = 255;
                if (maskColors) {
                    bool masked = true;
                    for (int c = 0; c < comps && masked; ++c) {
                        masked = line[x * comps + c] >= maskColors[2 * c] &&
                                 line[x * comps + c] <= maskColors[2 * c + 1];
                    }
                    if (masked) a = 0;
                }
                if (!alpha.empty()) {
                    const int mx = static_cast<int>(static_cast<long long>(x) * maskWidth / width);
                    const int my =
                        static_cast<int>(static_cast<long long>(y) * maskHeight / height);
                    a = static_cast<unsigned char>(
                        a * alpha[static_cast<size_t>(my) * maskWidth + mx] / 255);
                }
                p[3] = a;
            }
        }
        s.close();
        media.format = "PNG";
        media.data = encodePng(pixels, width, height, channels);
    }
    const int id = media.id;
    doneBytes_ += media.data.size();
    package_.media.push_back(std::move(media));
    if (reusable) imagesByRef_.emplace(key, id);
    placeImage(state, id);
}

void PageWriter::Device::stencil(GfxState* state, Object*, Stream* str, int width, int height,
                                 bool invert, bool) {
    flushText();
    if (width <= 0 || height <= 0 || static_cast<double>(width) * height > 1e8) return;
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    const unsigned char r = colToByte(rgb.r), g = colToByte(rgb.g), b = colToByte(rgb.b);
    // Sample 0 paints, unless inverted.
    const std::vector<unsigned char> hidden = readAlpha(str, width, height, !invert, nullptr);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < hidden.size(); ++i) {
        pixels[i * 4] = r;
        pixels[i * 4 + 1] = g;
        pixels[i * 4 + 2] = b;
        pixels[i * 4 + 3] = static_cast<unsigned char>(hidden[i] * state->getFillOpacity());
    }
    MediaResource media;
    media.id = package_.nextId();
    media.format = "PNG";
    media.data = encodePng(pixels, width, height, 4);
    const int id = media.id;
    doneBytes_ += media.data.size();
    package_.media.push_back(std::move(media));
    placeImage(state, id);
}

PageWriter::PageWriter(PDFDoc& doc, Package& package, FontTable& fonts, size_t limit)
    : doc_(doc), package_(package), device_(new Device(package, fonts)), limit_(limit) {}

PageWriter::~PageWriter() { delete device_; }

int PageWriter::unmappedGlyphs() const { return device_->unmapped_; }

bool PageWriter::tooLarge() const { return device_->contentBytes() > limit_; }

namespace {

struct StopCheck {
    const PageWriter* writer;
    const std::function<bool()>* stop;
};

bool shouldStop(void* data) {
    const auto* check = static_cast<const StopCheck*>(data);
    return check->writer->tooLarge() || (*check->stop && (*check->stop)());
}

}  // namespace

void PageWriter::addPage(int pageNumber, const std::function<bool()>& stop) {
    PageOut page;
    page.id = package_.nextId();
    page.layerId = package_.nextId();
    StopCheck check{this, &stop};
    doc_.displayPage(device_, pageNumber, 72, 72, 0, false, true, false, shouldStop, &check);
    page.widthMm = device_->width_;
    page.heightMm = device_->height_;
    device_->doneBytes_ += device_->objects_.size();
    page.objects = std::move(device_->objects_);
    device_->objects_.clear();
    package_.pages.push_back(std::move(page));
}

}  // namespace quorv::pdf2ofd
