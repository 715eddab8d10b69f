// The file-name helpers on arbitrary names: no crash, and the results keep their shape.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "core/filenames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString all =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype cut = all.indexOf(QChar(0));
    const QString name = cut < 0 ? all : all.left(cut);
    const QString ext = cut < 0 ? QStringLiteral("pdf") : all.mid(cut + 1);

    const QString e = quorv::qfilehz(name);
    if (e.contains(QLatin1Char('.'))) abort();
    if (e != e.toLower()) abort();

    const QString out = quorv::filegszh(name, ext, QStringLiteral("/out/"));
    if (!out.startsWith(QStringLiteral("/out/")) || !out.endsWith(ext)) abort();
    if (!out.endsWith(QLatin1Char('.') + ext)) abort();

    // fzmccf against a real folder that holds the plain name already.
    static const QString dir = [] {
        QString d = QDir::tempPath() + QStringLiteral("/quorv-fuzz-names-%1/").arg(getpid());
        QDir().mkpath(d);
        return d;
    }();
    const QString file = name.section(QLatin1Char('/'), -1);
    if (file.isEmpty() || file == QLatin1String(".") || file == QLatin1String("..")) return 0;
    if (file.size() > 200) return 0;
    QFile taken(dir + file);
    if (!taken.open(QIODevice::WriteOnly)) return 0;
    taken.close();
    const QString free = quorv::fzmccf(dir, file);
    if (free != QStringLiteral("0") + file) abort();
    taken.remove();
    if (quorv::fzmccf(dir, file) != file) abort();
    return 0;
}
