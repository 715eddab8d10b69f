#include "gui/mainwin/rowmenu.h"

#include "gui/mainwin/listclicks.h"

namespace quorv {

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
            openExistingPath(desktop, r->output, false);
            break;
        case RowAction::OpenFolder:
            openExistingPath(desktop, r->ypath.trimmed(), true);
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
