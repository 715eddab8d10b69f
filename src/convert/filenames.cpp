#include "convert/filenames.h"

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

}  // namespace quorv
