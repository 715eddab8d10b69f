#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "gui/mainwin/w_frn.h"

namespace quorv {

// The window while a long run (the batch, a folder scan, the content search) works: with
// "minimise" (cbx_1) checked the list stops redrawing and the window is minimised, else
// the cursor may show busy. The controls that would change what the run reads, or open
// another window, are disabled meanwhile: a change made there would be silently ignored.
// Everything is put back however the run ends, a run-time error included, or earlier by
// restore().
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
        const std::initializer_list<QWidget*> inputs{
            w_.pb_1,   w_.cb_4,  w_.rb_5,  w_.rb_8,  w_.rb_9, w_.rb_6, w_.rb_7, w_.rb_10,
            w_.ddlb_1, w_.cbx_2, w_.cbx_4, w_.cbx_3, w_.cb_1, w_.cb_2, w_.cb_3, w_.cb_5};
        for (QWidget* c : inputs) {
            locked_.emplace_back(c, c->isEnabled());
            c->setEnabled(false);
        }
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
        for (const auto& [c, enabled] : locked_) c->setEnabled(enabled);
    }

  private:
    w_frn& w_;
    bool minimise_;
    bool busyCursor_;
    bool lockField_;
    bool restored_ = false;
    std::vector<std::pair<QWidget*, bool>> locked_;  // each control and whether it was enabled
};

}  // namespace quorv
