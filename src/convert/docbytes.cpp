#include "convert/docbytes.h"

#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace quorv {

namespace {

quint16 u16(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
quint32 u32(const uchar* p) { return quint32(u16(p)) | (quint32(u16(p + 2)) << 16); }
quint64 u64(const uchar* p) { return quint64(u32(p)) | (quint64(u32(p + 4)) << 32); }

// A view of the file's bytes with bounds-checked reads.
struct Bytes {
    const uchar* data = nullptr;
    quint64 size = 0;
    bool has(quint64 at, quint64 n) const { return at <= size && n <= size - at; }
};

// ---- zip ----

struct ZipEntry {
    QString name;
    quint16 method = 0;
    quint64 packedSize = 0;
    quint64 size = 0;
    quint64 local = 0;  // offset of its local header
};

std::optional<QList<ZipEntry>> zipEntries(const Bytes& b) {
    constexpr quint64 kEnd = 22;  // end of central directory record without comment
    if (b.size < kEnd) return std::nullopt;
    // The end record sits in the last 64 KiB (its comment is at most that long).
    quint64 end = b.size - kEnd;
    const quint64 lowest = end > 0xFFFF ? end - 0xFFFF : 0;
    while (u32(b.data + end) != 0x06054b50u) {
        if (end == lowest) return std::nullopt;
        --end;
    }
    quint64 count = u16(b.data + end + 10);
    quint64 dirSize = u32(b.data + end + 12);
    quint64 dirAt = u32(b.data + end + 16);
    if (dirAt == 0xFFFFFFFFu || count == 0xFFFF) {
        // Zip64: a locator just before the end record names the larger record.
        if (end < 20 || u32(b.data + end - 20) != 0x07064b50u) return std::nullopt;
        const quint64 at = u64(b.data + end - 20 + 8);
        if (!b.has(at, 56) || u32(b.data + at) != 0x06064b50u) return std::nullopt;
        count = u64(b.data + at + 32);
        dirSize = u64(b.data + at + 40);
        dirAt = u64(b.data + at + 48);
    }
    if (!b.has(dirAt, dirSize) || dirAt + dirSize > end) return std::nullopt;
    QList<ZipEntry> entries;
    quint64 at = dirAt;
    for (quint64 i = 0; i < count; ++i) {
        if (!b.has(at, 46) || u32(b.data + at) != 0x02014b50u) return std::nullopt;
        const quint64 nameLen = u16(b.data + at + 28);
        const quint64 rest = nameLen + u16(b.data + at + 30) + u16(b.data + at + 32);
        const quint64 local = u32(b.data + at + 42);
        if (!b.has(at + 46, rest) || at + 46 + rest > dirAt + dirSize) return std::nullopt;
        // Every member's own header must be where the directory says.
        if (local != 0xFFFFFFFFu && (!b.has(local, 30) || u32(b.data + local) != 0x04034b50u)) {
            return std::nullopt;
        }
        entries.append(
            {QString::fromUtf8(reinterpret_cast<const char*>(b.data + at + 46), qsizetype(nameLen)),
             u16(b.data + at + 10), u32(b.data + at + 20), u32(b.data + at + 24), local});
        at += 46 + rest;
    }
    return entries;
}

// A small member's bytes (stored or deflated), or nothing when it cannot be read whole.
std::optional<QByteArray> readMember(const Bytes& b, const ZipEntry& e) {
    constexpr quint64 kLimit = 1 << 20;  // a relationships part is a few hundred bytes
    if (e.local == 0xFFFFFFFFu || !b.has(e.local, 30) || e.size > kLimit) return std::nullopt;
    const quint64 data = e.local + 30 + u16(b.data + e.local + 26) + u16(b.data + e.local + 28);
    if (!b.has(data, e.packedSize)) return std::nullopt;
    const auto* in = b.data + data;
    if (e.method == 0) {
        if (e.packedSize != e.size) return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(in), qsizetype(e.size));
    }
    if (e.method != 8 || e.packedSize > 0xFFFFFFFFu) return std::nullopt;
    QByteArray out(qsizetype(e.size), Qt::Uninitialized);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(e.packedSize);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    const bool whole = status == Z_STREAM_END && z.total_out == e.size;
    inflateEnd(&z);
    return whole ? std::optional<QByteArray>(out) : std::nullopt;
}

// The main part the package's relationships name, as a member name ("word/b.xml").
QString officeDocumentTarget(const QByteArray& rels) {
    QXmlStreamReader xml(rels);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Relationship")) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        // Transitional and strict packages name the type with different prefixes.
        if (!a.value(QLatin1String("Type")).endsWith(QLatin1String("/officeDocument"))) continue;
        if (a.value(QLatin1String("TargetMode")) == QLatin1String("External")) continue;
        QString target = QUrl::fromPercentEncoding(a.value(QLatin1String("Target")).toUtf8());
        while (target.startsWith(QLatin1Char('/'))) target.remove(0, 1);
        if (target.startsWith(QLatin1String("./"))) target.remove(0, 2);
        return target;
    }
    return {};
}

// Whether the package's content types declare `part` a Word document's main part.
bool declaredWordMain(const QByteArray& types, const QString& part) {
    QXmlStreamReader xml(types);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Override")) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        if (a.value(QLatin1String("PartName"))
                .toString()
                .compare(QLatin1Char('/') + part, Qt::CaseInsensitive) != 0) {
            continue;
        }
        // wordprocessingml.document.main+xml, .template.main+xml, and the macro variants
        // application/vnd.ms-word.document.macroEnabled.main+xml, ...
        const auto type = a.value(QLatin1String("ContentType"));
        return (type.contains(QLatin1String("wordprocessingml")) ||
                type.contains(QLatin1String("ms-word"))) &&
               type.endsWith(QLatin1String(".main+xml"));
    }
    return false;
}

bool hasMainWordPart(const Bytes& b, const QList<ZipEntry>& entries) {
    const ZipEntry* types = nullptr;
    const ZipEntry* rels = nullptr;
    bool main = false;
    for (const ZipEntry& e : entries) {
        const QString& n = e.name;
        if (n == QLatin1String("[Content_Types].xml")) types = &e;
        if (n.compare(QLatin1String("_rels/.rels"), Qt::CaseInsensitive) == 0) rels = &e;
        // Writers name the main part word/document.xml, a few word/document2.xml.
        main = main || (n.startsWith(QLatin1String("word/document"), Qt::CaseInsensitive) &&
                        n.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) &&
                        !n.mid(5).contains(QLatin1Char('/')));
    }
    if (!types) return false;
    if (main || !rels) return main;
    // Other writers name it as they like: the package's relationships say which part it
    // is, and its content types that it is a Word document's.
    const std::optional<QByteArray> relsXml = readMember(b, *rels);
    const QString target = relsXml ? officeDocumentTarget(*relsXml) : QString();
    if (target.isEmpty()) return false;
    const bool present = std::any_of(entries.begin(), entries.end(), [&](const ZipEntry& e) {
        return e.name.compare(target, Qt::CaseInsensitive) == 0;
    });
    const std::optional<QByteArray> typesXml = present ? readMember(b, *types) : std::nullopt;
    return typesXml && declaredWordMain(*typesXml, target);
}

// ---- OLE compound file ----

class Ole {
  public:
    explicit Ole(const Bytes& b) : b_(b) {}

    bool open() {
        static const uchar kMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        if (b_.size < 512 || std::memcmp(b_.data, kMagic, 8) != 0) return false;
        const int shift = u16(b_.data + 0x1E);
        if (shift != 9 && shift != 12) return false;
        sector_ = quint64(1) << shift;
        miniCutoff_ = u32(b_.data + 0x38);
        // The sector allocation table, from the header's list and the chained list sectors.
        std::vector<quint32> fatSectors;
        for (int i = 0; i < 109; ++i) fatSectors.push_back(u32(b_.data + 0x4C + 4 * i));
        quint32 difat = u32(b_.data + 0x44);
        const quint64 perSector = sector_ / 4;
        for (quint64 guard = 0; difat < kMaxRegular && guard < sectorCount(); ++guard) {
            const uchar* s = sectorData(difat);
            if (!s) return false;
            for (quint64 i = 0; i + 1 < perSector; ++i) fatSectors.push_back(u32(s + 4 * i));
            difat = u32(s + sector_ - 4);
        }
        for (quint32 fs : fatSectors) {
            if (fs >= kMaxRegular) continue;
            const uchar* s = sectorData(fs);
            if (!s) return false;
            for (quint64 i = 0; i < perSector; ++i) fat_.push_back(u32(s + 4 * i));
        }
        const QByteArray dir = chain(u32(b_.data + 0x30), fat_, ~quint64(0), false);
        for (qsizetype at = 0; at + 128 <= dir.size(); at += 128) {
            const auto* e = reinterpret_cast<const uchar*>(dir.constData() + at);
            Entry entry;
            const int len = std::min<int>(u16(e + 0x40), 64);
            for (int i = 0; i + 1 < len / 2; ++i) entry.name += QChar(u16(e + 2 * i));
            entry.type = e[0x42];
            entry.start = u32(e + 0x74);
            entry.size = shift == 9 ? u32(e + 0x78) : u64(e + 0x78);
            entries_.push_back(entry);
        }
        if (entries_.empty() || entries_[0].type != 5) return false;
        return true;
    }

    bool hasStream(const QString& name) const { return find(name) != nullptr; }

    // The first `limit` bytes of a stream, or less when it is shorter or broken.
    QByteArray stream(const QString& name, quint64 limit) {
        const Entry* e = find(name);
        if (!e) return QByteArray();
        const quint64 n = std::min(e->size, limit);
        if (e->size >= miniCutoff_) return chain(e->start, fat_, n, false);
        if (miniFat_.empty()) loadMini();
        return chain(e->start, miniFat_, n, true);
    }

  private:
    static constexpr quint32 kMaxRegular = 0xFFFFFFFAu;
    struct Entry {
        QString name;
        int type = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    quint64 sectorCount() const { return b_.size / sector_; }

    const uchar* sectorData(quint32 n) const {
        const quint64 at = (quint64(n) + 1) * sector_;
        return b_.has(at, sector_) ? b_.data + at : nullptr;
    }

    const Entry* find(const QString& name) const {
        for (const Entry& e : entries_) {
            if (e.type == 2 && e.name.compare(name, Qt::CaseInsensitive) == 0) return &e;
        }
        return nullptr;
    }

    void loadMini() {
        const QByteArray table = chain(u32(b_.data + 0x3C), fat_, ~quint64(0), false);
        for (qsizetype i = 0; i + 4 <= table.size(); i += 4) {
            miniFat_.push_back(u32(reinterpret_cast<const uchar*>(table.constData() + i)));
        }
        miniStream_ = chain(entries_[0].start, fat_, entries_[0].size, false);
    }

    // Follows a chain of regular or mini sectors, at most `limit` bytes and never round a
    // loop.
    QByteArray chain(quint32 start, const std::vector<quint32>& table, quint64 limit, bool mini) {
        QByteArray out;
        const quint64 size = mini ? 64 : sector_;
        quint32 s = start;
        for (quint64 steps = 0; s < kMaxRegular && quint64(out.size()) < limit; ++steps) {
            if (steps > table.size()) break;
            const char* data = nullptr;
            if (mini) {
                const quint64 at = quint64(s) * 64;
                if (at + 64 > quint64(miniStream_.size())) break;
                data = miniStream_.constData() + at;
            } else {
                const uchar* p = sectorData(s);
                if (!p) break;
                data = reinterpret_cast<const char*>(p);
            }
            out.append(data, qsizetype(std::min(size, limit - quint64(out.size()))));
            if (s >= table.size()) break;
            s = table[s];
        }
        return out;
    }

    Bytes b_;
    quint64 sector_ = 512;
    quint64 miniCutoff_ = 4096;
    std::vector<quint32> fat_;
    std::vector<quint32> miniFat_;
    QByteArray miniStream_;
    std::vector<Entry> entries_;
};

// The Word header's flags word: bit 8 encrypted (RC4 or XOR obfuscation alike).
bool wordEncrypted(Ole& ole) {
    const QByteArray fib = ole.stream(QStringLiteral("WordDocument"), 12);
    if (fib.size() < 12 || u16(reinterpret_cast<const uchar*>(fib.constData())) != 0xA5EC) {
        return false;
    }
    return (u16(reinterpret_cast<const uchar*>(fib.constData()) + 10) & 0x0100) != 0;
}

// A FILEPASS record in the workbook's first part, before its end-of-file record.
bool workbookEncrypted(Ole& ole) {
    QByteArray book = ole.stream(QStringLiteral("Workbook"), 1 << 16);
    if (book.isEmpty()) book = ole.stream(QStringLiteral("Book"), 1 << 16);
    const auto* p = reinterpret_cast<const uchar*>(book.constData());
    for (qsizetype at = 0; at + 4 <= book.size();) {
        const quint16 type = u16(p + at);
        if (type == 0x002F) return true;
        if (type == 0x000A) return false;
        at += 4 + u16(p + at + 2);
    }
    return false;
}

// ---- kinds ----

DocKind kindOfContentType(QStringView type) {
    // The main parts' types: wordprocessingml.document.main+xml, ms-excel.sheet.macroEnabled
    // .main+xml, presentationml.slideshow.main+xml, ...
    if (!type.endsWith(QLatin1String(".main+xml"))) return DocKind::Unknown;
    if (type.contains(QLatin1String("wordprocessingml")) ||
        type.contains(QLatin1String("ms-word"))) {
        return DocKind::Word;
    }
    if (type.contains(QLatin1String("spreadsheetml")) || type.contains(QLatin1String("ms-excel"))) {
        return DocKind::Excel;
    }
    if (type.contains(QLatin1String("presentationml")) ||
        type.contains(QLatin1String("ms-powerpoint"))) {
        return DocKind::PowerPoint;
    }
    return DocKind::Unknown;
}

// An OpenDocument (or the older StarOffice XML) mimetype.
DocKind kindOfMimetype(QStringView type) {
    static const struct {
        const char* prefix;
        DocKind kind;
    } kinds[] = {
        {"application/vnd.oasis.opendocument.text", DocKind::Word},
        {"application/vnd.oasis.opendocument.spreadsheet", DocKind::Excel},
        {"application/vnd.oasis.opendocument.presentation", DocKind::PowerPoint},
        {"application/vnd.sun.xml.writer", DocKind::Word},
        {"application/vnd.sun.xml.calc", DocKind::Excel},
        {"application/vnd.sun.xml.impress", DocKind::PowerPoint},
    };
    for (const auto& k : kinds) {
        if (type.startsWith(QLatin1String(k.prefix))) return k.kind;
    }
    return DocKind::Unknown;
}

// The content type the package declares for `part`.
QString declaredType(const QByteArray& types, const QString& part) {
    QXmlStreamReader xml(types);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Override")) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        if (a.value(QLatin1String("PartName"))
                .toString()
                .compare(QLatin1Char('/') + part, Qt::CaseInsensitive) == 0) {
            return a.value(QLatin1String("ContentType")).toString();
        }
    }
    return QString();
}

DocKind zipKind(const Bytes& b, const QList<ZipEntry>& entries) {
    const ZipEntry* types = nullptr;
    const ZipEntry* rels = nullptr;
    for (const ZipEntry& e : entries) {
        if (e.name == QLatin1String("mimetype")) {
            const std::optional<QByteArray> mime = readMember(b, e);
            if (mime) return kindOfMimetype(QString::fromLatin1(mime->trimmed()));
        }
        if (e.name == QLatin1String("[Content_Types].xml")) types = &e;
        if (e.name.compare(QLatin1String("_rels/.rels"), Qt::CaseInsensitive) == 0) rels = &e;
    }
    if (!types || !rels) return DocKind::Unknown;
    const std::optional<QByteArray> relsXml = readMember(b, *rels);
    const QString target = relsXml ? officeDocumentTarget(*relsXml) : QString();
    const std::optional<QByteArray> typesXml = readMember(b, *types);
    if (target.isEmpty() || !typesXml) return DocKind::Unknown;
    return kindOfContentType(declaredType(*typesXml, target));
}

DocKind oleKind(Ole& ole) {
    if (ole.hasStream(QStringLiteral("WordDocument"))) return DocKind::Word;
    if (ole.hasStream(QStringLiteral("Workbook")) || ole.hasStream(QStringLiteral("Book"))) {
        return DocKind::Excel;
    }
    if (ole.hasStream(QStringLiteral("PowerPoint Document"))) return DocKind::PowerPoint;
    // A Microsoft Works word-processor file (4.x to 9): its text lives in MatOST.
    if (ole.hasStream(QStringLiteral("MatOST"))) return DocKind::Word;
    return DocKind::Unknown;
}

// RTF, web pages (HTML, and MHT as Word and Excel save them) and the XML documents of
// Office 2003 and flat OpenDocument, from the file's first bytes. A web page is Excel's when
// it says so or when its name is a workbook's: Calc opens its tables as sheets.
DocKind textKind(const QByteArray& head, DocKind byName) {
    QByteArray t = head;
    if (t.startsWith("\xEF\xBB\xBF")) t.remove(0, 3);
    t = t.trimmed();
    if (t.startsWith("{\\rtf")) return DocKind::Word;
    const QByteArray lower = t.toLower();
    const bool excelSays = lower.contains("progid=\"excel.sheet\"") ||
                           lower.contains("urn:schemas-microsoft-com:office:excel");
    if (lower.startsWith("<?xml")) {
        if (lower.contains("progid=\"excel.sheet\"")) return DocKind::Excel;
        if (lower.contains("progid=\"word.document\"")) return DocKind::Word;
        const qsizetype at = lower.indexOf("office:mimetype=\"");
        if (at >= 0) {
            const qsizetype from = at + 17;
            const qsizetype end = lower.indexOf('"', from);
            if (end > from) return kindOfMimetype(QString::fromLatin1(lower.mid(from, end - from)));
        }
    }
    const bool mht = (lower.startsWith("mime-version:") || lower.contains("\nmime-version:")) &&
                     lower.contains("multipart/related");
    const bool web = mht || lower.startsWith("<!doctype html") || lower.contains("<html");
    if (!web) return DocKind::Unknown;
    return excelSays || byName == DocKind::Excel ? DocKind::Excel : DocKind::Word;
}

DocKind bytesKind(const Bytes& b, const QByteArray& head, DocKind byName) {
    Ole ole(b);
    if (ole.open()) return oleKind(ole);
    if (head.startsWith("PK\x03\x04")) {
        const std::optional<QList<ZipEntry>> entries = zipEntries(b);
        return entries ? zipKind(b, *entries) : DocKind::Unknown;
    }
    return textKind(head, byName);
}

}  // namespace

DocKind kindByExtension(const QString& path) {
    static const QStringList word{"doc", "docx", "docm", "dot", "dotx", "dotm", "rtf",
                                  "odt", "ott",  "fodt", "wps", "wpt",  "sxw"};
    static const QStringList excel{"xls",  "xlsx", "xlsm", "xlsb", "xlt", "xltx", "xltm",
                                   "xlam", "ods",  "ots",  "fods", "et",  "ett",  "sxc"};
    static const QStringList powerPoint{"ppt",  "pptx", "pptm", "pps",  "ppsx",
                                        "ppsm", "pot",  "potx", "potm", "odp",
                                        "otp",  "fodp", "dps",  "dpt",  "sxi"};
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext.isEmpty()) return DocKind::Unknown;
    if (word.contains(ext)) return DocKind::Word;
    if (excel.contains(ext)) return DocKind::Excel;
    if (powerPoint.contains(ext)) return DocKind::PowerPoint;
    return DocKind::Unknown;
}

DocKind contentKind(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return DocKind::Unknown;
    const qint64 size = f.size();
    if (size <= 0) return DocKind::Unknown;
    Bytes b;
    b.size = quint64(size);
    b.data = f.map(0, size);
    if (!b.data) return DocKind::Unknown;
    const QByteArray head(reinterpret_cast<const char*>(b.data),
                          qsizetype(std::min<quint64>(b.size, 4096)));
    return bytesKind(b, head, kindByExtension(path));
}

DocKind documentKind(const QString& path) {
    const DocKind byBytes = contentKind(path);
    return byBytes != DocKind::Unknown ? byBytes : kindByExtension(path);
}

QStringList zipMemberNames(const QByteArray& bytes, bool* ok) {
    const Bytes b{reinterpret_cast<const uchar*>(bytes.constData()), quint64(bytes.size())};
    const std::optional<QList<ZipEntry>> entries = zipEntries(b);
    if (ok) *ok = entries.has_value();
    QStringList names;
    for (const ZipEntry& e : entries.value_or(QList<ZipEntry>())) names << e.name;
    return names;
}

std::optional<QByteArray> zipMember(const QByteArray& bytes, const QString& name) {
    const Bytes b{reinterpret_cast<const uchar*>(bytes.constData()), quint64(bytes.size())};
    const std::optional<QList<ZipEntry>> entries = zipEntries(b);
    if (!entries) return std::nullopt;
    for (const ZipEntry& e : *entries) {
        if (e.name == name) return readMember(b, e);
    }
    return std::nullopt;
}

FailReason documentBytesProblem(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    const bool wordBinary = ext == QLatin1String("doc") || ext == QLatin1String("dot");
    const bool excelBinary = ext == QLatin1String("xls") || ext == QLatin1String("xlt");
    const bool wordPackage = ext == QLatin1String("docx") || ext == QLatin1String("docm") ||
                             ext == QLatin1String("dotx");
    const bool otherPackage = ext == QLatin1String("dotm") || ext == QLatin1String("xlsx") ||
                              ext == QLatin1String("xlsm") || ext == QLatin1String("xltx");
    if (!wordBinary && !excelBinary && !wordPackage && !otherPackage) return FailReason::None;

    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return FailReason::None;
    const qint64 size = f.size();
    Bytes b;
    b.size = quint64(size);
    b.data = size > 0 ? f.map(0, size) : nullptr;
    if (size > 0 && !b.data) return FailReason::None;

    Ole ole(b);
    const bool isOle = ole.open();
    if (wordBinary) return isOle && wordEncrypted(ole) ? FailReason::Password : FailReason::None;
    if (excelBinary) {
        return isOle && workbookEncrypted(ole) ? FailReason::Password : FailReason::None;
    }
    // An encrypted package is an OLE container around the zip.
    if (isOle && ole.hasStream(QStringLiteral("EncryptedPackage"))) return FailReason::Password;
    if (!wordPackage) return FailReason::None;
    // A Word 97 document under a 2007 name is a real document that LibreOffice reads.
    if (isOle && ole.hasStream(QStringLiteral("WordDocument"))) {
        return wordEncrypted(ole) ? FailReason::Password : FailReason::None;
    }
    const std::optional<QList<ZipEntry>> entries = zipEntries(b);
    return entries && hasMainWordPart(b, *entries) ? FailReason::None : FailReason::Damaged;
}

}  // namespace quorv
