#include "gui/mainwin/rowmenu.h"

#include <QFileInfo>

#include "gui/mainwin/listclicks.h"

namespace quorv {

namespace {

const QString kPrompt = QStringLiteral("提示");

void openPath(Desktop& desktop, const QString& path, bool folder) {
    const QFileInfo info(path);
    if (path.isEmpty() || (folder ? !info.isDir() : !info.isFile())) {
        desktop.messageBox(kPrompt, folder ? QStringLiteral("文件夹不存在")
                                           : QStringLiteral("你要打开的文件不存在"));
        return;
    }
    if (!desktop.openFile(path)) {
        desktop.messageBox(QStringLiteral("操作提示"),
                           QStringLiteral("程序执行非法操作!请对该文件进行正确关联。 \r\n") + path);
    }
}

}  // namespace

std::vector<RowMenuEntry> rowMenuEntries(const FileListModel& list, int row) {
    const frn1* r = list.rowData(row);
    if (!r) return {};
    std::vector<RowMenuEntry> entries{{RowAction::OpenSource, QStringLiteral("打开源文件")}};
    if (!r->output.isEmpty()) {
        entries.push_back({RowAction::OpenOutput, QStringLiteral("打开输出文件")});
    }
    entries.push_back({RowAction::OpenFolder, QStringLiteral("打开所在文件夹")});
    entries.push_back({RowAction::CopyPath, QStringLiteral("复制路径")});
    entries.push_back({RowAction::CopyReason, QStringLiteral("复制原因"), !r->yy.isEmpty()});
    return entries;
}

void runRowAction(const FileListModel& list, int row, RowAction action, Desktop& desktop) {
    const frn1* r = list.rowData(row);
    if (!r) return;
    switch (action) {
        case RowAction::OpenSource:
            openRowSourceFile(list, row, desktop);
            break;
        case RowAction::OpenOutput:
            openPath(desktop, r->output, false);
            break;
        case RowAction::OpenFolder:
            openPath(desktop, r->ypath.trimmed(), true);
            break;
        case RowAction::CopyPath:
            desktop.copyText(r->ypath + r->filey);
            break;
        case RowAction::CopyReason:
            if (!r->yy.isEmpty()) desktop.copyText(r->yy);
            break;
    }
}

}  // namespace quorv
