#include "gui/mainwin/listclicks.h"

#include <QFileInfo>
#include <algorithm>

namespace quorv {

void Dw1Clicks::clicked(int row, const QString& object, bool shift, bool ctrl) {
    if (!shift && !ctrl && object.toLower().endsWith(QLatin1String("_t"))) {
        const QString column = object.chopped(2);
        const QString expression = column + (ib_flag ? QStringLiteral(" A") : QStringLiteral(" D"));
        ib_flag = !ib_flag;
        list_.setSort(expression);
        list_.applySort();
    }
    if (row <= 0) return;
    if (!shift) {
        i_lng_lastrow = row;
        if (!ctrl) {
            list_.selectRow(0, false);
            list_.selectRow(row, true);
        } else {
            list_.selectRow(row, !list_.isSelected(row));
        }
    } else if (i_lng_lastrow == 0) {
        list_.selectRow(row, true);
        i_lng_lastrow = row;
    } else {
        list_.selectRow(0, false);
        const int from = std::min(i_lng_lastrow, row);
        const int to = std::min(std::max(i_lng_lastrow, row), list_.rowCount());
        for (int r = from; r <= to; ++r) list_.selectRow(r, true);
    }
}

void openRowSourceFile(const FileListModel& list, int row, Desktop& desktop) {
    const QString title = QStringLiteral("提示");
    if (row <= 0 || row > list.rowCount()) {
        desktop.messageBox(title, QStringLiteral("数据窗口为空的情况下，不能通过双击打开源文件"));
        return;
    }
    const QString path = list.cellText(row, Frn1Column::ypath).trimmed() +
                         list.cellText(row, Frn1Column::filey).trimmed();
    if (path.isEmpty()) {
        desktop.messageBox(title, QStringLiteral("文件名不能为空"));
        return;
    }
    openExistingPath(desktop, path, false);
}

void openExistingPath(Desktop& desktop, const QString& path, bool folder) {
    const QFileInfo info(path);
    if (path.isEmpty() || (folder ? !info.isDir() : !info.isFile())) {
        desktop.messageBox(QStringLiteral("提示"), folder ? QStringLiteral("文件夹不存在")
                                                          : QStringLiteral("你要打开的文件不存在"));
        return;
    }
    if (!desktop.openFile(path)) {
        desktop.messageBox(QStringLiteral("操作提示"),
                           QStringLiteral("程序执行非法操作!请对该文件进行正确关联。 \r\n") + path);
    }
}

}  // namespace quorv
