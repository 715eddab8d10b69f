#include "engines/pdf/pdfmerge.h"

#include <QFile>
#include <exception>
#include <map>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFOutlineObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "engines/pdf/pdfpost.h"
#include "engines/pdf/pdfwrite.h"

namespace quorv::pdf {

namespace {

// A part read whole into memory: qpdf reads the pages' streams only when the merged file
// is written, and a thousand parts must not hold a thousand open files until then.
struct OpenPart {
    std::string bytes;
    std::unique_ptr<QPDF> doc;
};

std::unique_ptr<OpenPart> openPart(const QString& path, const QString& password) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return nullptr;
    auto part = std::make_unique<OpenPart>();
    part->bytes = f.readAll().toStdString();
    const std::string name = QFile::encodeName(path).toStdString();
    // A part of this run carries the run's open password; one from elsewhere may not.
    for (const QString& pw : {QString(), password}) {
        try {
            part->doc = std::make_unique<QPDF>();
            part->doc->setSuppressWarnings(true);
            part->doc->processMemoryFile(name.c_str(), part->bytes.data(), part->bytes.size(),
                                         pw.toStdString().c_str());
            // Walking the pages finds a damaged page tree now rather than at writing.
            if (QPDFPageDocumentHelper(*part->doc).getAllPages().empty()) return nullptr;
            return part;
        } catch (const std::exception&) {
            if (password.isEmpty()) break;
        }
    }
    return nullptr;
}

// Bookmark items of the merged file, linked once all of a level is known.
struct Item {
    QPDFObjectHandle dict;
    std::vector<Item> kids;
    bool open = false;
};

// The number of items shown below an open item, as /Count counts them.
int visibleBelow(const Item& item) {
    int n = 0;
    for (const Item& k : item.kids) n += 1 + (k.open ? visibleBelow(k) : 0);
    return n;
}

void link(QPDFObjectHandle parent, std::vector<Item>& kids) {
    for (size_t i = 0; i < kids.size(); ++i) {
        QPDFObjectHandle d = kids[i].dict;
        d.replaceKey("/Parent", parent);
        if (i > 0) d.replaceKey("/Prev", kids[i - 1].dict);
        if (i + 1 < kids.size()) d.replaceKey("/Next", kids[i + 1].dict);
        if (!kids[i].kids.empty()) {
            link(d, kids[i].kids);
            d.replaceKey("/First", kids[i].kids.front().dict);
            d.replaceKey("/Last", kids[i].kids.back().dict);
            const int below = visibleBelow(kids[i]);
            d.replaceKey("/Count", QPDFObjectHandle::newInteger(kids[i].open ? below : -below));
        }
    }
}

QPDFObjectHandle scalarCopy(QPDFObjectHandle o) {
    if (o.isInteger()) return QPDFObjectHandle::newInteger(o.getIntValue());
    if (o.isReal()) return QPDFObjectHandle::newReal(o.getNumericValue(), 3);
    if (o.isName()) return QPDFObjectHandle::newName(o.getName());
    return QPDFObjectHandle::newNull();
}

Item makeItem(QPDF& out, const std::string& title, QPDFObjectHandle dest) {
    Item item;
    item.dict = out.makeIndirectObject(QPDFObjectHandle::newDictionary());
    item.dict.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
    if (!dest.isNull()) item.dict.replaceKey("/Dest", dest);
    return item;
}

// The part's bookmarks below `from`, pointing at the merged file's copies of its pages.
std::vector<Item> copyOutlines(QPDF& out, std::vector<QPDFOutlineObjectHelper> from,
                               const std::map<QPDFObjGen, QPDFObjectHandle>& pages) {
    std::vector<Item> items;
    for (QPDFOutlineObjectHelper& o : from) {
        QPDFObjectHandle dest = QPDFObjectHandle::newNull();
        QPDFObjectHandle d = o.getDest();
        if (d.isArray() && d.getArrayNItems() > 0) {
            const auto page = pages.find(d.getArrayItem(0).getObjGen());
            if (page != pages.end()) {
                dest = QPDFObjectHandle::newArray();
                dest.appendItem(page->second);
                for (int i = 1; i < d.getArrayNItems(); ++i) {
                    dest.appendItem(scalarCopy(d.getArrayItem(i)));
                }
            }
        }
        Item item = makeItem(out, o.getTitle(), dest);
        item.open = o.getCount() > 0;
        item.kids = copyOutlines(out, o.getKids(), pages);
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace

MergeOutcome mergePdfs(const QList<MergePart>& parts, const QString& target,
                       const PdfProtection& protection) {
    MergeOutcome outcome;
    // The parts outlive the merged document: it reads their streams until it is written
    // and refers to them until it is gone.
    std::vector<std::unique_ptr<OpenPart>> open;
    try {
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        std::vector<Item> top;
        for (const MergePart& part : parts) {
            std::unique_ptr<OpenPart> in = openPart(part.path, protection.openPassword);
            if (!in) {
                outcome.leftOut << part.title;
                continue;
            }
            std::map<QPDFObjGen, QPDFObjectHandle> copies;
            QPDFObjectHandle first;
            for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*in->doc).getAllPages()) {
                outPages.addPage(page, false);
                QPDFObjectHandle copy = out.getAllPages().back();
                copies[page.getObjectHandle().getObjGen()] = copy;
                if (!first.isInitialized()) first = copy;
                ++outcome.pages;
            }
            QPDFObjectHandle dest = QPDFObjectHandle::newArray();
            dest.appendItem(first);
            dest.appendItem(QPDFObjectHandle::newName("/XYZ"));
            for (int i = 0; i < 3; ++i) dest.appendItem(QPDFObjectHandle::newNull());
            Item item = makeItem(out, part.title.toStdString(), dest);
            QPDFOutlineDocumentHelper outlines(*in->doc);
            item.kids = copyOutlines(out, outlines.getTopLevelOutlines(), copies);
            top.push_back(std::move(item));
            open.push_back(std::move(in));
        }
        if (top.empty()) {
            outcome.error = QStringLiteral("no part opens");
            return outcome;
        }
        QPDFObjectHandle root = out.makeIndirectObject(QPDFObjectHandle::newDictionary());
        root.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
        link(root, top);
        root.replaceKey("/First", top.front().dict);
        root.replaceKey("/Last", top.back().dict);
        root.replaceKey("/Count", QPDFObjectHandle::newInteger(int(top.size())));
        QPDFObjectHandle catalog = out.getRoot();
        catalog.replaceKey("/Outlines", root);
        catalog.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));

        QString error;
        const int pages = outcome.pages;
        outcome.written = writePdfAtomically(
            out, target,
            [&](QPDFWriter& w) {
                w.setObjectStreamMode(qpdf_o_generate);
                setProtection(w, protection);
            },
            [&](const QString& written) {
                return pdfPagesWithPassword(written, protection.openPassword) == pages;
            },
            &error);
        if (!outcome.written) outcome.error = error;
    } catch (const std::exception& e) {
        outcome.written = false;
        outcome.error = QString::fromLocal8Bit(e.what());
    }
    return outcome;
}

}  // namespace quorv::pdf
