#pragma once

// Test documents written as flat OpenDocument XML, which LibreOffice reads directly; the
// tests turn them into .doc, .docx and .xls through the engine.

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QThread>

#include "convert/automation.h"

namespace quorv::testing {

// A text document with one page per entry of `pages`.
inline bool writeFlatText(const QString& path, const QStringList& pages) {
    QString body;
    for (int i = 0; i < pages.size(); ++i) {
        QString p = pages[i].toHtmlEscaped();
        body += i == 0 ? QStringLiteral("<text:p>%1</text:p>").arg(p)
                       : QStringLiteral("<text:p text:style-name=\"NewPage\">%1</text:p>").arg(p);
    }
    const QString xml = QStringLiteral(
                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<office:document "
                            "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                            "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                            "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:"
                            "xsl-fo-compatible:1.0\" "
                            "office:version=\"1.2\" "
                            "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
                            "<office:automatic-styles>"
                            "<style:style style:name=\"NewPage\" style:family=\"paragraph\">"
                            "<style:paragraph-properties fo:break-before=\"page\"/></style:style>"
                            "</office:automatic-styles>"
                            "<office:body><office:text>%1</office:text></office:body>"
                            "</office:document>\n")
                            .arg(body);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(xml.toUtf8()) > 0;
}

// A text document of one paragraph, `text`, carrying a review comment `remark` in its
// middle, as a reviewer leaves one.
inline bool writeFlatTextWithComment(const QString& path, const QString& text,
                                     const QString& remark) {
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
            "office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
            "<office:body><office:text><text:p>%1<office:annotation>"
            "<dc:creator>审阅人</dc:creator><dc:date>2024-03-01T09:30:00</dc:date>"
            "<text:p>%2</text:p></office:annotation> %1</text:p></office:text></office:body>"
            "</office:document>\n")
            .arg(text.toHtmlEscaped(), remark.toHtmlEscaped());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(xml.toUtf8()) > 0;
}

// A spreadsheet: each sheet is a name and the texts of its first column.
inline bool writeFlatSheets(const QString& path, const QList<QPair<QString, QStringList>>& sheets) {
    QString body;
    for (const auto& [name, cells] : sheets) {
        body += QStringLiteral("<table:table table:name=\"%1\">").arg(name.toHtmlEscaped());
        for (const QString& c : cells) {
            body += QStringLiteral(
                        "<table:table-row><table:table-cell office:value-type=\"string\">"
                        "<text:p>%1</text:p></table:table-cell></table:table-row>")
                        .arg(c.toHtmlEscaped());
        }
        body += QStringLiteral("</table:table>");
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "office:version=\"1.2\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
            "<office:body><office:spreadsheet>%1</office:spreadsheet></office:body>"
            "</office:document>\n")
            .arg(body);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(xml.toUtf8()) > 0;
}

// Writes `source` (any document the engine reads) as `out` in a Word save format (0 doc,
// 16 docx, ...) through the Word server, attached to the running session's instance.
inline bool saveThroughWord(const QString& source, const QString& out, int code) {
    OleObject word;
    if (word.connectToObject(QStringLiteral("Word.application")) != 0 &&
        word.connectToNewObject(QStringLiteral("Word.application")) != 0) {
        return false;
    }
    word.call({"documents", "open"}, {source});
    word.call({"activedocument", "saveas"}, {out, code});
    word.call({"quit"});
    return QFile::exists(out);
}

// Exports `source` as PDF through the Word server, attached to the session's instance.
inline bool exportThroughWord(const QString& source, const QString& pdf) {
    OleObject word;
    if (word.connectToObject(QStringLiteral("Word.application")) != 0) return false;
    word.call({"documents", "open"}, {source});
    word.call({"activedocument", "exportasfixedformat"}, {pdf, 17, false});
    word.call({"quit"});
    return QFile::exists(pdf);
}

// Whether a process with this id runs and is a LibreOffice (not a reused id or a zombie).
inline bool sofficeRuns(qint64 pid) {
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains("soffice")) return false;
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!statFile.open(QIODevice::ReadOnly)) return false;
    const QByteArray stat = statFile.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && close + 2 < stat.size() && stat.at(close + 2) != 'Z';
}

// Waits until that LibreOffice is gone; false when it still runs after `ms`.
inline bool waitGone(qint64 pid, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (sofficeRuns(pid)) {
        if (t.elapsed() > ms) return false;
        QThread::msleep(50);
    }
    return true;
}

}  // namespace quorv::testing
