#include "gui/mainwin/frnbatch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

#include "convert/batch/run.h"
#include "convert/folderscan.h"
#include "core/defaults.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "gui/mainwin/frnrun.h"
#include "gui/mainwin/frnscan.h"
#include "gui/mainwin/frnstatus.h"
#include "gui/mainwin/frnwindowmode.h"
#include "gui/mainwin/w_frn.h"

namespace quorv {

namespace {

const QString kPrompt = QStringLiteral("提示");

void record(FileListModel& list, int row, BatchResult result, const QString& reason) {
    list.selectRow(row, result == BatchResult::Success);
    list.setCell(row, Frn1Column::yy, reason);
    switch (result) {
        case BatchResult::Success:
            list.setCell(row, Frn1Column::jg, QStringLiteral("成功"));
            break;
        case BatchResult::Failure:
            list.setCell(row, Frn1Column::jg, QStringLiteral("失败"));
            break;
        case BatchResult::Blank:
            list.setCell(row, Frn1Column::jg, QStringLiteral("空格"));
            break;
    }
}

std::optional<BatchMode> batchMode(OutputMode mode) {
    switch (mode) {
        case OutputMode::Pdf:
            return BatchMode::Pdf;
        case OutputMode::Xps:
            return BatchMode::Xps;
        case OutputMode::Custom:
            return BatchMode::Custom;
        case OutputMode::Swf:
            return BatchMode::Swf;
        case OutputMode::Ofd:
            return BatchMode::Ofd;
        case OutputMode::Original:
            return BatchMode::Copy;
        case OutputMode::None:
            break;
    }
    return std::nullopt;
}

// Runs the rows on the engine while the window goes on answering; the results go into the
// list as they come. False when the run was stopped before its end.
bool runEngine(w_frn& w, const BatchRequest& request, QStringList& intermediates,
               MergedRun& merged) {
    FileListModel& list = w.list();
    int done = 0;
    const BatchRunResult run = runInWindow(
        w, request,
        [&](int index, BatchResult result, const QString& reason) {
            record(list, index + 1, result, reason);
            w.vpb_1->setValue(++done);
        },
        trackRun(w, request));
    endTrackedRun(w, run.stopped || !run.refusal.isEmpty());
    if (run.raised) std::rethrow_exception(run.raised);
    // Stopped or refused: the rows not converted keep their cells, and the end steps are
    // skipped.
    if (run.stopped || !run.refusal.isEmpty()) return false;
    intermediates = run.intermediates;
    merged = mergeRunOutputs(request, run);
    return true;
}

}  // namespace

void frnBatchRun(w_frn& w) {
    Desktop& desktop = w.desktop();
    FileListModel& list = w.list();
    GlobalSettings& g = globals();

    if (list.rowCount() < 1) {
        desktop.messageBox(kPrompt, QStringLiteral("还没有源文件"));
        return;
    }
    const QString outputText = w.sle_2->text();
    if (!QFileInfo(outputText).isDir()) {
        desktop.messageBox(kPrompt, QStringLiteral("输出目录不存在"));
        return;
    }

    WindowMode windowMode(w, WindowMode::BusyCursor);
    w.szf = w.ddlb_1->currentText().left(1);
    const OutputMode mode = w.outputMode();
    const bool datedCopy = w.szf == QLatin1String("6") && mode == OutputMode::Original;
    if (datedCopy) {
        const QString since = w.em_1->value();
        const QString error = sinceTextError(since);
        if (!error.isEmpty()) {
            windowMode.restore();
            desktop.messageBox(kPrompt, error);
            return;
        }
        writeSetting(g.profile, Key::Fdt, since);
    }

    const int row_zs = list.rowCount();
    w.vpb_1->setRange(0, row_zs);
    w.vpb_1->setValue(0);
    w.vpb_1->show();

    QString base = outputText;
    if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');

    // The custom format and the SWF tool are read on every run, so that what was just
    // saved in the settings counts.
    RequestOverrides overrides;
    overrides.localLinks = followLocalLinks(g.profile);
    BatchRequest request =
        requestFromSettings(batchMode(mode).value_or(BatchMode::Copy), g, overrides);
    request.outputBase = base;
    request.keepSubfolders = w.cbx_3->isChecked();
    if (mode == OutputMode::Swf || mode == OutputMode::Ofd) QDir().mkpath(request.pdfp);
    // The window holds what its last run used.
    if (mode == OutputMode::Custom) {
        g.wsavehz = request.wordExt;
        g.wsavely = readSetting(g.profile, Key::Wsavely, Reader::BatchDriver);
    } else if (mode == OutputMode::Swf) {
        g.swftprg = request.swf.program;
        g.langd = request.swf.langd;
        g.flashv = request.swf.flashv;
    }
    // No row may show what an earlier run left on it.
    list.clearResults();
    // What each row needs, copied out of the list: it repaints while rows are converted.
    for (int ii = 1; ii <= row_zs; ++ii) {
        const frn1* data = list.rowData(ii);
        if (!data) break;
        request.rows.append(BatchRow{data->filey, data->ypath, data->zml});
    }

    QStringList intermediates;
    MergedRun merged;
    if (!batchMode(mode)) {
        // No output mode chosen: nothing is written, every row counts as passed.
        w.vpb_1->setValue(row_zs);
    } else if (!runEngine(w, request, intermediates, merged)) {
        return;
    }

    list.setFilter(QString());
    list.applyFilter();
    for (const QString& pdf : intermediates) QFile::remove(pdf);

    windowMode.restore();
    const QString mergeText = merged.text();
    desktop.messageBox(kPrompt, mergeText.isEmpty() ? QStringLiteral("转换结束")
                                                    : QStringLiteral("转换结束\n") + mergeText);

    if (datedCopy) {
        const QString now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        w.em_1->setValue(now);
        writeSetting(g.profile, Key::Fdt, now);
    }
}

}  // namespace quorv
