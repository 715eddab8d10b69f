#pragma once

// Workbooks and presentations written as flat OpenDocument XML, which LibreOffice reads
// directly; the tests save them as .xls, .xlsx, .ppt, ... through the Excel and PowerPoint
// servers.

#include <QFile>
#include <QString>
#include <QStringList>

#include "convert/automation.h"

namespace quorv::testing {

inline bool writeText(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
}

inline QString cellRow(const QStringList& cells) {
    QString row = QStringLiteral("<table:table-row>");
    for (const QString& c : cells) {
        row += QStringLiteral(
                   "<table:table-cell office:value-type=\"string\"><text:p>%1</text:p>"
                   "</table:table-cell>")
                   .arg(c.toHtmlEscaped());
    }
    return row + QStringLiteral("</table:table-row>");
}

// A workbook of four sheets:
// - "报表": a print area A1:C3 holding `inArea`; `outside` sits in E20, outside it;
// - "隐藏": a hidden sheet holding `hidden`;
// - "宽表": 120 rows of 16 columns, `fit` in A1, set up to print on one page;
// - "空表": nothing.
inline bool writeFlatWorkbook(const QString& path, const QString& inArea, const QString& outside,
                              const QString& hidden, const QString& fit) {
    QString report;
    for (int r = 0; r < 25; ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c) {
            cells << (r == 0 && c == 0    ? inArea
                      : r == 19 && c == 4 ? outside
                                          : QStringLiteral("数%1-%2").arg(r).arg(c));
        }
        report += cellRow(cells);
    }
    QString wide;
    for (int r = 0; r < 120; ++r) {
        QStringList cells;
        for (int c = 0; c < 16; ++c) {
            cells << (r == 0 && c == 0 ? fit : QStringLiteral("宽表格内容%1-%2").arg(r).arg(c));
        }
        wide += cellRow(cells);
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
            "office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
            "<office:automatic-styles>"
            "<style:page-layout style:name=\"pmA4\"><style:page-layout-properties "
            "fo:page-width=\"21cm\" fo:page-height=\"29.7cm\" fo:margin=\"2cm\"/>"
            "</style:page-layout>"
            "<style:page-layout style:name=\"pmFit\"><style:page-layout-properties "
            "fo:page-width=\"21cm\" fo:page-height=\"29.7cm\" fo:margin=\"2cm\" "
            "style:scale-to-pages=\"1\"/></style:page-layout>"
            "<style:style style:name=\"taShown\" style:family=\"table\" "
            "style:master-page-name=\"Default\"><style:table-properties "
            "table:display=\"true\"/></style:style>"
            "<style:style style:name=\"taHidden\" style:family=\"table\" "
            "style:master-page-name=\"Default\"><style:table-properties "
            "table:display=\"false\"/></style:style>"
            "<style:style style:name=\"taFit\" style:family=\"table\" "
            "style:master-page-name=\"Fit\"><style:table-properties "
            "table:display=\"true\"/></style:style>"
            "</office:automatic-styles>"
            "<office:master-styles><style:master-page style:name=\"Default\" "
            "style:page-layout-name=\"pmA4\"/>"
            "<style:master-page style:name=\"Fit\" style:page-layout-name=\"pmFit\"/>"
            "</office:master-styles>"
            "<office:body><office:spreadsheet>"
            "<table:table table:name=\"%4\" table:style-name=\"taShown\" "
            "table:print-ranges=\"'%4'.A1:'%4'.C3\">%1</table:table>"
            "<table:table table:name=\"隐藏\" table:style-name=\"taHidden\">%2</table:table>"
            "<table:table table:name=\"宽表\" table:style-name=\"taFit\">%3</table:table>"
            "<table:table table:name=\"空表\" table:style-name=\"taShown\"><table:table-row>"
            "<table:table-cell/></table:table-row></table:table>"
            "</office:spreadsheet></office:body></office:document>\n")
            .arg(report, cellRow({hidden}), wide, QStringLiteral("报表"));
    return writeText(path, xml);
}

// A workbook of one empty visible sheet and a hidden one holding text: nothing to print.
inline bool writeFlatEmptyWorkbook(const QString& path) {
    const QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "office:version=\"1.2\" "
        "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
        "<office:automatic-styles><style:style style:name=\"taHidden\" style:family=\"table\">"
        "<style:table-properties table:display=\"false\"/></style:style>"
        "</office:automatic-styles><office:body><office:spreadsheet>"
        "<table:table table:name=\"一\"><table:table-row><table:table-cell/></table:table-row>"
        "</table:table><table:table table:name=\"二\" table:style-name=\"taHidden\">"
        "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>藏</text:p>"
        "</table:table-cell></table:table-row></table:table>"
        "</office:spreadsheet></office:body></office:document>\n");
    return writeText(path, xml);
}

struct SlideContent {
    QString text;
    QString font;  // the family of the slide's text, Latin and Chinese alike
    QString notes;
    bool hidden = false;
};

// A presentation of one text box per slide, at Impress's default slide size (28 x 15.75 cm).
inline bool writeFlatSlides(const QString& path, const QList<SlideContent>& slides) {
    QString pages;
    QString styles;
    for (int i = 0; i < slides.size(); ++i) {
        const SlideContent& s = slides[i];
        const QString font = s.font.toHtmlEscaped();
        styles +=
            QStringLiteral(
                "<style:style style:name=\"T%1\" style:family=\"text\"><style:text-properties "
                "fo:font-family=\"%2\" style:font-family-asian=\"%2\" fo:font-size=\"28pt\" "
                "style:font-size-asian=\"28pt\" fo:language=\"zh\" fo:country=\"CN\" "
                "style:language-asian=\"zh\" style:country-asian=\"CN\"/></style:style>")
                .arg(i)
                .arg(font);
        QString notes;
        if (!s.notes.isEmpty()) {
            notes = QStringLiteral(
                        "<presentation:notes><draw:frame presentation:class=\"notes\" "
                        "svg:x=\"2cm\" svg:y=\"14cm\" svg:width=\"17cm\" svg:height=\"8cm\">"
                        "<draw:text-box><text:p>%1</text:p></draw:text-box></draw:frame>"
                        "</presentation:notes>")
                        .arg(s.notes.toHtmlEscaped());
        }
        pages += QStringLiteral(
                     "<draw:page draw:name=\"p%1\" draw:master-page-name=\"Default\" "
                     "draw:style-name=\"%2\"><draw:frame svg:x=\"2cm\" svg:y=\"3cm\" "
                     "svg:width=\"21cm\" svg:height=\"4cm\"><draw:text-box><text:p><text:span "
                     "text:style-name=\"T%1\">%3</text:span></text:p></draw:text-box></draw:frame>"
                     "%4</draw:page>")
                     .arg(i)
                     .arg(s.hidden ? QStringLiteral("dpHidden") : QStringLiteral("dpShown"))
                     .arg(s.text.toHtmlEscaped(), notes);
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
            "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
            "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
            "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\" "
            "office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.presentation\">"
            "<office:automatic-styles>"
            "<style:page-layout style:name=\"PM1\"><style:page-layout-properties "
            "fo:page-width=\"25.4cm\" fo:page-height=\"19.05cm\" fo:margin-top=\"0cm\" "
            "fo:margin-bottom=\"0cm\" fo:margin-left=\"0cm\" fo:margin-right=\"0cm\" "
            "style:print-orientation=\"landscape\"/></style:page-layout>"
            "<style:style style:name=\"dpShown\" style:family=\"drawing-page\">"
            "<style:drawing-page-properties presentation:visibility=\"visible\"/></style:style>"
            "<style:style style:name=\"dpHidden\" style:family=\"drawing-page\">"
            "<style:drawing-page-properties presentation:visibility=\"hidden\"/></style:style>"
            "%1</office:automatic-styles>"
            "<office:master-styles><style:master-page style:name=\"Default\" "
            "style:page-layout-name=\"PM1\"/></office:master-styles>"
            "<office:body><office:presentation>%2</office:presentation></office:body>"
            "</office:document>\n")
            .arg(styles, pages);
    return writeText(path, xml);
}

// Writes `source` as `out` in one of the application's own save formats, through the
// Excel (workbook) or PowerPoint (presentation) server attached to the session's instance.
inline bool saveThroughExcel(const QString& source, const QString& out, int code) {
    OleObject excel;
    if (excel.connectToObject(QStringLiteral("Excel.Application")) != 0) return false;
    excel.call({"workbooks", "open"}, {source});
    excel.call({"activeworkbook", "saveas"}, {out, code});
    excel.call({"quit"});
    return QFile::exists(out);
}

inline bool saveThroughPowerPoint(const QString& source, const QString& out, int code) {
    OleObject ppt;
    if (ppt.connectToObject(QStringLiteral("PowerPoint.Application")) != 0) return false;
    ppt.call({"presentations", "open"}, {source});
    ppt.call({"activepresentation", "saveas"}, {out, code});
    ppt.call({"quit"});
    return QFile::exists(out);
}

}  // namespace quorv::testing
