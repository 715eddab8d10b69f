#include "core/filenames.h"

#include <QFileInfo>

namespace quorv {

QString qfilehz(const QString& yfilename) {
    const qsizetype dot = yfilename.lastIndexOf(QLatin1Char('.'));
    return yfilename.mid(dot + 1).toLower();
}

QString filegszh(const QString& yfilename, const QString& nfilehzm, const QString& npath) {
    const qsizetype slash = yfilename.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = yfilename.lastIndexOf(QLatin1Char('.'));
    QString base = yfilename.mid(slash + 1);
    if (dot > slash) {
        base.truncate(dot - slash);  // keeps the dot before the old extension
    } else {
        base += QLatin1Char('.');
    }
    return npath + base + nfilehzm;
}

QString fzmccf(const QString& fpath, const QString& fname) {
    QString candidate = fname;
    // A dangling symlink or any other entry still takes the name: only a free name is
    // safe to write.
    auto taken = [&](const QString& name) {
        QFileInfo fi(fpath + name);
        return fi.exists() || fi.isSymLink();
    };
    for (quint64 n = 0; taken(candidate); ++n) candidate = QString::number(n) + fname;
    return candidate;
}

bool samePath(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

QString trimBlanks(QStringView text, QStringView blanks) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blanks.contains(text[begin])) ++begin;
    while (end > begin && blanks.contains(text[end - 1])) --end;
    return text.mid(begin, end - begin).toString();
}

}  // namespace quorv
