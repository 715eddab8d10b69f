#pragma once

// What a reader of a PDF sees of its typefaces: the font of every character and the
// shape of its glyph as rendered, compared with the same character drawn in a known face.
// The embedded names do not tell a Noto CJK collection's faces apart (every subset is
// named after the collection's first face), so forms are told by the rendered glyph.

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace quorv::testing {

struct PdfChar {
    QString ch;
    QString font;  // the embedded font's name without its subset tag
    QRectF box;    // in points, from the page's top left
    int page = 0;
};

// Every character of the PDF with its font; empty when the file does not open.
QList<PdfChar> pdfChars(const QString& pdf);

// The characters of the first run of `text` in the PDF, spaces aside (empty when it is
// not there).
QList<PdfChar> findRun(const QList<PdfChar>& chars, const QString& text);

// The names of the embedded fonts, subset tags removed.
QStringList embeddedFonts(const QString& pdf);

// A known face to compare with: a family as fontconfig offers it, or a font file.
struct RefFace {
    QString label;
    QString family;
    QString file;  // loaded when the family is not installed (the Fandol faces)
};

// The reference faces the conversions may draw a Chinese or Japanese run with.
const QList<RefFace>& cjkReferenceFaces();

// The glyph of `c` as the PDF renders it, cut to its ink and scaled to a fixed size.
QImage renderedGlyph(const QString& pdf, const PdfChar& c);

// The same character drawn in `face`, cut and scaled the same way; null when the face is
// not there. Needs a QGuiApplication (made on first use when there is none).
QImage referenceGlyph(const RefFace& face, const QString& ch);

// 0 for the same picture, 1 for the inverse.
double glyphDistance(const QImage& a, const QImage& b);

// The label of the reference face nearest to the run's glyphs (summed over its Han
// characters), or empty when the run has none.
QString nearestFace(const QString& pdf, const QList<PdfChar>& run,
                    const QList<RefFace>& faces = cjkReferenceFaces());

}  // namespace quorv::testing
