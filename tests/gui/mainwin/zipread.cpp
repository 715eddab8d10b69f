#include "zipread.h"

#include <zlib.h>

#include <cstdint>

namespace quorv::testing {

namespace {

uint32_t le(const QByteArray& b, qsizetype at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}

QByteArray inflateRaw(const QByteArray& in, uint32_t size) {
    QByteArray out(static_cast<qsizetype>(size), '\0');
    z_stream s{};
    if (inflateInit2(&s, -MAX_WBITS) != Z_OK) return {};
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    s.avail_in = static_cast<uInt>(in.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = size;
    const int rc = inflate(&s, Z_FINISH);
    inflateEnd(&s);
    return rc == Z_STREAM_END ? out : QByteArray();
}

}  // namespace

QMap<QString, QByteArray> readZip(const QByteArray& zip) {
    QMap<QString, QByteArray> entries;
    const qsizetype eocd = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (eocd < 0 || eocd + 22 > zip.size()) return entries;
    const uint32_t count = le(zip, eocd + 10, 2);
    qsizetype at = le(zip, eocd + 16, 4);
    for (uint32_t i = 0; i < count; ++i) {
        if (at + 46 > zip.size() || le(zip, at, 4) != 0x02014b50) return {};
        const uint32_t method = le(zip, at + 10, 2);
        const uint32_t csize = le(zip, at + 20, 4);
        const uint32_t usize = le(zip, at + 24, 4);
        const uint32_t nlen = le(zip, at + 28, 2);
        const uint32_t elen = le(zip, at + 30, 2);
        const uint32_t clen = le(zip, at + 32, 2);
        const uint32_t local = le(zip, at + 42, 4);
        const QString name = QString::fromUtf8(zip.mid(at + 46, nlen));
        const qsizetype data = local + 30 + le(zip, local + 26, 2) + le(zip, local + 28, 2);
        const QByteArray raw = zip.mid(data, csize);
        entries[name] = method == 0 ? raw : inflateRaw(raw, usize);
        at += 46 + nlen + elen + clen;
    }
    return entries;
}

}  // namespace quorv::testing
