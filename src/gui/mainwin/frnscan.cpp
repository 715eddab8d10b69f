#include "gui/mainwin/frnscan.h"

#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <QTime>

#include "convert/backend.h"
#include "convert/folderscan.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "gui/mainwin/frnwindowmode.h"
#include "gui/mainwin/w_frn.h"

namespace quorv {

namespace {

// Rows in the list mean a run may follow: its offices start now, in the background, so
// that "开始输出" and "搜索" find them ready.
void warmForRows(w_frn& w) {
    if (w.list().rowCount() < 1) return;
    const QString& profile = globals().profile;
    warmWorkerOffices(batchPoolSize(profile), officeIdleMs(profile));
}

}  // namespace

void appendScanRow(FileListModel& list, ScanRow&& r) {
    const int row = list.appendRow();
    list.setCell(row, Frn1Column::xh, row);
    list.setCell(row, Frn1Column::ypath, r.ypath);
    list.setCell(row, Frn1Column::filey, r.filey);
    if (r.hasZml) list.setCell(row, Frn1Column::zml, r.zml);
    list.setCell(row, Frn1Column::ftime, r.ftime);
}

QString sinceTextError(const QString& text) {
    if (!QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")).isValid()) {
        return QStringLiteral("修改日期错误");
    }
    if (!QTime::fromString(text.right(8), QStringLiteral("hh:mm:ss")).isValid()) {
        return QStringLiteral("修改日期时间错误");
    }
    return QString();
}

void frnAddFolder(w_frn& w) {
    Desktop& desktop = w.desktop();
    w.vpb_1->setValue(0);
    QString folder;
    if (!desktop.folderDialog(QStringLiteral("浏览文件夹"), w.ls_path1, &folder)) {
        desktop.messageBox(QStringLiteral("提示"), QStringLiteral("文件夹选择被取消"));
        return;
    }
    frnScanFolder(w, folder);
}

void frnScanFolder(w_frn& w, const QString& folder) {
    Desktop& desktop = w.desktop();
    w.ls_path1 = folder;
    w.szf = w.ddlb_1->currentText().left(1);

    ScanOptions options;
    options.recursive = w.cbx_2->isChecked();
    options.includeHidden = w.cbx_4->isChecked();
    options.szf = w.szf;
    if (w.szf == QLatin1String("6")) {
        options.since = w.em_1->value();
        const QString error = sinceTextError(options.since);
        if (!error.isEmpty()) {
            desktop.messageBox(QStringLiteral("提示"), error);
            return;
        }
    }
    {
        const WindowMode mode(w, WindowMode::BusyCursor, WindowMode::FolderFieldLocked);
        const GlobalSettings& g = globals();
        writeSetting(g.profile, Key::Wjjp, w.ls_path1);
        options.ftype = ftype9(w.szf, g.awordhz, g.sftype);
        scanFolder(w.ls_path1, options,
                   [&](ScanRow&& r) { appendScanRow(w.list(), std::move(r)); });
    }
    warmForRows(w);
    desktop.messageBox(QStringLiteral("提示"), QStringLiteral("源文件夹的相关信息已导入"));
}

void frnAddFiles(w_frn& w) {
    Desktop& desktop = w.desktop();
    const Desktop::FileOpenResult picked = desktop.fileOpenDialog(
        QStringLiteral("浏览文件"),
        QStringLiteral("Doc 文件 (*.DOC),*.DOC,") + QStringLiteral("docx 文件 (*.docx),*.docx,") +
            QStringLiteral("All Files (*.*), *.*"),
        QStringLiteral("DOC"), w.ls_path1, true);
    if (picked.result != 1) return;
    QString folder = picked.folder;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    QStringList paths;
    for (const QString& name : picked.names) paths.append(folder + name);
    frnAppendFiles(w, paths);
}

void frnAppendFiles(w_frn& w, const QStringList& paths) {
    w.desktop().messageBox(QStringLiteral("提示"), QString::number(paths.size()));
    for (const QString& path : paths) {
        const QFileInfo info(path);
        ScanRow r;
        r.ypath = info.path();
        if (!r.ypath.endsWith(QLatin1Char('/'))) r.ypath += QLatin1Char('/');
        r.filey = info.fileName();
        r.ftime = getft(path);
        appendScanRow(w.list(), std::move(r));
    }
    warmForRows(w);
}

void frnAddDropped(w_frn& w, const QStringList& paths) {
    QStringList files;
    QStringList folders;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            folders.append(info.absoluteFilePath());
        } else if (info.isFile()) {
            files.append(info.absoluteFilePath());
        }
    }
    if (!files.isEmpty()) frnAppendFiles(w, files);
    for (const QString& folder : folders) {
        w.vpb_1->setValue(0);
        frnScanFolder(w, folder);
    }
}

void frnNameFilter(w_frn& w) {
    Desktop& desktop = w.desktop();
    if (w.list().rowCount() < 1) {
        desktop.messageBox(QStringLiteral("提示"), QStringLiteral("还没有源文件"));
        return;
    }
    const QString text = w.sle_1->text().trimmed();
    if (text.isEmpty()) {
        desktop.messageBox(QStringLiteral("提示"), QStringLiteral("过滤的文件名不能为空"));
        return;
    }
    w.list().setFilter(QStringLiteral("filey like '%") + text + QStringLiteral("%'"));
    w.list().applyFilter();
}

}  // namespace quorv
