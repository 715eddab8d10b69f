#include "engines/office/officebackend.h"

#include "convert/automation.h"
#include "convert/backend.h"
#include "engines/checks/outputchecks.h"
#include "engines/office/officepool.h"
#include "engines/office/officesession.h"
#include "engines/office/servers.h"
#include "engines/pdf/pdfmerge.h"
#include "engines/pdf/pdfpost.h"

namespace quorv::office {

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

void warmPool(int n, int idleMs) {
    if (n > 0) {
        if (idleMs >= 0) OfficePool::shared().setIdleMs(idleMs);
        OfficePool::shared().warm(n);
    } else {
        OfficePool::shared().clear();
    }
}

}  // namespace

void installOfficeBackend(bool warmAhead) {
    registerAutomationServer(QStringLiteral("Word.Application"), makeWordServer());
    registerAutomationServer(QStringLiteral("Excel.Application"), makeExcelServer());
    registerAutomationServer(QStringLiteral("PowerPoint.Application"), makePowerPointServer());
    ConvertBackend b;
    b.openWorkerOffice = [](bool localLinks) {
        return std::make_unique<SessionWorkerOffice>(localLinks);
    };
    if (warmAhead) b.warmWorkerOffices = warmPool;
    b.outputReads = [](const QString& output, OutputKind kind, const QString& source,
                       const QString& openPassword) {
        return checks::outputReads(output, kind, source, openPassword);
    };
    b.postProcessPdf = [](const QString& path, const PdfOptions& options, QString* error) {
        return pdf::postProcessPdf(path, options, error);
    };
    b.mergePdfs = [](const QList<PdfPart>& parts, const QString& target,
                     const PdfProtection& protection) {
        QList<pdf::MergePart> in;
        for (const PdfPart& p : parts) in.append({p.path, p.title});
        const pdf::MergeOutcome m = pdf::mergePdfs(in, target, protection);
        return PdfMergeOutcome{m.written, m.pages, m.leftOut, m.error};
    };
    installBackend(std::move(b));
}

}  // namespace quorv::office
