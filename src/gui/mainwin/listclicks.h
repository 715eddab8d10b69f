#pragma once

#include <QString>

#include "engines/desktop/desktop.h"
#include "gui/mainwin/frn1.h"

namespace quorv {

// The click and double-click rules of the file list, apart from any widget.
class Dw1Clicks {
  public:
    explicit Dw1Clicks(FileListModel& list) : list_(list) {}

    // A click. row: the clicked data row, 0 when not on one; object: the name of what is
    // under the pointer, "<column>_t" for a column header.
    void clicked(int row, const QString& object, bool shift, bool ctrl);

    // The direction of the next header sort: true ascending.
    bool ib_flag = false;
    // Anchor row of a Shift range; 0 for none.
    int i_lng_lastrow = 0;

  private:
    FileListModel& list_;
};

// A double-click on `row` (0 or less when not on a data row): opens the row's source file
// with the desktop's default program, or says why it cannot.
void openRowSourceFile(const FileListModel& list, int row, Desktop& desktop);
// Opens a file (or, with `folder`, a folder) with the desktop's default program, or says
// that it is gone or that nothing opened it.
void openExistingPath(Desktop& desktop, const QString& path, bool folder);

}  // namespace quorv
