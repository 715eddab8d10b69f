#include "gui/mainwin/frnsearch.h"

#include "convert/batch/run.h"
#include "core/globals.h"
#include "gui/mainwin/frnrun.h"
#include "gui/mainwin/frnwindowmode.h"
#include "gui/mainwin/w_frn.h"

namespace quorv {

namespace {
const QString kPrompt = QStringLiteral("提示");
}  // namespace

void frnContentSearch(w_frn& w) {
    Desktop& desktop = w.desktop();
    FileListModel& list = w.list();
    if (list.rowCount() < 1) {
        desktop.messageBox(kPrompt, QStringLiteral("还没有源文件"));
        return;
    }
    int found = 0;
    {
        const WindowMode mode(w, WindowMode::KeepCursor);
        w.vpb_1->setVisible(true);
        const int row_zs = list.rowCount();
        w.vpb_1->setMaximum(row_zs);
        w.vpb_1->setValue(0);

        BatchRequest request = requestFromSettings(BatchMode::Find, globals());
        request.findText = w.sle_3->text().trimmed();
        for (int ii = 1; ii <= row_zs; ++ii) {
            request.rows.append(BatchRow{list.cellText(ii, Frn1Column::filey).trimmed(),
                                         list.cellText(ii, Frn1Column::ypath).trimmed(),
                                         QString()});
        }
        // A search stopped early must not leave an earlier search's marks on rows.
        list.clearResults();
        int done = 0;
        // Each worker's office, and the Word it searches through, end with the engine,
        // on an error too, before the error report is shown.
        const BatchRunResult run =
            runInWindow(w, request, [&](int index, BatchResult result, const QString& reason) {
                const int ii = index + 1;
                const bool hit = result == BatchResult::Success;
                list.selectRow(ii, hit);
                list.setCell(ii, Frn1Column::jg, hit ? QStringLiteral("找到") : QString());
                // A document that could not be searched counts as not found, and says why.
                list.setCell(ii, Frn1Column::yy, reason);
                if (hit) ++found;
                w.vpb_1->setValue(++done);
            });
        if (!run.refusal.isEmpty()) return;
        if (run.stopReason == FailReason::OfficeUnavailable) {
            desktop.messageBox(QString(), QStringLiteral("启用Word失败。"));
            return;
        }
        if (run.raised) std::rethrow_exception(run.raised);
        if (run.stopped) desktop.messageBox(kPrompt, QStringLiteral("搜索已被中途中止！"));
        list.setFilter(QString());
        list.applyFilter();
        w.status().searchEnded(found, done);
        w.showStatus();
    }
    desktop.messageBox(
        kPrompt, QStringLiteral("搜索结束,共找到") + QString::number(found) + QStringLiteral("个"));
}

}  // namespace quorv
