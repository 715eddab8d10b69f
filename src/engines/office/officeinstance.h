#pragma once

// One headless LibreOffice process with a private profile, reached over a UNO pipe, and
// the document operations the Word and Excel servers are built from. Operations report
// failures by throwing DispatchError (code 35).

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "convert/automation.h"
#include "engines/office/officesandbox.h"

namespace quorv::office {

// A document loaded into an instance. Opaque outside the engine.
struct LoadedDocument;
using DocumentRef = std::shared_ptr<LoadedDocument>;

// Fails the office call under way: DispatchError 35 with `message`, and what it was when
// that is known.
[[noreturn]] void fail(const QString& message, FailReason reason = FailReason::None);

enum class DocumentKind { Text, Web, Spreadsheet, Drawing, Presentation, Other };

struct CellHit {
    int row = 0;     // from 1
    int column = 0;  // from 1
    QString text;
};

// The process is bound to the thread that starts it (it gets SIGKILL when that thread
// ends), so instances are started from a thread that outlives them: the main thread.
class OfficeInstance {
  public:
    // Starts a new instance and waits until its pipe answers (bounded by startTimeoutMs()).
    // Returns null when it cannot be started; `error` then says why. The instance runs in
    // the sandbox, and none starts where the sandbox cannot (sandboxWorks()).
    static std::shared_ptr<OfficeInstance> start(QString* error = nullptr,
                                                 LinkAccess access = LinkAccess::None);

    // Ends the process if it still runs.
    ~OfficeInstance();
    OfficeInstance(const OfficeInstance&) = delete;
    OfficeInstance& operator=(const OfficeInstance&) = delete;

    // Whether the process still runs and its connection has not broken.
    bool isAlive();
    qint64 pid() const;
    QString pipeName() const;
    QString profileDir() const;
    // What its documents' links may reach, and whether it runs in the sandbox.
    LinkAccess linkAccess() const;
    bool sandboxed() const;
    // Documents loaded since the start; a long run replaces its instance after a number.
    int documentsLoaded() const;
    // Documents loaded and not yet closed.
    int documentsOpen() const;

    // Asks LibreOffice to end, then SIGTERM, then SIGKILL of its process group.
    void end();
    // SIGKILL of the process group at once (used by the watchdog).
    void kill();

    // Loads a document hidden, macros never run, links not updated; read-only unless
    // written back. Unless links to local files are followed, the instance reads a copy
    // (or hard link) in a folder of its own, so that nothing beside the source is in reach. Throws
    // DispatchError 35 when LibreOffice refuses the file. `filter` forces an import filter; empty
    // lets LibreOffice detect the type. `password` opens a protected file; a wrong one fails the
    // load as a file LibreOffice cannot read.
    DocumentRef load(const QString& path, bool readOnly = true, const QString& filter = QString(),
                     const QString& password = QString());
    // The kind of a loaded document (asked of LibreOffice once).
    DocumentKind kind(const DocumentRef& doc);
    // Stores a copy under a LibreOffice filter, replacing an existing file; a sandboxed
    // instance writes into its exchange folder and the files are moved into place. A PDF export
    // with pdfaPart 1, 2 or 3 conforms to PDF/A-1b, 2b or 3b.
    void store(const DocumentRef& doc, const QString& path, const QString& filter,
               const QString& filterOptions = QString(), int pdfaPart = 0);
    void close(const DocumentRef& doc);
    // The path a document was loaded from.
    static QString sourcePath(const DocumentRef& doc);

    // Text search as a fresh find does: not case-sensitive, part of a word matches.
    bool findText(const DocumentRef& doc, const QString& text);
    int sheetCount(const DocumentRef& doc);
    // Searches sheet `index` (from 1) for a cell holding `text`, not case-sensitive.
    std::optional<CellHit> findInSheet(const DocumentRef& doc, int index, const QString& text);

    // Whether a workbook or presentation prints anything: a visible sheet with content or
    // drawings, a slide that is not hidden. Any other document counts as printable.
    bool hasPrintableContent(const DocumentRef& doc);
    // Slides of a presentation, hidden ones included; 0 for other documents.
    int slideCount(const DocumentRef& doc);
    // Whether the text of some shape of slide `index` (from 1), or of its notes page, holds
    // `text`, not case-sensitive.
    bool slideHasText(const DocumentRef& doc, int index, const QString& text, bool notes);

    // Bound on one call into LibreOffice; when it passes, the instance is killed and the
    // call fails with 35. Default 120 s.
    static void setCallTimeoutMs(int ms);
    static int callTimeoutMs();
    // Bound on starting an instance. Default 30 s.
    static void setStartTimeoutMs(int ms);
    static int startTimeoutMs();

    // Process ids of every instance this program runs at the moment.
    static QList<qint64> runningPids();

    struct Impl;

  private:
    explicit OfficeInstance(std::unique_ptr<Impl> impl);
    void storeGuarded(const DocumentRef& doc, const QString& path, const QString& filter,
                      const QString& filterOptions, int pdfaPart);
    void storeTo(const DocumentRef& doc, const QString& path, const QString& filter,
                 const QString& filterOptions, int pdfaPart);
    std::unique_ptr<Impl> d;
};

}  // namespace quorv::office
