#pragma once

// What an archive asks of a PDF/A file of level b, checked on the file's objects as qpdf
// lists them: the XMP identification, an output intent with an ICC profile, every font
// embedded, no encryption, and for part 1 a PDF 1.4 file without transparency.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

namespace quorv::testing {

namespace pdfa_detail {

inline QByteArray run(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("qpdf"), args);
    if (!p.waitForFinished(60000)) return QByteArray();
    return p.readAllStandardOutput();
}

// "12 0 R" → "obj:12 0 R", the key of that object in qpdf's listing.
inline QString key(const QJsonValue& ref) { return QStringLiteral("obj:") + ref.toString(); }

}  // namespace pdfa_detail

// The requirements `pdf` breaks for PDF/A-`part`b, one line each; empty when it meets them.
inline QStringList pdfaProblems(const QString& pdf, int part) {
    using namespace pdfa_detail;
    QStringList problems;
    const QJsonObject top =
        QJsonDocument::fromJson(
            run({QStringLiteral("--json"), QStringLiteral("--json-stream-data=none"), pdf}))
            .object();
    const QJsonArray qpdf = top.value(QStringLiteral("qpdf")).toArray();
    if (qpdf.size() < 2) return {QStringLiteral("qpdf cannot read the file")};
    const QJsonObject head = qpdf[0].toObject();
    const QJsonObject objects = qpdf[1].toObject();
    auto value = [&](const QJsonValue& ref) {
        const QJsonObject o = objects.value(key(ref)).toObject();
        return o.contains(QStringLiteral("stream"))
                   ? o.value(QStringLiteral("stream")).toObject().value(QStringLiteral("dict"))
                   : o.value(QStringLiteral("value"));
    };
    // A direct value, or the object a reference names.
    auto deref = [&](const QJsonValue& v) {
        return v.isString() && v.toString().endsWith(QStringLiteral(" R")) ? value(v) : v;
    };

    if (top.value(QStringLiteral("encrypt")).toObject().value(QStringLiteral("encrypted")).toBool())
        problems << QStringLiteral("encrypted");
    const QJsonObject trailer = objects.value(QStringLiteral("trailer"))
                                    .toObject()
                                    .value(QStringLiteral("value"))
                                    .toObject();
    if (trailer.contains(QStringLiteral("/Encrypt"))) problems << QStringLiteral("encrypted");
    const QJsonObject root = deref(trailer.value(QStringLiteral("/Root"))).toObject();

    // XMP identification.
    const QString metadata = root.value(QStringLiteral("/Metadata")).toString();
    const QString xmp = QString::fromUtf8(
        metadata.isEmpty()
            ? QByteArray()
            : run({QStringLiteral("--show-object=") + metadata.section(QLatin1Char(' '), 0, 0),
                   QStringLiteral("--filtered-stream-data"), pdf}));
    auto xmpField = [&](const char* name) {
        const QRegularExpression re(
            QStringLiteral("pdfaid:%1(?:>|=\")\\s*([^<\"\\s]+)").arg(QLatin1String(name)));
        return re.match(xmp).captured(1);
    };
    if (xmpField("part") != QString::number(part)) {
        problems << QStringLiteral("XMP pdfaid:part is \"%1\"").arg(xmpField("part"));
    }
    // Level a meets every requirement of level b.
    const QString conformance = xmpField("conformance").toUpper();
    if (conformance != QLatin1String("B") && conformance != QLatin1String("A")) {
        problems << QStringLiteral("XMP pdfaid:conformance is \"%1\"").arg(conformance);
    }

    // Output intent with an ICC profile.
    bool intent = false;
    for (const QJsonValue& i : deref(root.value(QStringLiteral("/OutputIntents"))).toArray()) {
        const QJsonObject o = deref(i).toObject();
        const QJsonObject icc = deref(o.value(QStringLiteral("/DestOutputProfile"))).toObject();
        if (o.value(QStringLiteral("/S")).toString() == QLatin1String("/GTS_PDFA1") &&
            icc.contains(QStringLiteral("/N"))) {
            intent = true;
        }
    }
    if (!intent) problems << QStringLiteral("no GTS_PDFA1 output intent with an ICC profile");

    // Every font embedded: a simple or descendant font's descriptor holds its program.
    auto embedded = [&](const QJsonObject& font) {
        const QJsonObject d = deref(font.value(QStringLiteral("/FontDescriptor"))).toObject();
        return d.contains(QStringLiteral("/FontFile")) ||
               d.contains(QStringLiteral("/FontFile2")) || d.contains(QStringLiteral("/FontFile3"));
    };
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const QJsonObject o = value(QJsonValue(it.key().mid(4))).toObject();
        if (o.value(QStringLiteral("/Type")).toString() != QLatin1String("/Font")) continue;
        const QString subtype = o.value(QStringLiteral("/Subtype")).toString();
        const QString name = o.value(QStringLiteral("/BaseFont")).toString();
        if (subtype == QLatin1String("/Type3")) continue;  // drawn by the file's own procedures
        if (subtype == QLatin1String("/Type0")) {
            for (const QJsonValue& d :
                 deref(o.value(QStringLiteral("/DescendantFonts"))).toArray()) {
                if (!embedded(deref(d).toObject()))
                    problems << QStringLiteral("font %1 not embedded").arg(name);
            }
        } else if (!embedded(o)) {
            problems << QStringLiteral("font %1 not embedded").arg(name);
        }
    }

    if (part == 1) {
        if (head.value(QStringLiteral("pdfversion")).toString() > QLatin1String("1.4")) {
            problems << QStringLiteral("PDF version %1 above 1.4")
                            .arg(head.value(QStringLiteral("pdfversion")).toString());
        }
        // Any transparency: a transparency group, a soft mask, or a constant alpha below 1.
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            const QByteArray text =
                QJsonDocument(it.value().toObject()).toJson(QJsonDocument::Compact);
            if (text.contains("\"/S\":\"/Transparency\""))
                problems << QStringLiteral("transparency group in %1").arg(it.key());
            static const QRegularExpression smask(QStringLiteral("\"/SMask\":\"(?!/None)"));
            if (smask.match(QString::fromUtf8(text)).hasMatch())
                problems << QStringLiteral("soft mask in %1").arg(it.key());
            static const QRegularExpression alpha(
                QStringLiteral("\"/(CA|ca)\":(0(\\.\\d+)?|\\.\\d+)[,}]"));
            if (alpha.match(QString::fromUtf8(text)).hasMatch())
                problems << QStringLiteral("constant alpha below 1 in %1").arg(it.key());
        }
    }
    problems.removeDuplicates();
    return problems;
}

}  // namespace quorv::testing
