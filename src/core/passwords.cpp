#include "core/passwords.h"

#include "core/defaults.h"

namespace quorv {

namespace {

const QLatin1String kPrefix("q1:");

// A fixed xorshift stream: the same bytes every time, so that any build reads what
// another wrote. It hides the text; it is no secret.
QByteArray mixed(QByteArray bytes) {
    quint32 state = 0x51564E45u;
    for (char& c : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(uchar(c) ^ uchar(state >> 24));
    }
    return bytes;
}

}  // namespace

QString encodeOpenPasswords(const QStringList& passwords) {
    if (passwords.isEmpty()) return QString();
    const QByteArray plain = passwords.join(QLatin1Char('\n')).toUtf8();
    return kPrefix + QString::fromLatin1(mixed(plain).toBase64());
}

QStringList decodeOpenPasswords(const QString& stored) {
    const QString text = stored.trimmed();
    if (!text.startsWith(kPrefix)) return {};
    const auto decoded = QByteArray::fromBase64Encoding(text.mid(kPrefix.size()).toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return {};
    return openPasswordLines(QString::fromUtf8(mixed(*decoded)));
}

QStringList openPasswordLines(const QString& text) {
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (!line.isEmpty()) lines << line;
    }
    return lines;
}

QStringList readOpenPasswords(const QString& profile) {
    return decodeOpenPasswords(readSetting(profile, Key::Dkmm, Reader::BatchDriver));
}

int writeOpenPasswords(const QString& profile, const QStringList& passwords) {
    return writeSetting(profile, Key::Dkmm, encodeOpenPasswords(passwords));
}

}  // namespace quorv
