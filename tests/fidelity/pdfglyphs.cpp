#include "fidelity/pdfglyphs.h"

#include <poppler-document.h>
#include <poppler-font.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QRawFont>
#include <memory>

namespace quorv::testing {

namespace {

constexpr int kSide = 48;  // compared glyphs are scaled to kSide x kSide
constexpr double kDpi = 288;

QString withoutSubsetTag(const QString& name) {
    const qsizetype plus = name.indexOf(QLatin1Char('+'));
    return plus == 6 ? name.mid(7) : name;
}

// Cuts an image to its ink (darker than half) and scales it to the compared size.
QImage normalised(const QImage& source) {
    const QImage gray = source.convertToFormat(QImage::Format_Grayscale8);
    int left = gray.width(), top = gray.height(), right = -1, bottom = -1;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            if (row[x] >= 128) continue;
            left = qMin(left, x);
            right = qMax(right, x);
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    if (right < 0) return {};
    return gray.copy(left, top, right - left + 1, bottom - top + 1)
        .scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool isHan(const QString& ch) {
    const uint c = ch.toUcs4().value(0);
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF);
}

void ensureGuiApp() {
    if (QGuiApplication::instance()) return;
    static int argc = 1;
    static char name[] = "pdfglyphs";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: at exit Qt's thread data is gone before static destructors run.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    Q_UNUSED(app);
}

}  // namespace

QList<PdfChar> pdfChars(const QString& pdf) {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(pdf.toStdString()));
    QList<PdfChar> chars;
    if (!doc) return chars;
    for (int p = 0; p < doc->pages(); ++p) {
        std::unique_ptr<poppler::page> page(doc->create_page(p));
        if (!page) continue;
        for (const poppler::text_box& box :
             page->text_list(poppler::page::text_list_include_font)) {
            const poppler::ustring text = box.text();
            const std::vector<char> utf8 = text.to_utf8();
            const QString word = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
            const QList<uint> codes = word.toUcs4();
            for (int i = 0; i < codes.size(); ++i) {
                const poppler::rectf r = box.char_bbox(size_t(i));
                chars.append({QString::fromUcs4(reinterpret_cast<const char32_t*>(&codes[i]), 1),
                              withoutSubsetTag(QString::fromStdString(box.get_font_name(i))),
                              QRectF(r.x(), r.y(), r.width(), r.height()), p});
            }
        }
    }
    return chars;
}

QList<PdfChar> findRun(const QList<PdfChar>& chars, const QString& text) {
    QString all;
    QList<int> at;  // index into chars of each code unit of `all`
    for (int i = 0; i < chars.size(); ++i) {
        all += chars[i].ch;
        for (int u = 0; u < chars[i].ch.size(); ++u) at.append(i);
    }
    // The PDF keeps no spaces between words.
    const QString wanted = QString(text).remove(QLatin1Char(' '));
    const qsizetype pos = all.indexOf(wanted);
    if (pos < 0 || wanted.isEmpty()) return {};
    const int first = at[pos];
    const int last = at[pos + wanted.size() - 1];
    return chars.mid(first, last - first + 1);
}

QStringList embeddedFonts(const QString& pdf) {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(pdf.toStdString()));
    QStringList names;
    if (!doc) return names;
    for (const poppler::font_info& f : doc->fonts()) {
        if (f.is_embedded()) names << withoutSubsetTag(QString::fromStdString(f.name()));
    }
    names.removeDuplicates();
    return names;
}

const QList<RefFace>& cjkReferenceFaces() {
    static const QList<RefFace> faces{
        {QStringLiteral("Song SC"), QStringLiteral("Noto Serif CJK SC"), {}},
        {QStringLiteral("Song JP"), QStringLiteral("Noto Serif CJK JP"), {}},
        {QStringLiteral("Song TC"), QStringLiteral("Noto Serif CJK TC"), {}},
        {QStringLiteral("Hei SC"), QStringLiteral("Noto Sans CJK SC"), {}},
        {QStringLiteral("Hei JP"), QStringLiteral("Noto Sans CJK JP"), {}},
        {QStringLiteral("Hei TC"), QStringLiteral("Noto Sans CJK TC"), {}},
        {QStringLiteral("FangSong"), QStringLiteral("FandolFang"),
         QStringLiteral("/usr/share/texlive/texmf-dist/fonts/opentype/public/fandol/"
                        "FandolFang-Regular.otf")},
        {QStringLiteral("Kai"), QStringLiteral("LXGW WenKai"), {}},
    };
    return faces;
}

QImage renderedGlyph(const QString& pdf, const PdfChar& c) {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(pdf.toStdString()));
    if (!doc) return {};
    std::unique_ptr<poppler::page> page(doc->create_page(c.page));
    if (!page) return {};
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing |
                              poppler::page_renderer::text_antialiasing);
    const double k = kDpi / 72.0;
    // The box is the advance and the line's height: a CJK glyph's ink lies inside it, and
    // any margin to the sides would take in ink of its neighbours.
    const QRectF px(c.box.x() * k, c.box.y() * k, c.box.width() * k, c.box.height() * k);
    const poppler::image img = renderer.render_page(page.get(), kDpi, kDpi, int(px.x()),
                                                    int(px.y()), int(px.width()), int(px.height()));
    if (!img.is_valid()) return {};
    const QImage view(reinterpret_cast<const uchar*>(img.const_data()), img.width(), img.height(),
                      img.bytes_per_row(), QImage::Format_ARGB32);
    return normalised(view);
}

QImage referenceGlyph(const RefFace& face, const QString& ch) {
    ensureGuiApp();
    QString family = face.family;
    if (!QFontDatabase::families().contains(family) && !face.file.isEmpty()) {
        static QHash<QString, QString> loaded;
        if (!loaded.contains(face.file)) {
            const int id = QFontDatabase::addApplicationFont(face.file);
            loaded.insert(face.file,
                          id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0));
        }
        family = loaded.value(face.file);
    }
    if (family.isEmpty() || !QFontDatabase::families().contains(family)) return {};
    QFont font(family);
    font.setPixelSize(160);
    font.setStyleStrategy(QFont::NoFontMerging);
    QImage canvas(220, 220, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, 220, 220), Qt::AlignCenter, ch);
    painter.end();
    return normalised(canvas);
}

double glyphDistance(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size()) return 1.0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* ra = a.constScanLine(y);
        const uchar* rb = b.constScanLine(y);
        for (int x = 0; x < a.width(); ++x) sum += std::abs(int(ra[x]) - int(rb[x]));
    }
    return sum / (255.0 * a.width() * a.height());
}

QString nearestFace(const QString& pdf, const QList<PdfChar>& run, const QList<RefFace>& faces) {
    QList<double> totals(faces.size(), 0.0);
    bool any = false;
    for (const PdfChar& c : run) {
        if (!isHan(c.ch)) continue;
        const QImage glyph = renderedGlyph(pdf, c);
        if (glyph.isNull()) continue;
        any = true;
        for (int f = 0; f < faces.size(); ++f) {
            totals[f] += glyphDistance(glyph, referenceGlyph(faces[f], c.ch));
        }
    }
    if (!any) return {};
    qsizetype best = 0;
    for (int f = 1; f < faces.size(); ++f) {
        if (totals[f] < totals[best]) best = f;
    }
    return faces[best].label;
}

}  // namespace quorv::testing
