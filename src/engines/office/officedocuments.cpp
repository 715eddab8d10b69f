// The document calls of an office instance over UNO: load, store, close and search.
#include <errno.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/presentation/XPresentationPage.hpp>
#include <com/sun/star/sheet/XCellAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XSearchDescriptor.hpp>
#include <com/sun/star/util/XSearchable.hpp>

#include "convert/batch/row.h"
#include "engines/office/officeimpl.h"

namespace quorv::office {

namespace {

// Puts `path` into `folder` under its own name: a hard link where the file system allows
// one, a copy otherwise. Empty when neither works.
QString stage(const QString& path, const QString& folder) {
    const QString target = folder + QLatin1Char('/') + QFileInfo(path).fileName();
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) == 0) {
        return target;
    }
    return QFile::copy(path, target) ? target : QString();
}

// Moves what a store left in `from` into `to`: the file named `name` and whatever it
// wrote beside it (the pictures of a web page).
bool moveOutputs(const QString& from, const QString& to) {
    const QDir dir(from);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        const QByteArray src = QFile::encodeName(entry.filePath());
        if (::rename(src.constData(), QFile::encodeName(target).constData()) == 0) continue;
        // Another file system: a complete copy replaces the target.
        if (errno != EXDEV || !copyIntoPlace(entry.filePath(), target)) return false;
    }
    return true;
}

}  // namespace

DocumentRef OfficeInstance::load(const QString& path, bool readOnly, const QString& filter,
                                 const QString& password) {
    const QString what = QStringLiteral("open ") + path;
    if (!QFileInfo(path).isFile()) {
        fail(what + QStringLiteral(": no such file"), FailReason::SourceMissing);
    }
    auto doc = std::make_shared<LoadedDocument>();
    doc->path = path;
    // The staged copy goes whenever the document does not stay loaded.
    struct Unstage {
        LoadedDocument& doc;
        bool keep = false;
        ~Unstage() {
            if (!keep && !doc.staged.isEmpty()) QDir(doc.staged).removeRecursively();
        }
    } unstage{*doc};
    QString url = path;
    if (d->access == LinkAccess::None) {
        // Nothing beside the source is in the folder it is read from: a relative link
        // finds nothing, whatever the sandbox sees.
        doc->staged = d->exchangeFolder("in");
        url = doc->staged.isEmpty() ? QString() : stage(path, doc->staged);
        if (url.isEmpty()) fail(what + QStringLiteral(": cannot be read"), FailReason::Damaged);
    }
    try {
        doc->component = d->guarded(what, [&] {
            const css::beans::PropertyValue values[] = {
                prop("Hidden", css::uno::Any(true)),
                prop("ReadOnly", css::uno::Any(readOnly)),
                prop("MacroExecutionMode",
                     css::uno::Any(sal_Int16(css::document::MacroExecMode::NEVER_EXECUTE))),
                prop("UpdateDocMode",
                     css::uno::Any(sal_Int16(css::document::UpdateDocMode::NO_UPDATE))),
                prop("FilterName", css::uno::Any(toOU(filter))),
            };
            // The last one only when an import filter is forced.
            css::uno::Sequence<css::beans::PropertyValue> args(values, filter.isEmpty() ? 4 : 5);
            if (!password.isEmpty()) {
                // Hidden, LibreOffice answers its own password request by giving up (no
                // interaction handler waits for a person), so a wrong one fails the load.
                args.realloc(args.getLength() + 1);
                args.getArray()[args.getLength() - 1] =
                    prop("Password", css::uno::Any(toOU(password)));
            }
            return d->desktop->loadComponentFromURL(fileUrl(url), "_blank", 0, args);
        });
    } catch (DispatchError& e) {
        // LibreOffice refuses a file it cannot read with an exception (IOException,
        // IllegalArgumentException); only a timeout or the instance's end say otherwise.
        if (e.reason == FailReason::None) e.reason = FailReason::Damaged;
        throw;
    }
    if (!doc->component.is()) {
        fail(what + QStringLiteral(": LibreOffice cannot read the file"), FailReason::Damaged);
    }
    unstage.keep = true;
    ++d->docs;
    ++d->openDocs;
    return doc;
}

DocumentKind OfficeInstance::kind(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("no document"));
    if (doc->kind) return *doc->kind;
    // One remote call for the service names instead of one per service asked.
    doc->kind = d->guarded(QStringLiteral("document type"), [&] {
        Reference<css::lang::XServiceInfo> info(doc->component, UNO_QUERY);
        if (!info.is()) return DocumentKind::Other;
        const css::uno::Sequence<OUString> names = info->getSupportedServiceNames();
        auto has = [&](const char* service) {
            const OUString s = OUString::createFromAscii(service);
            for (const OUString& n : names) {
                if (n == s) return true;
            }
            return false;
        };
        if (has("com.sun.star.text.WebDocument")) return DocumentKind::Web;
        if (has("com.sun.star.text.TextDocument")) return DocumentKind::Text;
        if (has("com.sun.star.sheet.SpreadsheetDocument")) return DocumentKind::Spreadsheet;
        if (has("com.sun.star.presentation.PresentationDocument"))
            return DocumentKind::Presentation;
        if (has("com.sun.star.drawing.DrawingDocument")) return DocumentKind::Drawing;
        return DocumentKind::Other;
    });
    return *doc->kind;
}

void OfficeInstance::store(const DocumentRef& doc, const QString& path, const QString& filter,
                           const QString& filterOptions, int pdfaPart) {
    try {
        storeGuarded(doc, path, filter, filterOptions, pdfaPart);
    } catch (DispatchError& e) {
        // The office says only that writing failed; the folder tells whether it takes files.
        if (e.reason == FailReason::None) {
            e.reason = folderTakesFiles(QFileInfo(path).absolutePath())
                           ? FailReason::NoOutput
                           : FailReason::OutputUnwritable;
        }
        throw;
    }
}

void OfficeInstance::storeGuarded(const DocumentRef& doc, const QString& path,
                                  const QString& filter, const QString& filterOptions,
                                  int pdfaPart) {
    // The sandboxed instance sees no folder of the user's: it writes into its exchange
    // folder, under the output's own name so that files written beside it match.
    const QString folder = d->exchangeFolder("out");
    if (folder.isEmpty())
        fail(QStringLiteral("store ") + path + QStringLiteral(": no exchange folder"));
    struct Remove {
        QString dir;
        ~Remove() { QDir(dir).removeRecursively(); }
    } remove{folder};
    storeTo(doc, folder + QLatin1Char('/') + QFileInfo(path).fileName(), filter, filterOptions,
            pdfaPart);
    if (!moveOutputs(folder, QFileInfo(path).absolutePath())) {
        fail(QStringLiteral("store ") + path + QStringLiteral(": cannot be moved into place"));
    }
}

void OfficeInstance::storeTo(const DocumentRef& doc, const QString& path, const QString& filter,
                             const QString& filterOptions, int pdfaPart) {
    d->guarded(QStringLiteral("store ") + path, [&] {
        std::vector<css::beans::PropertyValue> args{
            prop("FilterName", css::uno::Any(toOU(filter))),
            prop("Overwrite", css::uno::Any(true)),
            // No fsync per output: a crash of the machine, not of the office, could lose a
            // file just written, and a batch rewrites what is missing.
            prop("NoFileSync", css::uno::Any(true)),
        };
        if (!filterOptions.isEmpty()) {
            args.push_back(prop("FilterOptions", css::uno::Any(toOU(filterOptions))));
        }
        if (pdfaPart > 0) {
            // The PDF export's version choice: 1, 2 and 3 are PDF/A-1b, 2b and 3b. The
            // filter then embeds every font and writes the output intent and XMP itself.
            const css::beans::PropertyValue data[] = {
                prop("SelectPdfVersion", css::uno::Any(sal_Int32(pdfaPart))),
            };
            args.push_back(
                prop("FilterData",
                     css::uno::Any(css::uno::Sequence<css::beans::PropertyValue>(data, 1))));
        }
        Reference<css::frame::XStorable> storable(doc->component, UNO_QUERY_THROW);
        storable->storeToURL(fileUrl(path), css::uno::Sequence<css::beans::PropertyValue>(
                                                args.data(), sal_Int32(args.size())));
    });
}

QString OfficeInstance::sourcePath(const DocumentRef& doc) { return doc ? doc->path : QString(); }

void OfficeInstance::close(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) return;
    Reference<css::lang::XComponent> component = doc->component;
    doc->component.clear();
    --d->openDocs;
    struct Unstage {
        QString dir;
        ~Unstage() {
            if (!dir.isEmpty()) QDir(dir).removeRecursively();
        }
    } unstage{doc->staged};
    if (!d->alive()) return;
    try {
        d->guarded(QStringLiteral("close ") + doc->path, [&] {
            Reference<css::util::XCloseable> closeable(component, UNO_QUERY);
            if (closeable.is()) {
                closeable->close(true);
            } else {
                component->dispose();
            }
        });
    } catch (const DispatchError&) {
        // A document that refuses to close goes with its instance.
    }
}

namespace {

Reference<css::util::XSearchDescriptor> plainSearch(const Reference<css::util::XSearchable>& s,
                                                    const QString& text) {
    Reference<css::util::XSearchDescriptor> desc = s->createSearchDescriptor();
    desc->setSearchString(toOU(text));
    Reference<css::beans::XPropertySet> props(desc, UNO_QUERY_THROW);
    props->setPropertyValue("SearchCaseSensitive", css::uno::Any(false));
    props->setPropertyValue("SearchWords", css::uno::Any(false));
    props->setPropertyValue("SearchRegularExpression", css::uno::Any(false));
    return desc;
}

}  // namespace

bool OfficeInstance::findText(const DocumentRef& doc, const QString& text) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("find: no document"));
    if (text.isEmpty()) return false;
    return d->guarded(QStringLiteral("find"), [&] {
        Reference<css::util::XSearchable> searchable(doc->component, UNO_QUERY);
        if (!searchable.is()) return false;
        return searchable->findFirst(plainSearch(searchable, text)).is();
    });
}

int OfficeInstance::sheetCount(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("worksheets: no workbook"));
    return d->guarded(QStringLiteral("worksheets"), [&] {
        Reference<css::sheet::XSpreadsheetDocument> book(doc->component, UNO_QUERY);
        if (!book.is()) return 0;
        Reference<css::container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
        return int(sheets->getCount());
    });
}

std::optional<CellHit> OfficeInstance::findInSheet(const DocumentRef& doc, int index,
                                                   const QString& text) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("find: no workbook"));
    return d->guarded(QStringLiteral("find"), [&]() -> std::optional<CellHit> {
        Reference<css::sheet::XSpreadsheetDocument> book(doc->component, UNO_QUERY_THROW);
        Reference<css::container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
        if (index < 1 || index > sheets->getCount()) fail(QStringLiteral("no sheet %1").arg(index));
        Reference<css::util::XSearchable> searchable(sheets->getByIndex(index - 1),
                                                     UNO_QUERY_THROW);
        if (text.isEmpty()) return std::nullopt;
        Reference<css::uno::XInterface> found =
            searchable->findFirst(plainSearch(searchable, text));
        if (!found.is()) return std::nullopt;
        CellHit hit;
        Reference<css::sheet::XCellAddressable> addressable(found, UNO_QUERY);
        if (addressable.is()) {
            const css::table::CellAddress a = addressable->getCellAddress();
            hit.row = int(a.Row) + 1;
            hit.column = int(a.Column) + 1;
        }
        Reference<css::text::XTextRange> range(found, UNO_QUERY);
        if (range.is()) hit.text = fromOU(range->getString());
        return hit;
    });
}

namespace {

Reference<css::container::XIndexAccess> slides(const DocumentRef& doc) {
    Reference<css::drawing::XDrawPagesSupplier> pages(doc->component, UNO_QUERY);
    if (!pages.is()) return {};
    return Reference<css::container::XIndexAccess>(pages->getDrawPages(), UNO_QUERY);
}

bool visible(const Reference<css::uno::XInterface>& object, const char* property) {
    Reference<css::beans::XPropertySet> props(object, UNO_QUERY);
    if (!props.is()) return true;
    bool shown = true;
    props->getPropertyValue(OUString::createFromAscii(property)) >>= shown;
    return shown;
}

// A sheet prints when it holds a cell with content or a drawing (a chart, a picture) on
// its draw page.
bool sheetHasContent(const Reference<css::sheet::XSpreadsheet>& sheet,
                     const Reference<css::container::XIndexAccess>& drawings) {
    if (drawings.is() && drawings->getCount() > 0) return true;
    Reference<css::sheet::XSheetCellCursor> cursor = sheet->createCursor();
    Reference<css::sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
    used->gotoStartOfUsedArea(false);
    used->gotoEndOfUsedArea(true);
    Reference<css::sheet::XCellRangeAddressable> range(cursor, UNO_QUERY_THROW);
    const css::table::CellRangeAddress a = range->getRangeAddress();
    if (a.EndColumn > a.StartColumn || a.EndRow > a.StartRow) return true;
    // One cell of used area: a sheet that was never written still reports A1.
    return sheet->getCellByPosition(a.StartColumn, a.StartRow)->getType() !=
           css::table::CellContentType_EMPTY;
}

// The text of every shape, groups entered, compared without regard to case.
bool shapesHold(const Reference<css::container::XIndexAccess>& shapes, const QString& text) {
    for (sal_Int32 i = 0; shapes.is() && i < shapes->getCount(); ++i) {
        Reference<css::uno::XInterface> shape(shapes->getByIndex(i), UNO_QUERY);
        Reference<css::drawing::XShapes> group(shape, UNO_QUERY);
        if (group.is() &&
            shapesHold(Reference<css::container::XIndexAccess>(group, UNO_QUERY), text)) {
            return true;
        }
        Reference<css::text::XText> own(shape, UNO_QUERY);
        if (own.is() && fromOU(own->getString()).contains(text, Qt::CaseInsensitive)) return true;
    }
    return false;
}

}  // namespace

bool OfficeInstance::hasPrintableContent(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("no document"));
    return d->guarded(QStringLiteral("printable content"), [&] {
        Reference<css::sheet::XSpreadsheetDocument> book(doc->component, UNO_QUERY);
        if (book.is()) {
            Reference<css::container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
            // The document's draw pages are its sheets', in the same order.
            Reference<css::container::XIndexAccess> pages = slides(doc);
            for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
                Reference<css::sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
                Reference<css::container::XIndexAccess> drawings;
                if (pages.is() && i < pages->getCount()) {
                    drawings.set(pages->getByIndex(i), UNO_QUERY);
                }
                if (visible(sheet, "IsVisible") && sheetHasContent(sheet, drawings)) return true;
            }
            return false;
        }
        Reference<css::container::XIndexAccess> pages = slides(doc);
        if (!pages.is()) return true;
        for (sal_Int32 i = 0; i < pages->getCount(); ++i) {
            if (visible(Reference<css::uno::XInterface>(pages->getByIndex(i), UNO_QUERY),
                        "Visible")) {
                return true;
            }
        }
        return false;
    });
}

int OfficeInstance::slideCount(const DocumentRef& doc) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("slides: no presentation"));
    return d->guarded(QStringLiteral("slides"), [&] {
        Reference<css::container::XIndexAccess> pages = slides(doc);
        return pages.is() ? int(pages->getCount()) : 0;
    });
}

bool OfficeInstance::slideHasText(const DocumentRef& doc, int index, const QString& text,
                                  bool notes) {
    if (!doc || !doc->component.is()) fail(QStringLiteral("find: no presentation"));
    if (text.isEmpty()) return false;
    return d->guarded(QStringLiteral("find"), [&] {
        Reference<css::container::XIndexAccess> pages = slides(doc);
        if (!pages.is() || index < 1 || index > pages->getCount()) {
            fail(QStringLiteral("no slide %1").arg(index));
        }
        Reference<css::drawing::XDrawPage> page(pages->getByIndex(index - 1), UNO_QUERY_THROW);
        if (notes) {
            Reference<css::presentation::XPresentationPage> withNotes(page, UNO_QUERY);
            if (!withNotes.is()) return false;
            page = withNotes->getNotesPage();
        }
        return shapesHold(Reference<css::container::XIndexAccess>(page, UNO_QUERY), text);
    });
}

}  // namespace quorv::office
