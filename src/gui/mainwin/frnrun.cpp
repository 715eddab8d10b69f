#include "gui/mainwin/frnrun.h"

#include "gui/mainwin/w_frn.h"

namespace quorv {

namespace {

// The text a run's notice shows.
QString batchNoticeText(BatchNotice notice) {
    switch (notice) {
        case BatchNotice::ExcelUnavailable:
            return QStringLiteral("启用Excel失败。");
    }
    return QString();
}

}  // namespace

BatchRunResult runInWindow(
    w_frn& w, const BatchRequest& request,
    const std::function<void(int index, BatchResult result, const QString& reason)>& onRow,
    const RunCallbacks& more) {
    Desktop& desktop = w.desktop();
    RunCallbacks callbacks;
    callbacks.stopWhen = [&desktop] { return desktop.escapeHeld(); };
    callbacks.rowStarted = more.rowStarted;
    callbacks.rowWritten = more.rowWritten;
    callbacks.rowFinished = [&onRow, &more](int index, BatchResult result, FailReason reason) {
        if (more.rowFinished) more.rowFinished(index, result, reason);
        onRow(index, result, failReasonText(reason));
    };
    callbacks.notice = [&desktop](BatchNotice notice) {
        desktop.messageBox(QString(), batchNoticeText(notice));
    };
    BatchRun run(request, callbacks);
    w.setRunningBatch(&run);
    const BatchRunResult result = run.runToEnd();
    w.setRunningBatch(nullptr);
    if (!result.refusal.isEmpty()) desktop.messageBox(QStringLiteral("提示"), result.refusal);
    // The error report does not name the file: the row that raised, marked, is in view.
    if (result.raised) w.dw_1->scrollTo(w.list().index(result.errorRow, 0));
    return result;
}

}  // namespace quorv
