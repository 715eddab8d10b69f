#pragma once

// Outputs made byte by byte for the tests of the output checks and for the fake office:
// the smallest files a reader takes for a PDF, an XPS package and an SWF, so that a test
// can also cut or bend them.

#include <zlib.h>

#include <QByteArray>
#include <QList>
#include <QPair>

namespace quorv::testing {

// A PDF of `pages` empty pages (0: a page tree without any), with a correct
// cross-reference table.
inline QByteArray pdfBytes(int pages) {
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>"};
    QByteArray kids;
    for (int i = 0; i < pages; ++i) kids += QByteArray::number(3 + i) + " 0 R ";
    objects << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>";
    for (int i = 0; i < pages; ++i)
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>";
    QByteArray out = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype at : offsets)
        out += QByteArray::number(at).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

inline void putLe(QByteArray& out, quint64 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

// A zip archive of stored members, as written in this order.
inline QByteArray zipBytes(const QList<QPair<QByteArray, QByteArray>>& members) {
    QByteArray out;
    QByteArray directory;
    for (const auto& [name, data] : members) {
        const quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
        const qsizetype local = out.size();
        auto common = [&](QByteArray& h) {
            putLe(h, 20, 2);  // version needed
            putLe(h, 0, 2);   // flags
            putLe(h, 0, 2);   // stored
            putLe(h, 0, 4);   // time and date
            putLe(h, crc, 4);
            putLe(h, quint64(data.size()), 4);
            putLe(h, quint64(data.size()), 4);
            putLe(h, quint64(name.size()), 2);
            putLe(h, 0, 2);  // extra
        };
        putLe(out, 0x04034b50, 4);
        common(out);
        out += name + data;
        putLe(directory, 0x02014b50, 4);
        putLe(directory, 20, 2);  // made by
        common(directory);
        putLe(directory, 0, 2);  // comment
        putLe(directory, 0, 2);  // disk
        putLe(directory, 0, 2);  // internal attributes
        putLe(directory, 0, 4);  // external attributes
        putLe(directory, quint64(local), 4);
        directory += name;
    }
    const qsizetype at = out.size();
    out += directory;
    putLe(out, 0x06054b50, 4);
    putLe(out, 0, 4);  // disks
    putLe(out, quint64(members.size()), 2);
    putLe(out, quint64(members.size()), 2);
    putLe(out, quint64(directory.size()), 4);
    putLe(out, quint64(at), 4);
    putLe(out, 0, 2);  // comment
    return out;
}

// An XPS package of one page, as Ghostscript lays it out; without its fixed document
// sequence when `sequence` is false.
inline QByteArray xpsBytes(bool sequence = true) {
    QList<QPair<QByteArray, QByteArray>> members;
    if (sequence) {
        members << qMakePair(QByteArray("FixedDocumentSequence.fdseq"),
                             QByteArray("<FixedDocumentSequence xmlns=\"http://schemas.microsoft."
                                        "com/xps/2005/06\"><DocumentReference "
                                        "Source=\"Documents/1/FixedDocument.fdoc\"/>"
                                        "</FixedDocumentSequence>"));
    }
    members << qMakePair(QByteArray("[Content_Types].xml"), QByteArray("<Types/>"))
            << qMakePair(QByteArray("Documents/1/FixedDocument.fdoc"),
                         QByteArray("<FixedDocument><PageContent Source=\"Pages/1.fpage\"/>"
                                    "</FixedDocument>"))
            << qMakePair(QByteArray("_rels/.rels"), QByteArray("<Relationships/>"))
            << qMakePair(QByteArray("Documents/1/Pages/1.fpage"),
                         QByteArray("<FixedPage Width=\"816\" Height=\"1056\"/>"));
    return zipBytes(members);
}

// An SWF of `frames` empty frames, zlib-compressed (CWS) or not (FWS).
inline QByteArray swfBytes(bool compressed, int frames) {
    QByteArray body;
    // The stage, 4000 twips square, in 15-bit fields.
    body += QByteArray::fromHex("780001f4000007d000");
    putLe(body, 12 << 8, 2);  // 12 frames a second
    putLe(body, quint64(frames), 2);
    for (int i = 0; i < frames; ++i) putLe(body, 1 << 6, 2);  // ShowFrame
    putLe(body, 0, 2);                                        // End
    QByteArray out(compressed ? "CWS" : "FWS");
    out += char(10);
    putLe(out, quint64(8 + body.size()), 4);
    if (!compressed) return out + body;
    QByteArray packed(qsizetype(compressBound(uLong(body.size()))), Qt::Uninitialized);
    uLongf n = uLongf(packed.size());
    compress(reinterpret_cast<Bytef*>(packed.data()), &n,
             reinterpret_cast<const Bytef*>(body.constData()), uLong(body.size()));
    packed.truncate(qsizetype(n));
    return out + packed;
}

}  // namespace quorv::testing
