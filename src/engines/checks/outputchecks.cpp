#include "engines/checks/outputchecks.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <zlib.h>

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "convert/docbytes.h"
#include "engines/pdf/pdflock.h"

namespace quorv::checks {

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

quint32 u32(const uchar* p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The frame count of an SWF body (what follows the 8-byte header): a rectangle of 5-bit
// sized fields, the frame rate, then the count. Nothing when the body is shorter.
std::optional<int> frameCount(const uchar* body, qsizetype size) {
    if (size < 1) return std::nullopt;
    const int bits = body[0] >> 3;
    const qsizetype rect = (5 + 4 * bits + 7) / 8;
    if (size < rect + 4) return std::nullopt;
    return int(body[rect + 2]) | int(body[rect + 3]) << 8;
}

// The text of every element named `element` (whatever its namespace prefix), or the value
// of its `attribute`, in order; nothing when the XML does not read to its end.
std::optional<QStringList> xmlValues(const QByteArray& xml, QStringView element,
                                     QStringView attribute) {
    QXmlStreamReader r(xml);
    QStringList values;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement || r.name() != element) continue;
        values << (attribute.isEmpty() ? r.readElementText().trimmed()
                                       : r.attributes().value(attribute.toString()).toString());
    }
    if (r.hasError()) return std::nullopt;
    return values;
}

// A location inside the package: from its root when it starts with "/", else from `folder`.
QString packagePath(const QString& folder, const QString& loc) {
    if (loc.startsWith(QLatin1Char('/'))) return loc.mid(1);
    return folder + loc;
}

QString folderOf(const QString& member) { return member.left(member.lastIndexOf('/') + 1); }

// Encryption that poppler opened with a password, and the key qpdf reads from it. The
// outputs of a run share their encryption, so poppler's own key derivation (AES-256 makes
// it slow on purpose, and poppler pays it three times per opening) is needed once: a file
// with the same entries and that password opens as that one did, and qpdf proves with the
// key alone that the rest of it reads.
struct Proven {
    QString password;
    pdf::PdfLock lock;
};

std::mutex provenMutex;
std::vector<Proven> proven;  // the last proven at the back

std::optional<int> pagesAsProven(const QString& path, const QString& password) {
    std::vector<pdf::PdfLock> locks;
    {
        const std::lock_guard<std::mutex> lock(provenMutex);
        for (auto it = proven.rbegin(); it != proven.rend(); ++it) {
            if (it->password == password) locks.push_back(it->lock);
        }
    }
    for (const pdf::PdfLock& lock : locks) {
        if (const std::optional<int> pages = pdf::pagesUnderLock(path, lock)) return pages;
    }
    return std::nullopt;
}

void rememberProven(const QString& path, const QString& password) {
    std::optional<pdf::PdfLock> lock = pdf::readPdfLock(path, password);
    if (!lock) return;
    const std::lock_guard<std::mutex> guard(provenMutex);
    for (const Proven& p : proven) {
        if (p.password == password && p.lock.entries == lock->entries) return;
    }
    constexpr size_t kKept = 4;
    if (proven.size() == kKept) proven.erase(proven.begin());
    proven.push_back({password, std::move(*lock)});
}

}  // namespace

bool ofdReads(const QString& path, std::optional<int> pages) {
    if (pages && *pages < 1) return false;
    const QByteArray bytes = readAll(path);
    bool whole = false;
    const QStringList names = zipMemberNames(bytes, &whole);
    if (!whole) return false;
    const std::optional<QByteArray> ofd = zipMember(bytes, QStringLiteral("OFD.xml"));
    const std::optional<QStringList> roots = ofd ? xmlValues(*ofd, u"DocRoot", {}) : std::nullopt;
    if (!roots || roots->isEmpty()) return false;
    const QString docPath = packagePath(QString(), roots->first());
    const std::optional<QByteArray> doc = zipMember(bytes, docPath);
    const std::optional<QStringList> locs =
        doc ? xmlValues(*doc, u"Page", u"BaseLoc") : std::nullopt;
    if (!locs || locs->isEmpty() || (pages && locs->size() != *pages)) return false;
    // A page whose content is missing does not open in a reader.
    for (const QString& loc : *locs) {
        QString content = packagePath(folderOf(docPath), loc);
        if (!content.endsWith(QLatin1String(".xml"))) content += QStringLiteral("/Content.xml");
        if (!names.contains(content)) return false;
    }
    return true;
}

int pdfPageCount(const QString& path, const QString& openPassword) {
    // A broken file is an answer here, not a message on standard error. One document
    // stays open for the program's life (never closed, so that no order of ending matters):
    // poppler builds its global tables when the first document opens and drops them when
    // the last one closes, which would cost most of each check.
    static const poppler::document* const kept = [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
        static const char kEmpty[] =
            "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Type "
            "/Pages /Kids [] /Count 0 >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n";
        return poppler::document::load_from_raw_data(kEmpty, int(sizeof kEmpty - 1));
    }();
    (void)kept;
    if (const std::optional<int> pages = pagesAsProven(path, openPassword)) return *pages;
    const std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(
        QFile::encodeName(path).toStdString(), std::string(), openPassword.toStdString()));
    if (!doc || doc->is_locked()) return 0;
    const int pages = doc->pages();
    if (pages > 0 && doc->is_encrypted()) rememberProven(path, openPassword);
    return pages;
}

bool pdfReads(const QString& path, const QString& openPassword) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    // poppler rebuilds the cross-reference table of a file that was cut short and opens
    // what it finds; a whole file ends with the marker (within its last 1024 bytes).
    const qint64 size = f.size();
    if (!f.seek(std::max<qint64>(0, size - 1024))) return false;
    if (!f.read(1024).contains("%%EOF")) return false;
    f.close();
    return pdfPageCount(path, openPassword) > 0;
}

int pdfPageCount(const QString& path) { return pdfPageCount(path, QString()); }

bool pdfReads(const QString& path) { return pdfReads(path, QString()); }

bool xpsReads(const QString& path) {
    bool whole = false;
    const QStringList names = zipMemberNames(readAll(path), &whole);
    auto has = [&](const char* ext) {
        return std::any_of(names.begin(), names.end(), [ext](const QString& n) {
            return n.endsWith(QLatin1String(ext), Qt::CaseInsensitive);
        });
    };
    return whole && has(".fdseq") && has(".fpage");
}

bool swfReads(const QString& path) {
    const QByteArray bytes = readAll(path);
    if (bytes.size() < 8) return false;
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData());
    const quint32 length = u32(b + 4);  // of the whole file, uncompressed
    if (b[1] != 'W' || b[2] != 'S' || b[3] == 0 || length < 8) return false;
    if (b[0] == 'F') {
        if (quint64(bytes.size()) < length) return false;
        const std::optional<int> frames = frameCount(b + 8, qsizetype(length) - 8);
        return frames && *frames > 0;
    }
    if (b[0] != 'C') return false;
    // Inflated whole: a file cut short or damaged ends its stream early or never.
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(b + 8);
    z.avail_in = uInt(bytes.size() - 8);
    uchar head[32];
    uchar scratch[64 * 1024];
    z.next_out = head;
    z.avail_out = sizeof head;
    int status = Z_OK;
    while (status == Z_OK) {
        if (z.avail_out == 0) {
            z.next_out = scratch;
            z.avail_out = sizeof scratch;
        }
        status = inflate(&z, Z_NO_FLUSH);
    }
    const quint64 inflated = z.total_out;
    inflateEnd(&z);
    if (status != Z_STREAM_END || inflated + 8 != length) return false;
    const std::optional<int> frames =
        frameCount(head, qsizetype(std::min<quint64>(inflated, sizeof head)));
    return frames && *frames > 0;
}

bool outputReads(const QString& output, OutputKind kind, const QString& source,
                 const QString& openPassword) {
    switch (kind) {
        case OutputKind::Pdf:
            return pdfReads(output, openPassword);
        case OutputKind::Xps:
            return xpsReads(output);
        case OutputKind::Swf:
            return swfReads(output);
        case OutputKind::Ofd: {
            // A source that is no PDF (a resumed batch checks against the document, its PDF
            // long gone) leaves only the package itself to check.
            const int pages = pdfPageCount(source);
            return pages > 0 ? ofdReads(output, pages) : ofdReads(output);
        }
        case OutputKind::Text:
            return QFileInfo(output).size() > 0 || QFileInfo(source).size() == 0;
    }
    return false;
}

}  // namespace quorv::checks
