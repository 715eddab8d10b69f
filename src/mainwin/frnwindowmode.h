#pragma once

#include "mainwin/w_frn.h"

namespace quorv {

// The window while a long run (the batch, a folder scan, the content search) works: with
// "minimise" (cbx_1) checked the list stops redrawing and the window is minimised, else
// the cursor may show busy. Everything is put back however the run ends, a run-time
// error included, or earlier by restore().
class WindowMode {
  public:
    enum Cursor { KeepCursor, BusyCursor };
    enum FolderField { FolderFieldOpen, FolderFieldLocked };

    WindowMode(w_frn& w, Cursor cursor, FolderField field = FolderFieldOpen)
        : w_(w),
          minimise_(w.cbx_1->isChecked()),
          busyCursor_(cursor == BusyCursor),
          lockField_(field == FolderFieldLocked) {
        if (lockField_) w_.em_1->setEnabled(false);
        if (minimise_) {
            w_.list().setRedraw(false);
            w_.desktop().minimizeMainWindow();
        } else if (busyCursor_) {
            w_.desktop().setBusyCursor(true);
        }
    }
    ~WindowMode() { restore(); }
    WindowMode(const WindowMode&) = delete;
    WindowMode& operator=(const WindowMode&) = delete;

    void restore() {
        if (restored_) return;
        restored_ = true;
        if (minimise_) {
            w_.list().setRedraw(true);
            w_.desktop().restoreMainWindow();
        } else if (busyCursor_) {
            w_.desktop().setBusyCursor(false);
        }
        if (lockField_) w_.em_1->setEnabled(true);
    }

  private:
    w_frn& w_;
    bool minimise_;
    bool busyCursor_;
    bool lockField_;
    bool restored_ = false;
};

}  // namespace quorv
