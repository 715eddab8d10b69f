#pragma once

#include <QWidget>

#include "platform/desktop.h"

namespace quorv {

// The main window.
class w_frn : public QWidget {
    Q_OBJECT
  public:
    explicit w_frn(Desktop& desktop, QWidget* parent = nullptr);

    // The open event: locates the settings file in the working directory.
    void open();

    Desktop& desktop() { return desktop_; }

  private:
    Desktop& desktop_;
};

}  // namespace quorv
