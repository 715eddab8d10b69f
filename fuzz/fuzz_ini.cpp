// The settings reader on arbitrary bytes: it never crashes, and writing one key keeps
// every other key's value as it was read.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/ini.h"

namespace {

QString scratchFile() {
    static const QString path = [] {
        QString dir = QDir::tempPath() + QStringLiteral("/quorv-fuzz-ini-%1").arg(getpid());
        QDir().mkpath(dir);
        return dir + QStringLiteral("/tovk.ini");
    }();
    return path;
}

// Every section/key pair the text might hold, found the crude way.
std::vector<std::pair<QString, QString>> candidates(const QString& text) {
    std::vector<std::pair<QString, QString>> out;
    QString section;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.contains(QLatin1Char(']'))) {
            section = line.mid(1, line.indexOf(QLatin1Char(']')) - 1).trimmed();
        } else if (line.contains(QLatin1Char('='))) {
            out.emplace_back(section, line.left(line.indexOf(QLatin1Char('='))).trimmed());
        }
        if (out.size() > 64) break;
    }
    out.emplace_back(QStringLiteral("other"), QStringLiteral("swftprg"));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString file = scratchFile();
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
        f.write(bytes);
    }
    const auto pairs = candidates(quorv::decodeIniText(bytes));
    QStringList before;
    for (const auto& [s, k] : pairs)
        before << quorv::readIniKey(file, s, k, QStringLiteral("\x01"));

    const QString value = QStringLiteral("值 = x");
    if (quorv::writeIniKey(file, QStringLiteral("fuzz"), QStringLiteral("k"), value) != 1) abort();
    if (quorv::readIniKey(file, QStringLiteral("fuzz"), QStringLiteral("k"), {}) !=
        QStringLiteral("值 = x")) {
        abort();
    }
    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto& [s, k] = pairs[i];
        if (s.compare(QLatin1String("fuzz"), Qt::CaseInsensitive) == 0 &&
            k.compare(QLatin1String("k"), Qt::CaseInsensitive) == 0) {
            continue;
        }
        if (quorv::readIniKey(file, s, k, QStringLiteral("\x01")) != before[i]) abort();
    }
    return 0;
}
