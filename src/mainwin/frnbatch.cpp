#include "mainwin/frnbatch.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

#include "convert/filenames.h"
#include "convert/pdf2swf1.h"
#include "convert/wordconvert.h"
#include "mainwin/folderscan.h"
#include "mainwin/frnscan.h"
#include "mainwin/frnwindowmode.h"
#include "mainwin/w_frn.h"
#include "platform/office/officesession.h"
#include "settings/defaults.h"
#include "settings/globals.h"

namespace quorv {

namespace {

const QString kPrompt = QStringLiteral("提示");

enum class RowResult { Success, Failure, Blank };

void record(FileListModel& list, int row, RowResult result) {
    list.selectRow(row, result == RowResult::Success);
    switch (result) {
        case RowResult::Success:
            list.setCell(row, Frn1Column::jg, QStringLiteral("成功"));
            break;
        case RowResult::Failure:
            list.setCell(row, Frn1Column::jg, QStringLiteral("失败"));
            break;
        case RowResult::Blank:
            list.setCell(row, Frn1Column::jg, QStringLiteral("空格"));
            break;
    }
}

RowResult byPath(const QString& produced) {
    return produced.isEmpty() ? RowResult::Failure : RowResult::Success;
}

// What one row needs, copied out of the list: pumped events may repaint it meanwhile.
struct RowSource {
    QString filey;
    QString filey1;  // ypath + filey
    QString zml;
};

// SWF mode: a PDF goes straight to the tool, anything else through an intermediate PDF.
// `intermediates` lists the intermediate PDFs that only successful rows left behind.
RowResult swfRow(const RowSource& r, const QString& filenp, const QString& pdfp,
                 QStringList& intermediates) {
    // Names with a blank are refused, as the tool's command line has always been.
    if (r.filey.contains(QLatin1Char(' '))) return RowResult::Blank;
    if (qfilehz(r.filey1) == QLatin1String("pdf")) {
        return byPath(pdf2swf1(r.filey1, filenp, SwfCaller::Interactive));
    }
    // Without the intermediate folder (made at the run's start) the export could only
    // fail, so the row fails without asking the office.
    if (!QFileInfo(pdfp).isDir()) return RowResult::Failure;
    const QString lspdf = word2xps(r.filey1, QStringLiteral("pdf"), pdfp, 17);
    if (lspdf.isEmpty()) return RowResult::Failure;
    // pdf2swf1 returns only after the tool has ended, so the PDF is no longer read.
    if (pdf2swf1(lspdf, filenp, SwfCaller::Interactive).isEmpty()) {
        // The file now belongs to this failed row, whoever wrote that name before.
        intermediates.removeAll(lspdf);
        return RowResult::Failure;
    }
    if (!intermediates.contains(lspdf)) intermediates.append(lspdf);
    return RowResult::Success;
}

RowResult copyRow(const RowSource& r, const QString& filenp) {
    const QString name = globals().sfth == QLatin1String("y") ? r.filey : fzmccf(filenp, r.filey);
    return copyIntoPlace(r.filey1, filenp + name) ? RowResult::Success : RowResult::Failure;
}

}  // namespace

bool copyIntoPlace(const QString& source, const QString& target) {
    const QFileInfo from(source);
    const QFileInfo to(target);
    if (!from.isFile()) return false;
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath()) return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        // Returning before commit discards the temporary file.
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) return false;
    }
    if (in.error() != QFileDevice::NoError || !out.flush()) return false;
    // An unchanged copy keeps what a copy keeps: the source's permissions and write time.
    out.setPermissions(in.permissions());
    out.setFileTime(from.lastModified(), QFileDevice::FileModificationTime);
    return out.commit();
}

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
    const QString pdfp = g.ap_path + QStringLiteral("/pdf/");
    QStringList intermediates;
    if (mode == OutputMode::Swf) QDir().mkpath(pdfp);
    // No row may show what an earlier run left on it.
    list.clearResults();

    // Declared after the window mode, so that on an error the instance ends first.
    std::optional<office::OfficeSession> session;
    session.emplace();

    for (int ii = 1; ii <= row_zs; ++ii) {
        // The key state is only known from the events that reached us: let them in first.
        desktop.pumpEvents();
        if (desktop.escapeHeld()) return;

        const frn1* data = list.rowData(ii);
        if (!data) break;
        const RowSource r{data->filey, data->ypath + data->filey, data->zml};
        QString filenp = base;
        if (w.cbx_3->isChecked() && !r.zml.isEmpty()) {
            filenp = base + r.zml;
            cr_d9(base, filenp);
        }

        std::optional<RowResult> result;
        switch (mode) {
            case OutputMode::Pdf:
                result = byPath(word2xps(r.filey1, QStringLiteral("pdf"), filenp, 17));
                break;
            case OutputMode::Xps:
                result = byPath(word2xps(r.filey1, QStringLiteral("xps"), filenp, 18));
                break;
            case OutputMode::Custom:
                result = byPath(word2any(r.filey1, g.wsavehz, filenp, gs));
                break;
            case OutputMode::Swf:
                result = swfRow(r, filenp, pdfp, intermediates);
                break;
            case OutputMode::Original:
                result = copyRow(r, filenp);
                break;
            case OutputMode::None:
                break;
        }
        if (result) record(list, ii, *result);
        w.vpb_1->setValue(ii);
    }
    session.reset();

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
