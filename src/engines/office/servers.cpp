#include "engines/office/servers.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include "convert/docbytes.h"
#include "engines/office/officeinstance.h"
#include "engines/office/officepool.h"
#include "engines/office/officesession.h"
#include "engines/office/pdftoxps.h"

namespace quorv::office {

namespace {

using P = DispatchObject::Param;

// What an application object and the objects reached from it share: the instance, whether
// this caller started it, and the documents this caller opened (the last one is active).
struct Host {
    std::shared_ptr<OfficeInstance> instance;
    bool created = false;
    QList<DocumentRef> opened;
    bool displayAlerts = true;
    QString findText;

    OfficeInstance& office() {
        if (!instance) fail(QStringLiteral("the application has quit"));
        return *instance;
    }

    DocumentRef active(const char* what) {
        office();
        if (opened.isEmpty()) fail(QString::fromLatin1(what) + QStringLiteral(": nothing is open"));
        return opened.back();
    }

    // Closes one document of this caller's (a document's, workbook's or presentation's close).
    void close(const DocumentRef& doc) {
        office().close(doc);
        opened.removeAll(doc);
    }

    void closeAll() {
        if (instance) {
            for (const DocumentRef& doc : opened) instance->close(doc);
        }
        opened.clear();
    }

    // Closes what this caller opened; ends the instance only when this caller created it.
    void release() {
        closeAll();
        if (instance && created) instance->end();
        instance.reset();
    }

    // `password` is tried only on a file that its bytes mark protected; any other file opens
    // as without one, as in Word.
    DocumentRef open(const QString& path, bool word, const QString& password = QString()) {
        const QString ext = QFileInfo(path).suffix().toLower();
        // Refused before LibreOffice sees it: without a password it could only fail, and a
        // broken Word 2007 document would be read as plain text.
        const FailReason refused = documentBytesProblem(path);
        if (refused == FailReason::Password && !password.isEmpty()) {
            return openProtected(path, password);
        }
        if (refused != FailReason::None) {
            office();
            fail(QStringLiteral("open ") + path + QStringLiteral(": ") +
                     (refused == FailReason::Password ? QStringLiteral("protected by a password")
                                                      : QStringLiteral("not a document package")),
                 refused);
        }
        DocumentRef doc;
        if (word && (ext == QLatin1String("htm") || ext == QLatin1String("html"))) {
            // Word opens web pages as text documents, so that every save format applies.
            doc = office().load(path, true, QStringLiteral("HTML (StarWriter)"));
        } else if (word && (ext == QLatin1String("doc") || ext == QLatin1String("docx"))) {
            // Naming the import filter saves LibreOffice's type detection on the files
            // nearly every run holds; a file whose name lies is loaded by detection.
            const QString filter = ext == QLatin1String("doc") ? QStringLiteral("MS Word 97")
                                                               : QStringLiteral("MS Word 2007 XML");
            try {
                doc = office().load(path, true, filter);
            } catch (const DispatchError&) {
                if (!office().isAlive()) throw;
                doc = office().load(path, true);
            }
        } else {
            doc = office().load(path, true);
        }
        opened.append(doc);
        return doc;
    }

    // One load with the password, its type detected (detection decrypts as the import
    // does). A hidden load answers a password request by giving up, so a wrong password
    // only makes the load fail; the watchdog bounds it like any call.
    DocumentRef openProtected(const QString& path, const QString& password) {
        DocumentRef doc;
        try {
            doc = office().load(path, true, QString(), password);
        } catch (DispatchError& e) {
            if (e.reason == FailReason::Damaged) {
                e.message = QStringLiteral("open ") + path +
                            QStringLiteral(": the password does not open it");
                e.reason = FailReason::Password;
            }
            throw;
        }
        opened.append(doc);
        return doc;
    }
};

// Word's own file types are text documents; knowing that saves asking LibreOffice for
// the type of every document of a long run.
std::optional<DocumentKind> kindByName(const QString& path) {
    static const QStringList textTypes{"doc", "docx", "docm", "dot", "dotx", "dotm",
                                       "rtf", "odt",  "ott",  "htm", "html"};
    if (textTypes.contains(QFileInfo(path).suffix().toLower())) return DocumentKind::Text;
    return std::nullopt;
}

void storeWith(OfficeInstance& office, const DocumentRef& doc, const QString& path,
               const std::optional<SaveFilter>& f, int code, FailReason unavailable) {
    if (!f) {
        fail(QStringLiteral("format %1 is not available for this document").arg(code), unavailable);
    }
    if (!f->xps) {
        office.store(doc, path, f->filter, f->options, f->pdfa);
        return;
    }
    QTemporaryDir tmp;
    if (!tmp.isValid()) fail(QStringLiteral("no temporary folder"), FailReason::NoOutput);
    const QString pdf = tmp.filePath(QStringLiteral("export.pdf"));
    office.store(doc, pdf, f->filter, f->options);
    QString error;
    if (!pdfToXps(pdf, path, &error)) {
        fail(QStringLiteral("XPS conversion failed: ") + error,
             folderTakesFiles(QFileInfo(path).absolutePath()) ? FailReason::NoOutput
                                                              : FailReason::OutputUnwritable);
    }
}

void storeAs(OfficeInstance& office, const DocumentRef& doc, const QString& path, int code,
             DocumentKind kind, int pdfa) {
    storeWith(office, doc, path, saveFilterFor(code, kind, pdfa), code, FailReason::NoOutput);
}

// Word, Excel and PowerPoint make no folders; LibreOffice would create the missing ones.
void requireFolder(const QString& path) {
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        fail(QStringLiteral("write ") + path + QStringLiteral(": the folder does not exist"),
             FailReason::OutputUnwritable);
    }
}

void writeAs(Host& h, const DocumentRef& doc, const QString& path, int code, int pdfa = 0) {
    OfficeInstance& office = h.office();
    requireFolder(path);
    if (std::optional<DocumentKind> guess = kindByName(OfficeInstance::sourcePath(doc))) {
        try {
            storeAs(office, doc, path, code, *guess, pdfa);
            return;
        } catch (const DispatchError&) {
            // A file whose name tells a wrong type: go by what LibreOffice loaded.
            if (!office.isAlive() || office.kind(doc) == *guess) throw;
        }
    }
    storeAs(office, doc, path, code, office.kind(doc), pdfa);
}

Variant sharedObject(std::shared_ptr<AutomationObject> o) { return Variant(std::move(o)); }

// ---- Word ----

// The PDF/A part an export argument asks for: a part from 1 to 3, true for part 1, else 0.
int pdfaPartOf(const Variant& v) {
    if (v.isEmpty()) return 0;
    const Variant part = DispatchObject::coerce(v, P::Int);
    return part.toInt() >= 1 && part.toInt() <= 3 ? int(part.toInt()) : 0;
}

class WordFind : public DispatchObject {
  public:
    explicit WordFind(std::shared_ptr<Host> h) {
        addMember("clearformatting", {}, 0, [](const VariantList&) { return Variant(); });
        addMember("text", {}, 0, [h](const VariantList&) { return Variant(h->findText); });
        addSetter("text", P::Text, [h](const Variant& v) { h->findText = v.toText(); });
        addMember("execute", {P::Text, P::Bool, P::Bool, P::Bool}, 0, [h](const VariantList& a) {
            if (!a.isEmpty()) h->findText = a[0].toText();
            return Variant(h->office().findText(h->active("find"), h->findText));
        });
    }
};

class WordSelection : public DispatchObject {
  public:
    explicit WordSelection(std::shared_ptr<Host> h) {
        addMember("find", {}, 0,
                  [h](const VariantList&) { return sharedObject(std::make_shared<WordFind>(h)); });
    }
};

class WordTemplate : public DispatchObject {
  public:
    explicit WordTemplate(std::shared_ptr<Host>) {
        // Nothing is ever written to a template here; the flag is accepted and dropped.
        addSetter("saved", P::Bool, [](const Variant&) {});
    }
};

class WordDocument : public DispatchObject {
  public:
    WordDocument(std::shared_ptr<Host> h, DocumentRef doc) {
        // Word's fourteen: file, format, open after, then ten that a headless export
        // ignores, and UseISO19005_1, which also takes the PDF/A part (true is part 1).
        addMember("exportasfixedformat",
                  {P::Text, P::Int, P::Bool, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any,
                   P::Any, P::Any, P::Any, P::Any},
                  2, [h, doc](const VariantList& a) {
                      const int code = int(a[1].toInt());
                      if (code != kFormatPdf && code != kFormatXps) {
                          fail(QStringLiteral("export format %1 is unknown").arg(code));
                      }
                      writeAs(*h, doc, a[0].toText(), code, a.size() > 13 ? pdfaPartOf(a[13]) : 0);
                      return Variant();
                  });
        addMember("saveas", {P::Text, P::Int}, 1, [h, doc](const VariantList& a) {
            const QString path = a[0].toText();
            // Without a format Word keeps the document's own; here that means .docx.
            writeAs(*h, doc, path, a.size() > 1 ? int(a[1].toInt()) : 16);
            return Variant();
        });
        addMember("close", {P::Any}, 0, [h, doc](const VariantList&) {
            h->close(doc);
            return Variant();
        });
    }
};

class WordDocuments : public DispatchObject {
  public:
    explicit WordDocuments(std::shared_ptr<Host> h) {
        // FileName, ConfirmConversions, ReadOnly, AddToRecentFiles, PasswordDocument.
        addMember(
            "open", {P::Text, P::Bool, P::Bool, P::Bool, P::Text}, 1, [h](const VariantList& a) {
                const QString password = a.size() > 4 ? a[4].toText() : QString();
                return sharedObject(
                    std::make_shared<WordDocument>(h, h->open(a[0].toText(), true, password)));
            });
        addMember("count", {}, 0,
                  [h](const VariantList&) { return Variant(qint64(h->opened.size())); });
    }
};

// What the Word and Excel application objects share: the application member (the
// same object, not owning), the two flags, quit, and releasing the host when the
// owning object goes.
template <class Self>
class OfficeApplication : public DispatchObject {
  public:
    OfficeApplication(std::shared_ptr<Host> host, bool owner, QList<Param> quitParams)
        : h_(std::move(host)), owner_(owner) {
        std::shared_ptr<Host> h = h_;
        addMember("application", {}, 0, [h](const VariantList&) {
            return sharedObject(std::make_shared<Self>(h, false));
        });
        addMember("displayalerts", {}, 0,
                  [h](const VariantList&) { return Variant(h->displayAlerts); });
        addSetter("displayalerts", P::Bool,
                  [h](const Variant& v) { h->displayAlerts = v.toBool(); });
        // A headless instance shows no window: the flag is accepted and dropped.
        addSetter("visible", P::Bool, [](const Variant&) {});
        addMember("quit", std::move(quitParams), 0, [h](const VariantList&) {
            h->release();
            return Variant();
        });
    }
    ~OfficeApplication() override {
        if (owner_) h_->release();
    }

  protected:
    std::shared_ptr<Host> h_;

  private:
    bool owner_;
};

class WordApplication : public OfficeApplication<WordApplication> {
  public:
    WordApplication(std::shared_ptr<Host> host, bool owner)
        : OfficeApplication(std::move(host), owner, {P::Any, P::Any, P::Any}) {
        std::shared_ptr<Host> h = h_;
        addMember("documents", {}, 0, [h](const VariantList&) {
            h->office();
            return sharedObject(std::make_shared<WordDocuments>(h));
        });
        addMember("activedocument", {}, 0, [h](const VariantList&) {
            return sharedObject(std::make_shared<WordDocument>(h, h->active("activedocument")));
        });
        addMember("normaltemplate", {}, 0, [h](const VariantList&) {
            return sharedObject(std::make_shared<WordTemplate>(h));
        });
        addMember("selection", {}, 0, [h](const VariantList&) {
            h->office();
            return sharedObject(std::make_shared<WordSelection>(h));
        });
    }
};

// ---- Excel ----

class ExcelCell : public DispatchObject {
  public:
    explicit ExcelCell(const CellHit& hit) {
        addMember("value", {}, 0, [t = hit.text](const VariantList&) { return Variant(t); });
        addMember("text", {}, 0, [t = hit.text](const VariantList&) { return Variant(t); });
        addMember("row", {}, 0, [r = hit.row](const VariantList&) { return Variant(r); });
        addMember("column", {}, 0, [c = hit.column](const VariantList&) { return Variant(c); });
    }
};

class ExcelCells : public DispatchObject {
  public:
    ExcelCells(std::shared_ptr<Host> h, DocumentRef book, int sheet) {
        // Excel's further find options are accepted; the search is that of a fresh Excel.
        addMember("find", {P::Text, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any},
                  1, [h, book, sheet](const VariantList& a) {
                      std::optional<CellHit> hit =
                          h->office().findInSheet(book, sheet, a[0].toText());
                      return hit ? sharedObject(std::make_shared<ExcelCell>(*hit)) : Variant();
                  });
    }
};

class ExcelSheet : public DispatchObject {
  public:
    ExcelSheet(std::shared_ptr<Host> h, DocumentRef book, int sheet) {
        addMember("cells", {}, 0, [h, book, sheet](const VariantList&) {
            return sharedObject(std::make_shared<ExcelCells>(h, book, sheet));
        });
        addMember("index", {}, 0, [sheet](const VariantList&) { return Variant(sheet); });
    }
};

int sheetIndex(OfficeInstance& office, const DocumentRef& book, const Variant& index) {
    const Variant i = DispatchObject::coerce(index, P::Int);
    const int n = office.sheetCount(book);
    if (i.toInt() < 1 || i.toInt() > n) fail(QStringLiteral("no sheet %1").arg(index.toText()));
    return int(i.toInt());
}

class ExcelSheets : public DispatchObject {
  public:
    ExcelSheets(std::shared_ptr<Host> h, DocumentRef book) {
        addMember("count", {}, 0, [h, book](const VariantList&) {
            return Variant(qint64(h->office().sheetCount(book)));
        });
        addMember("item", {P::Any}, 1, [h, book](const VariantList& a) {
            return sharedObject(
                std::make_shared<ExcelSheet>(h, book, sheetIndex(h->office(), book, a[0])));
        });
    }
};

// "worksheets" and "worksheets"(i) of a workbook.
Variant worksheets(const std::shared_ptr<Host>& h, const DocumentRef& book, const VariantList& a) {
    if (a.isEmpty()) return sharedObject(std::make_shared<ExcelSheets>(h, book));
    return sharedObject(std::make_shared<ExcelSheet>(h, book, sheetIndex(h->office(), book, a[0])));
}

// A PDF or XPS of a workbook or presentation: as its own application prints it, and never
// an empty file for one that has nothing to print.
void exportPrintable(Host& h, const DocumentRef& doc, const QString& path, bool xps, int pdfa) {
    OfficeInstance& office = h.office();
    requireFolder(path);
    if (!office.hasPrintableContent(doc)) {
        fail(QStringLiteral("export ") + path + QStringLiteral(": nothing to print"),
             FailReason::NothingToPrint);
    }
    const int code = xps ? kFormatXps : kFormatPdf;
    storeWith(office, doc, path, saveFilterFor(code, office.kind(doc), pdfa), code,
              FailReason::NoSuchFormat);
}

// A save format of the application's own codes, written only from a document of its kind.
void saveOwnFormat(Host& h, const DocumentRef& doc, const QString& path, int code,
                   DocumentKind kind, std::optional<SaveFilter> (*filterFor)(int)) {
    OfficeInstance& office = h.office();
    requireFolder(path);
    const std::optional<SaveFilter> f =
        office.kind(doc) == kind ? filterFor(code) : std::optional<SaveFilter>();
    storeWith(office, doc, path, f, code, FailReason::NoSuchFormat);
}

class ExcelWorkbook : public DispatchObject {
  public:
    ExcelWorkbook(std::shared_ptr<Host> h, DocumentRef book) {
        addMember("worksheets", {P::Any}, 0,
                  [h, book](const VariantList& a) { return worksheets(h, book, a); });
        // Type (0 PDF, 1 XPS), Filename, Quality, IncludeDocProperties, IgnorePrintAreas,
        // From, To, OpenAfterPublish, FixedFormatExtClassPtr; a tenth, as Word's last, takes
        // the PDF/A part. Print areas are always honoured.
        addMember("exportasfixedformat",
                  {P::Int, P::Text, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any},
                  2, [h, book](const VariantList& a) {
                      const qint64 type = a[0].toInt();
                      if (type != kExcelTypePdf && type != kExcelTypeXps) {
                          fail(QStringLiteral("export type %1 is unknown").arg(type));
                      }
                      if (a.size() > 4 && !a[4].isEmpty() &&
                          DispatchObject::coerce(a[4], P::Bool).toBool()) {
                          fail(QStringLiteral("printing without the print areas is not offered"),
                               FailReason::NoSuchFormat);
                      }
                      const bool xps = type == kExcelTypeXps;
                      exportPrintable(*h, book, a[1].toText(), xps,
                                      xps || a.size() < 10 ? 0 : pdfaPartOf(a[9]));
                      return Variant();
                  });
        // Filename, FileFormat (Excel's codes; without one, .xlsx).
        addMember("saveas", {P::Text, P::Int}, 1, [h, book](const VariantList& a) {
            const int code = a.size() > 1 && !a[1].isEmpty() ? int(a[1].toInt()) : 51;
            saveOwnFormat(*h, book, a[0].toText(), code, DocumentKind::Spreadsheet,
                          &excelSaveFilterFor);
            return Variant();
        });
        addMember("close", {P::Any}, 0, [h, book](const VariantList&) {
            h->close(book);
            return Variant();
        });
    }
};

class ExcelWorkbooks : public DispatchObject {
  public:
    explicit ExcelWorkbooks(std::shared_ptr<Host> h) {
        // FileName, UpdateLinks, ReadOnly, Format, Password.
        addMember("open", {P::Text, P::Any, P::Any, P::Any, P::Text}, 1, [h](const VariantList& a) {
            const QString password = a.size() > 4 ? a[4].toText() : QString();
            return sharedObject(
                std::make_shared<ExcelWorkbook>(h, h->open(a[0].toText(), false, password)));
        });
        addMember("close", {}, 0, [h](const VariantList&) {
            h->office();
            h->closeAll();
            return Variant();
        });
        addMember("count", {}, 0,
                  [h](const VariantList&) { return Variant(qint64(h->opened.size())); });
    }
};

class ExcelApplication : public OfficeApplication<ExcelApplication> {
  public:
    ExcelApplication(std::shared_ptr<Host> host, bool owner)
        : OfficeApplication(std::move(host), owner, {}) {
        std::shared_ptr<Host> h = h_;
        addMember("workbooks", {}, 0, [h](const VariantList&) {
            h->office();
            return sharedObject(std::make_shared<ExcelWorkbooks>(h));
        });
        addMember("activeworkbook", {}, 0, [h](const VariantList&) {
            return sharedObject(std::make_shared<ExcelWorkbook>(h, h->active("activeworkbook")));
        });
        addMember("worksheets", {P::Any}, 0,
                  [h](const VariantList& a) { return worksheets(h, h->active("worksheets"), a); });
    }
};

// ---- PowerPoint ----

class SlideNotes : public DispatchObject {
  public:
    SlideNotes(std::shared_ptr<Host> h, DocumentRef show, int slide) {
        addMember("findtext", {P::Text}, 1, [h, show, slide](const VariantList& a) {
            return Variant(h->office().slideHasText(show, slide, a[0].toText(), true));
        });
    }
};

// One slide. Its findtext is this server's own: PowerPoint finds on each shape's text
// range, one call per shape, where one call per slide does here.
class Slide : public DispatchObject {
  public:
    Slide(std::shared_ptr<Host> h, DocumentRef show, int slide) {
        addMember("slideindex", {}, 0, [slide](const VariantList&) { return Variant(slide); });
        addMember("findtext", {P::Text}, 1, [h, show, slide](const VariantList& a) {
            return Variant(h->office().slideHasText(show, slide, a[0].toText(), false));
        });
        addMember("notespage", {}, 0, [h, show, slide](const VariantList&) {
            return sharedObject(std::make_shared<SlideNotes>(h, show, slide));
        });
    }
};

Variant slide(const std::shared_ptr<Host>& h, const DocumentRef& show, const Variant& index) {
    const Variant i = DispatchObject::coerce(index, P::Int);
    if (i.toInt() < 1 || i.toInt() > h->office().slideCount(show)) {
        fail(QStringLiteral("no slide %1").arg(index.toText()));
    }
    return sharedObject(std::make_shared<Slide>(h, show, int(i.toInt())));
}

class Slides : public DispatchObject {
  public:
    Slides(std::shared_ptr<Host> h, DocumentRef show) {
        addMember("count", {}, 0, [h, show](const VariantList&) {
            return Variant(qint64(h->office().slideCount(show)));
        });
        addMember("item", {P::Any}, 1,
                  [h, show](const VariantList& a) { return slide(h, show, a[0]); });
    }
};

class Presentation : public DispatchObject {
  public:
    Presentation(std::shared_ptr<Host> h, DocumentRef show) {
        addMember("slides", {P::Any}, 0, [h, show](const VariantList& a) {
            if (a.isEmpty()) return sharedObject(std::make_shared<Slides>(h, show));
            return slide(h, show, a[0]);
        });
        // Path, FixedFormatType (2 PDF, 1 XPS), Intent, FrameSlides, HandoutOrder, OutputType
        // (1 slides), PrintHiddenSlides, PrintRange, RangeType, SlideShowName,
        // IncludeDocProperties, KeepIRMSettings, DocStructureTags, BitmapMissingFonts,
        // UseISO19005_1 (here also the PDF/A part). One page per visible slide at its size.
        addMember("exportasfixedformat",
                  {P::Text, P::Int, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any, P::Any,
                   P::Any, P::Any, P::Any, P::Any, P::Any},
                  2, [h, show](const VariantList& a) {
                      const qint64 type = a[1].toInt();
                      if (type != kPowerPointTypePdf && type != kPowerPointTypeXps) {
                          fail(QStringLiteral("export type %1 is unknown").arg(type));
                      }
                      const bool slidesOnly = a.size() < 6 || a[5].isEmpty() ||
                                              DispatchObject::coerce(a[5], P::Int).toInt() == 1;
                      const bool hidden = a.size() > 6 && !a[6].isEmpty() &&
                                          DispatchObject::coerce(a[6], P::Bool).toBool();
                      if (!slidesOnly || hidden) {
                          fail(QStringLiteral("only the visible slides are exported"),
                               FailReason::NoSuchFormat);
                      }
                      const bool xps = type == kPowerPointTypeXps;
                      exportPrintable(*h, show, a[0].toText(), xps,
                                      xps || a.size() < 15 ? 0 : pdfaPartOf(a[14]));
                      return Variant();
                  });
        // FileName, FileFormat (PowerPoint's codes; 32 PDF and 33 XPS export as above).
        addMember("saveas", {P::Text, P::Int, P::Any}, 1, [h, show](const VariantList& a) {
            const int code = a.size() > 1 && !a[1].isEmpty() ? int(a[1].toInt()) : 24;
            if (code == kPowerPointSavePdf || code == kPowerPointSaveXps) {
                exportPrintable(*h, show, a[0].toText(), code == kPowerPointSaveXps, 0);
            } else {
                saveOwnFormat(*h, show, a[0].toText(), code, DocumentKind::Presentation,
                              &powerPointSaveFilterFor);
            }
            return Variant();
        });
        addMember("close", {}, 0, [h, show](const VariantList&) {
            h->close(show);
            return Variant();
        });
    }
};

class Presentations : public DispatchObject {
  public:
    explicit Presentations(std::shared_ptr<Host> h) {
        // FileName, ReadOnly, Untitled, WithWindow (always without one here); a fifth, the
        // password, as Word's and Excel's open take one.
        addMember("open", {P::Text, P::Any, P::Any, P::Any, P::Text}, 1, [h](const VariantList& a) {
            const QString password = a.size() > 4 ? a[4].toText() : QString();
            return sharedObject(
                std::make_shared<Presentation>(h, h->open(a[0].toText(), false, password)));
        });
        addMember("count", {}, 0,
                  [h](const VariantList&) { return Variant(qint64(h->opened.size())); });
    }
};

class PowerPointApplication : public OfficeApplication<PowerPointApplication> {
  public:
    PowerPointApplication(std::shared_ptr<Host> host, bool owner)
        : OfficeApplication(std::move(host), owner, {}) {
        std::shared_ptr<Host> h = h_;
        addMember("presentations", {}, 0, [h](const VariantList&) {
            h->office();
            return sharedObject(std::make_shared<Presentations>(h));
        });
        addMember("activepresentation", {}, 0, [h](const VariantList&) {
            return sharedObject(std::make_shared<Presentation>(h, h->active("activepresentation")));
        });
    }
};

template <class App>
class LibreOfficeServer : public AutomationServer {
  public:
    std::shared_ptr<AutomationObject> attach() override {
        OfficeSession* session = OfficeSession::current();
        if (!session) return nullptr;
        std::shared_ptr<OfficeInstance> instance = session->acquire();
        return instance ? make(std::move(instance), false) : nullptr;
    }
    std::shared_ptr<AutomationObject> create() override {
        OfficeSession* session = OfficeSession::current();
        if (session && session->newConnections() == OfficeSession::NewConnections::Served) {
            // A new application object over the running instance: nothing of an earlier
            // client's state carries over, and its quit does not end the instance.
            std::shared_ptr<OfficeInstance> instance = session->acquire();
            return instance ? make(std::move(instance), false) : nullptr;
        }
        std::shared_ptr<OfficeInstance> instance = OfficeInstance::start();
        return instance ? make(std::move(instance), true) : nullptr;
    }

  private:
    static std::shared_ptr<AutomationObject> make(std::shared_ptr<OfficeInstance> instance,
                                                  bool created) {
        auto host = std::make_shared<Host>();
        host->instance = std::move(instance);
        host->created = created;
        return std::make_shared<App>(std::move(host), true);
    }
};

}  // namespace

std::shared_ptr<AutomationServer> makeWordServer() {
    return std::make_shared<LibreOfficeServer<WordApplication>>();
}

std::shared_ptr<AutomationServer> makeExcelServer() {
    return std::make_shared<LibreOfficeServer<ExcelApplication>>();
}

std::shared_ptr<AutomationServer> makePowerPointServer() {
    return std::make_shared<LibreOfficeServer<PowerPointApplication>>();
}

std::optional<SaveFilter> saveFilterFor(int code, DocumentKind kind, int pdfa) {
    const bool text = kind == DocumentKind::Text || kind == DocumentKind::Web;
    QString pdf;
    switch (kind) {
        case DocumentKind::Text:
            pdf = QStringLiteral("writer_pdf_Export");
            break;
        case DocumentKind::Web:
            pdf = QStringLiteral("writer_web_pdf_Export");
            break;
        case DocumentKind::Spreadsheet:
            pdf = QStringLiteral("calc_pdf_Export");
            break;
        case DocumentKind::Presentation:
            pdf = QStringLiteral("impress_pdf_Export");
            break;
        case DocumentKind::Drawing:
            pdf = QStringLiteral("draw_pdf_Export");
            break;
        case DocumentKind::Other:
            break;
    }
    if (code == kFormatPdf || code == kFormatXps) {
        if (pdf.isEmpty()) return std::nullopt;
        const bool xps = code == kFormatXps;
        return SaveFilter{pdf, QString(), xps, xps ? 0 : pdfa};
    }
    if (!text) return std::nullopt;
    switch (code) {
        case 0:  // Word 97-2003 document
            return SaveFilter{QStringLiteral("MS Word 97"), QString(), false};
        case 2:  // plain text; UTF-8 so that every script survives
            return SaveFilter{QStringLiteral("Text (encoded)"), QStringLiteral("UTF8"), false};
        case 6:  // rich text
            return SaveFilter{QStringLiteral("Rich Text Format"), QString(), false};
        case 8:   // web page
        case 10:  // filtered web page
            return SaveFilter{QStringLiteral("HTML (StarWriter)"), QString(), false};
        case 12:  // Word document
        case 16:  // default format
            return SaveFilter{QStringLiteral("MS Word 2007 XML"), QString(), false};
        case 23:  // OpenDocument text
            return SaveFilter{QStringLiteral("writer8"), QString(), false};
        default:
            return std::nullopt;
    }
}

std::optional<SaveFilter> excelSaveFilterFor(int code) {
    switch (code) {
        case 6:  // CSV of the first sheet, in the code page Chinese Excel reads: GB 18030
            return SaveFilter{QStringLiteral("Text - txt - csv (StarCalc)"),
                              QStringLiteral("44,34,85,1"), false};
        case 62:  // CSV UTF-8
            return SaveFilter{QStringLiteral("Text - txt - csv (StarCalc)"),
                              QStringLiteral("44,34,76,1"), false};
        case 44:  // web page, every sheet one after another
            return SaveFilter{QStringLiteral("HTML (StarCalc)"), QString(), false};
        case 51:  // Excel workbook
            return SaveFilter{QStringLiteral("Calc MS Excel 2007 XML"), QString(), false};
        case 56:  // Excel 97-2003 workbook
            return SaveFilter{QStringLiteral("MS Excel 97"), QString(), false};
        case 60:  // OpenDocument spreadsheet
            return SaveFilter{QStringLiteral("calc8"), QString(), false};
        default:
            return std::nullopt;
    }
}

std::optional<SaveFilter> powerPointSaveFilterFor(int code) {
    switch (code) {
        case 1:  // PowerPoint 97-2003 presentation
            return SaveFilter{QStringLiteral("MS PowerPoint 97"), QString(), false};
        case 11:  // default format
        case 24:  // PowerPoint presentation
            return SaveFilter{QStringLiteral("Impress MS PowerPoint 2007 XML"), QString(), false};
        case 35:  // OpenDocument presentation
            return SaveFilter{QStringLiteral("impress8"), QString(), false};
        default:
            return std::nullopt;
    }
}

}  // namespace quorv::office
