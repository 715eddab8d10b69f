#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quorv::testing {

using Table = QList<QStringList>;

// RFC 4180 reader.
inline Table parseCsv(const QString& text) {
    Table t;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.append(field);
            field.clear();
        } else if (c == '\r') {
        } else if (c == '\n') {
            row.append(field);
            t.append(row);
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return t;
}

}  // namespace quorv::testing
