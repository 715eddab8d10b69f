#include "engines/office/servers.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include "convert/batch/batchengine.h"
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

void storeAs(OfficeInstance& office, const DocumentRef& doc, const QString& path, int code,
             DocumentKind kind, int pdfa) {
    std::optional<SaveFilter> f = saveFilterFor(code, kind, pdfa);
    if (!f) {
        fail(QStringLiteral("format %1 is not available for this document").arg(code),
             FailReason::NoOutput);
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

void writeAs(Host& h, const DocumentRef& doc, const QString& path, int code, int pdfa = 0) {
    OfficeInstance& office = h.office();
    // Word makes no folders; LibreOffice would create the missing ones on its own.
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        fail(QStringLiteral("write ") + path + QStringLiteral(": the folder does not exist"),
             FailReason::OutputUnwritable);
    }
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
            h->office().close(doc);
            h->opened.removeAll(doc);
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

class ExcelWorkbook : public DispatchObject {
  public:
    ExcelWorkbook(std::shared_ptr<Host> h, DocumentRef book) {
        addMember("worksheets", {P::Any}, 0,
                  [h, book](const VariantList& a) { return worksheets(h, book, a); });
        addMember("close", {P::Any}, 0, [h, book](const VariantList&) {
            h->office().close(book);
            h->opened.removeAll(book);
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

namespace {
// A pool worker's office: a session on the worker's thread, so that the conversions it
// runs attach to an instance of its own, ended on that thread when the worker ends.
class SessionWorkerOffice : public WorkerOffice {
  public:
    explicit SessionWorkerOffice(bool localLinks)
        : session_(OfficeSession::NewConnections::Served,
                   localLinks ? LinkAccess::LocalFiles : LinkAccess::None) {}

  private:
    OfficeSession session_;
};
}  // namespace

void registerOfficeWarmer() {
    setWorkerOfficeWarmer([](int n, int idleMs) {
        if (n > 0) {
            if (idleMs >= 0) OfficePool::shared().setIdleMs(idleMs);
            OfficePool::shared().warm(n);
        } else {
            OfficePool::shared().clear();
        }
    });
}

void registerOfficeServers() {
    setWorkerOfficeFactory(
        [](bool localLinks) { return std::make_unique<SessionWorkerOffice>(localLinks); });
    registerOfficeWarmer();
    registerAutomationServer(QStringLiteral("Word.Application"), makeWordServer());
    registerAutomationServer(QStringLiteral("Excel.Application"), makeExcelServer());
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

}  // namespace quorv::office
