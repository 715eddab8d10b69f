#pragma once

#include <QString>
#include <vector>

#include "engines/desktop/desktop.h"
#include "gui/mainwin/frn1.h"

namespace quorv {

// What the list's row menu (right click) offers.
enum class RowAction { OpenSource, OpenOutput, OpenFolder, CopyPath, CopyReason };

struct RowMenuEntry {
    RowAction action;
    QString text;
    bool enabled = true;
};

// The entries for shown row `row`, in menu order; none when there is no such row. The
// output entry is there once a run wrote an output for the row; copying the reason is
// offered only when the row has one.
std::vector<RowMenuEntry> rowMenuEntries(const FileListModel& list, int row);

// Carries out an entry through the desktop; a file or folder that is gone is said so.
void runRowAction(const FileListModel& list, int row, RowAction action, Desktop& desktop);

}  // namespace quorv
