#pragma once

// Word 2007 documents written by hand, as a minimal writer makes them: fonts and languages
// exactly as given (a document saved by LibreOffice would carry its own defaults).

#include <zlib.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace quorv::testing {

struct DocxPara {
    QString text;
    QString eastAsiaFont;       // the font of its Chinese characters
    QString latinFont;          // the font of its Latin characters
    QString eastAsiaLang = {};  // "zh-CN", "ja-JP", ...; empty: the run names none
    int halfPoints = 28;
    bool bold = false;
};

struct DocxOptions {
    QString mainPart = QStringLiteral("word/document.xml");
    QString relsTarget = {};  // what _rels/.rels names as the main part; empty: mainPart
    bool deflate = false;
    bool inTable = false;              // each paragraph in a cell of its own, one row a cell
    QString defaultEastAsiaLang = {};  // the document's default; empty: none
};

// Raw deflate, as zip members hold it.
inline QByteArray deflated(const QByteArray& data) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// A zip archive; members are stored, or deflated when `deflate` is set.
inline QByteArray zipArchive(const QList<QPair<QString, QByteArray>>& members,
                             bool deflate = false) {
    QByteArray out, dir;
    auto le16 = [](QByteArray& b, quint32 v) {
        b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
    };
    auto le32 = [&](QByteArray& b, quint32 v) { le16(b, v & 0xFFFF), le16(b, v >> 16); };
    for (const auto& [name, data] : members) {
        const QByteArray n = name.toUtf8();
        const QByteArray packed = deflate ? deflated(data) : data;
        const quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
        const quint32 offset = quint32(out.size());
        auto header = [&](QByteArray& b, bool central) {
            le32(b, central ? 0x02014b50 : 0x04034b50);
            if (central) le16(b, 20);
            le16(b, 20), le16(b, 0x0800), le16(b, deflate ? 8 : 0), le16(b, 0), le16(b, 0);
            le32(b, crc), le32(b, quint32(packed.size())), le32(b, quint32(data.size()));
            le16(b, quint32(n.size())), le16(b, 0);
            if (central) le16(b, 0), le16(b, 0), le16(b, 0), le32(b, 0), le32(b, offset);
            b.append(n);
        };
        header(out, false);
        out.append(packed);
        header(dir, true);
    }
    const quint32 dirAt = quint32(out.size());
    out.append(dir);
    le32(out, 0x06054b50), le16(out, 0), le16(out, 0);
    le16(out, quint32(members.size())), le16(out, quint32(members.size()));
    le32(out, quint32(dir.size())), le32(out, dirAt), le16(out, 0);
    return out;
}

inline QByteArray docxBytes(const QList<DocxPara>& paras, const DocxOptions& o = {}) {
    const QString w =
        QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
    QString body;
    for (const DocxPara& p : paras) {
        QString rpr = QStringLiteral("<w:rFonts w:ascii=\"%1\" w:hAnsi=\"%1\" w:eastAsia=\"%2\"/>")
                          .arg(p.latinFont.toHtmlEscaped(), p.eastAsiaFont.toHtmlEscaped());
        if (p.bold) rpr += QStringLiteral("<w:b/>");
        rpr += QStringLiteral("<w:sz w:val=\"%1\"/><w:szCs w:val=\"%1\"/>").arg(p.halfPoints);
        if (!p.eastAsiaLang.isEmpty()) {
            rpr += QStringLiteral("<w:lang w:eastAsia=\"%1\"/>").arg(p.eastAsiaLang);
        }
        body += QStringLiteral(
                    "<w:p><w:r><w:rPr>%1</w:rPr><w:t xml:space=\"preserve\">%2</w:t>"
                    "</w:r></w:p>")
                    .arg(rpr, p.text.toHtmlEscaped());
    }
    if (o.inTable) {
        body = QStringLiteral("<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr>") +
               body.replace(QStringLiteral("<w:p>"), QStringLiteral("<w:tr><w:tc><w:p>"))
                   .replace(QStringLiteral("</w:p>"), QStringLiteral("</w:p></w:tc></w:tr>")) +
               QStringLiteral("</w:tbl><w:p/>");
    }
    const QString doc = QStringLiteral(
                            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                            "<w:document xmlns:w=\"%1\"><w:body>%2</w:body></w:document>")
                            .arg(w, body);
    const QString lang = o.defaultEastAsiaLang.isEmpty()
                             ? QStringLiteral("<w:lang w:val=\"en-US\"/>")
                             : QStringLiteral("<w:lang w:val=\"en-US\" w:eastAsia=\"%1\"/>")
                                   .arg(o.defaultEastAsiaLang);
    const QString styles = QStringLiteral(
                               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                               "<w:styles xmlns:w=\"%1\"><w:docDefaults><w:rPrDefault><w:rPr>%2"
                               "</w:rPr></w:rPrDefault></w:docDefaults></w:styles>")
                               .arg(w, lang);
    const QString main = o.mainPart;
    const QString folder = main.section(QLatin1Char('/'), 0, -2);
    const QString file = main.section(QLatin1Char('/'), -1);
    const QString rel =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/");
    const QString types =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
            "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" "
            "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/%1\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
            "<Override PartName=\"/%2/styles.xml\" "
            "ContentType=\"application/"
            "vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
            "</Types>")
            .arg(main, folder);
    const QString rels =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"%1officeDocument\" Target=\"%2\"/></Relationships>")
            .arg(rel, o.relsTarget.isEmpty() ? main : o.relsTarget);
    const QString partRels =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"%1styles\" Target=\"styles.xml\"/></Relationships>")
            .arg(rel);
    return zipArchive(
        {{QStringLiteral("[Content_Types].xml"), types.toUtf8()},
         {QStringLiteral("_rels/.rels"), rels.toUtf8()},
         {main, doc.toUtf8()},
         {folder + QStringLiteral("/_rels/") + file + QStringLiteral(".rels"), partRels.toUtf8()},
         {folder + QStringLiteral("/styles.xml"), styles.toUtf8()}},
        o.deflate);
}

inline bool writeDocx(const QString& path, const QList<DocxPara>& paras,
                      const DocxOptions& o = {}) {
    QFile f(path);
    const QByteArray bytes = docxBytes(paras, o);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace quorv::testing
