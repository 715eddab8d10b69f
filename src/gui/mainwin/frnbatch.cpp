#include "gui/mainwin/frnbatch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

#include "convert/batch/batchengine.h"
#include "convert/folderscan.h"
#include "core/defaults.h"
#include "core/filenames.h"
#include "core/globals.h"
#include "core/passwords.h"
#include "gui/mainwin/frnpool.h"
#include "gui/mainwin/frnscan.h"
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
        case OutputMode::Original:
            return BatchMode::Copy;
        case OutputMode::None:
            break;
    }
    return std::nullopt;
}

// Runs the rows on the engine while the window goes on answering; the results go into the
// list as they come. False when the run was stopped before its end.
bool runEngine(w_frn& w, const BatchRequest& request, QStringList& intermediates) {
    FileListModel& list = w.list();
    int done = 0;
    BatchEngine engine(request);
    runOnPool(w, engine, [&](int index, BatchResult result, const QString& reason) {
        record(list, index + 1, result, reason);
        w.vpb_1->setValue(++done);
    });
    if (engine.error()) std::rethrow_exception(engine.error());
    // Stopped: the rows not converted keep their cells, and the end steps are skipped.
    if (engine.stopped()) return false;
    intermediates = engine.intermediates();
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

    int gs = 0;
    if (mode == OutputMode::Custom) {
        // Re-read on every run, so a format just saved in the settings counts.
        g.wsavehz = readSetting(g.profile, Key::Wsavehz, Reader::BatchDriver);
        g.wsavely = readSetting(g.profile, Key::Wsavely, Reader::BatchDriver);
        gs = g.wsavely.toInt();  // 0 when it is not a number
    }

    QString base = outputText;
    if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');

    BatchRequest request;
    request.mode = batchMode(mode).value_or(BatchMode::Copy);
    request.outputBase = base;
    request.keepSubfolders = w.cbx_3->isChecked();
    request.sfth = g.sfth;
    request.awordhz = g.awordhz;
    request.wordExt = g.wsavehz;
    request.wordFormat = gs;
    if (mode == OutputMode::Pdf) request.pdfa = pdfaPart(g.profile);
    request.pdfp = g.ap_path + QStringLiteral("/pdf/");
    if (mode == OutputMode::Swf) QDir().mkpath(request.pdfp);
    // No row may show what an earlier run left on it.
    list.clearResults();
    if (mode == OutputMode::Swf) {
        // Read once per run: the workers must not write the shared settings.
        request.swf.program = g.swftprg = readSetting(g.profile, Key::Swftprg, Reader::SwfService);
        request.swf.langd = g.langd = readSetting(g.profile, Key::Langd, Reader::SwfService);
        request.swf.flashv = g.flashv = readSetting(g.profile, Key::Flashv, Reader::SwfService);
    }
    request.poolSize = batchPoolSize(g.profile);
    request.goOn = goOnPastErrors(g.profile);
    request.passwords = readOpenPasswords(g.profile);
    request.localLinks = followLocalLinks(g.profile);
    // What each row needs, copied out of the list: it repaints while rows are converted.
    for (int ii = 1; ii <= row_zs; ++ii) {
        const frn1* data = list.rowData(ii);
        if (!data) break;
        request.rows.append(BatchRow{data->filey, data->ypath, data->zml});
    }

    QStringList intermediates;
    if (!batchMode(mode)) {
        // No output mode chosen: nothing is written, every row counts as passed.
        w.vpb_1->setValue(row_zs);
    } else if (!runEngine(w, request, intermediates)) {
        return;
    }

    list.setFilter(QString());
    list.applyFilter();
    for (const QString& pdf : intermediates) QFile::remove(pdf);

    windowMode.restore();
    desktop.messageBox(kPrompt, QStringLiteral("转换结束"));

    if (datedCopy) {
        const QString now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        w.em_1->setValue(now);
        writeSetting(g.profile, Key::Fdt, now);
    }
}

}  // namespace quorv
