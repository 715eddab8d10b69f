// The conversion of one PDF: checks, then every page into a package written under a
// temporary name that only a complete conversion puts in place.
#include "pdf2ofd.h"

#include <Error.h>
#include <ErrorCodes.h>
#include <GlobalParams.h>
#include <Link.h>
#include <Outline.h>
#include <PDFDoc.h>
#include <PDFDocEncoding.h>
#include <Page.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>

#include "../common/outputfile.h"
#include "fonts.h"
#include "package.h"
#include "pagewriter.h"
#include "zipwriter.h"

namespace quorv::pdf2ofd {

using tools::Deadline;
using tools::PartialOutput;

namespace {

constexpr const char* kTool = "quorv-pdf2ofd";

void silence(ErrorCategory, Goffset, const char*) {}

void setUpPoppler() {
    static std::once_flag once;
    std::call_once(once, [] {
        globalParams = std::make_unique<GlobalParams>();
        setErrorCallback(silence);
    });
}

std::string utf8(const std::vector<Unicode>& text) {
    std::string out;
    for (Unicode c : text) {
        if (c < 0x20 && c != '\t') c = ' ';
        if (c < 0x110000) appendUtf8(out, c);
    }
    return out;
}

// A PDF text string (UTF-16 with a byte order mark, or PDFDocEncoding) as UTF-8.
std::string textString(const GooString* s) {
    if (!s) return {};
    const std::string& b = s->toStr();
    std::vector<Unicode> u;
    if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xfe &&
        static_cast<unsigned char>(b[1]) == 0xff) {
        for (size_t i = 2; i + 1 < b.size(); i += 2) {
            Unicode c =
                (static_cast<unsigned char>(b[i]) << 8) | static_cast<unsigned char>(b[i + 1]);
            if (c >= 0xd800 && c < 0xdc00 && i + 3 < b.size()) {
                const Unicode lo = (static_cast<unsigned char>(b[i + 2]) << 8) |
                                   static_cast<unsigned char>(b[i + 3]);
                if (lo >= 0xdc00 && lo < 0xe000) {
                    c = 0x10000 + ((c - 0xd800) << 10) + (lo - 0xdc00);
                    i += 2;
                }
            }
            u.push_back(c);
        }
    } else {
        for (unsigned char ch : b) u.push_back(pdfDocEncoding[ch]);
    }
    std::string out = utf8(u);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// "D:YYYYMMDD..." as an xs:date, or empty when it is not a date.
std::string pdfDate(const GooString* s) {
    if (!s) return {};
    std::string d = s->toStr();
    if (d.compare(0, 2, "D:") == 0) d = d.substr(2);
    if (d.size() < 8) return {};
    for (int i = 0; i < 8; ++i) {
        if (d[i] < '0' || d[i] > '9') return {};
    }
    const int month = std::stoi(d.substr(4, 2)), day = std::stoi(d.substr(6, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31) return {};
    return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

std::string hexId(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

DocInfo readInfo(PDFDoc& doc) {
    DocInfo info;
    GooString permanent, changing;
    if (doc.getID(&permanent, &changing) && permanent.getLength() > 0) {
        info.docId = hexId(permanent.toStr()).substr(0, 32);
    }
    info.title = textString(doc.getDocInfoTitle().get());
    info.author = textString(doc.getDocInfoAuthor().get());
    info.subject = textString(doc.getDocInfoSubject().get());
    info.keywords = textString(doc.getDocInfoKeywords().get());
    info.creator = kTool;
    info.creationDate = pdfDate(doc.getDocInfoCreatDate().get());
    info.modDate = pdfDate(doc.getDocInfoModDate().get());
    return info;
}

void readOutline(PDFDoc& doc, const std::vector<OutlineItem*>* items, std::vector<OutlineNode>& out,
                 int depth) {
    if (!items || depth > 64) return;
    for (OutlineItem* item : *items) {
        OutlineNode node;
        node.title =
            utf8(std::vector<Unicode>(item->getTitle(), item->getTitle() + item->getTitleLength()));
        const LinkAction* action = item->getAction();
        if (action && action->getKind() == actionGoTo) {
            const auto* go = static_cast<const LinkGoTo*>(action);
            std::unique_ptr<LinkDest> named;
            const LinkDest* dest = go->getDest();
            if (!dest && go->getNamedDest()) {
                named = doc.findDest(go->getNamedDest());
                dest = named.get();
            }
            if (dest && dest->isOk()) {
                const int page =
                    dest->isPageRef() ? doc.findPage(dest->getPageRef()) : dest->getPageNum();
                if (page >= 1 && page <= doc.getNumPages()) {
                    node.pageIndex = page - 1;
                    if (dest->getChangeTop()) {
                        const PDFRectangle* crop = doc.getPage(page)->getCropBox();
                        node.topMm = std::max(0.0, (crop->y2 - dest->getTop()) * 25.4 / 72);
                    }
                }
            }
        }
        item->open();
        readOutline(doc, item->getKids(), node.children, depth + 1);
        out.push_back(std::move(node));
    }
}

// Whether the file ends as a complete PDF does; a file cut short does not.
bool hasEndMarker(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff tail = std::min<std::streamoff>(size, 2048);
    in.seekg(size - tail);
    std::string end(static_cast<size_t>(tail), '\0');
    in.read(end.data(), tail);
    return end.find("%%EOF") != std::string::npos;
}

}  // namespace

int convert(const Options& options, std::string& error, std::vector<std::string>& notes) {
    if (!tools::checkInput(options.input, error)) return kExitFailed;
    const Deadline deadline(options.timeoutSeconds);
    const std::string lateMessage = tools::timeLimitMessage(options.input, options.timeoutSeconds);
    PartialOutput partial(deadline, options.stopProcessOnTimeout, lateMessage, kTool);
    setUpPoppler();
    bool rebuilt = false;
    auto doc = std::make_unique<PDFDoc>(std::make_unique<GooString>(options.input),
                                        std::optional<GooString>(), std::optional<GooString>(),
                                        nullptr, [&rebuilt] { rebuilt = true; });
    if (deadline.passed()) {
        error = lateMessage;
        return kExitFailed;
    }
    if (!doc->isOk()) {
        error = doc->getErrorCode() == errEncrypted
                    ? inQuotes(options.input) + " is encrypted and needs a password"
                    : inQuotes(options.input) + " is not a PDF file or is damaged";
        return kExitFailed;
    }
    // The PDF library rebuilds a damaged cross-reference table and then shows what it
    // found; a file cut short would so become a package that silently lacks pages.
    if (rebuilt && !hasEndMarker(options.input)) {
        error = inQuotes(options.input) + " is damaged: the file is cut short";
        return kExitFailed;
    }
    if (doc->getNumPages() <= 0) {
        error = inQuotes(options.input) + " has no pages";
        return kExitFailed;
    }

    Package package;
    package.info = readInfo(*doc);
    if (package.info.docId.empty())
        package.info.docId = hexId(std::to_string(std::hash<std::string>{}(options.input)));
    FontTable fonts(package);
    {
        PageWriter writer(*doc, package, fonts);
        for (int i = 1; i <= doc->getNumPages(); ++i) {
            writer.addPage(i, [&deadline] { return deadline.passed(); });
            if (deadline.passed()) {
                error = lateMessage;
                return kExitFailed;
            }
            if (writer.tooLarge()) {
                error = inQuotes(options.input) + " draws more than " +
                        std::to_string(PageWriter::kContentLimit >> 20) +
                        " MB of page content; it is not converted";
                return kExitFailed;
            }
        }
        if (writer.unmappedGlyphs() > 0) {
            notes.push_back(
                std::to_string(writer.unmappedGlyphs()) +
                " characters have no Unicode value in the PDF and are left out of the text");
        }
    }
    if (const Outline* outline = doc->getOutline())
        readOutline(*doc, outline->getItems(), package.outline, 0);
    fonts.embed(notes);
    fonts.saveCache();

    std::vector<char> buffer(1 << 16);
    std::FILE* file = partial.open(options.output, buffer, error);
    if (!file) return kExitFailed;
    ZipWriter zip(file);
    bool ok = writePackage(package, zip);
    if (!ok) error = "cannot write the OFD file: " + std::string(std::strerror(errno));
    ok = partial.finish(file, ok, options.output, "the OFD file", error);
    return ok ? kExitOk : kExitFailed;
}

}  // namespace quorv::pdf2ofd
