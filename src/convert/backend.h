#pragma once

// What a program lends the conversions below it, installed once at its start: an office
// instance for each batch worker, readying instances ahead of a run, the check every
// output passes, and how long a conversion waits for its file. A conversion that finds
// none installed ends the program at once: running without output checks would pass
// broken files as converted.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "convert/outputcheck.h"
#include "core/pdfoptions.h"

namespace quorv {

// What a batch worker holds for its whole life so that the conversions it runs reach an
// office instance of their own; ended on the worker's own thread.
class WorkerOffice {
  public:
    virtual ~WorkerOffice() = default;
};

// One PDF of a merge and its top-level bookmark.
struct PdfPart {
    QString path;
    QString title;
};

struct PdfMergeOutcome {
    bool written = false;
    int pages = 0;
    QStringList leftOut;  // titles of the parts that did not open
    QString error;        // why nothing was written
};

struct ConvertBackend {
    // `localLinks`: the request's choice, for the instance the worker's office starts.
    std::function<std::unique_ptr<WorkerOffice>(bool localLinks)> openWorkerOffice;
    // Readies the offices of `n` workers ahead of a run, in the background; those unused
    // for `idleMs` end (negative: the time set before). n = 0 ends those ready and unused.
    // Empty: nothing is readied ahead and the first rows start their own.
    std::function<void(int n, int idleMs)> warmWorkerOffices;
    // `openPassword`: the one a protected PDF output opens with; empty for none.
    std::function<bool(const QString& output, OutputKind kind, const QString& source,
                       const QString& openPassword)>
        outputReads;
    // Rewrites a written PDF in place with the options' watermark and protection; false
    // (the file as it was, the reason in *error) when that fails. Empty: the program
    // cannot, and a request that asks for it fails its rows.
    std::function<bool(const QString& path, const PdfOptions& options, QString* error)>
        postProcessPdf;
    // Writes the parts, in order, into one PDF at target with the protection.
    std::function<PdfMergeOutcome(const QList<PdfPart>& parts, const QString& target,
                                  const PdfProtection& protection)>
        mergePdfs;
    // How long a conversion waits for its output file once the office said it is written.
    int outputWaitMs = 60 * 1000;
};

// Installs the program's backend; a backend without workers' offices or output checks is
// refused the same loud way as none.
void installBackend(ConvertBackend backend);
// The installed backend.
const ConvertBackend& backend();

// Readies the offices of `n` workers (see ConvertBackend::warmWorkerOffices).
void warmWorkerOffices(int n, int idleMs = 300000);

}  // namespace quorv
