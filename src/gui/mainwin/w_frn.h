#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "engines/desktop/desktop.h"
#include "gui/mainwin/dw1view.h"
#include "gui/mainwin/frn1.h"
#include "gui/mainwin/frnbusy.h"
#include "gui/mainwin/frnoptions.h"
#include "gui/mainwin/frnstatus.h"
#include "gui/mainwin/listclicks.h"
#include "gui/mainwin/rowmenu.h"

class QMenu;
class QTimer;

namespace quorv {

class BatchRun;

// The modified-since box: a date-time mask "yyyy-mm-dd hh:mm:ss".
class MaskedDateTimeEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit MaskedDateTimeEdit(QWidget* parent = nullptr);
    // The text as typed; empty while no digit has been entered.
    QString value() const;
    void setValue(const QString& text);
};

// The operations that later parts of the window plug in. Each runs inside the window's
// busy state: while one runs, list-changing clicks are ignored, and a second one cannot
// start. An empty hook makes its button do nothing.
struct FrnHooks {
    std::function<void()> cb_1;  // "添加文件夹": folder scan
    std::function<void()> cb_2;  // "添加文件": add files from the file dialog
    std::function<void()> cb_3;  // "开始输出": batch run
    std::function<void()> cb_4;  // "设置": settings window
    std::function<void()> cb_5;  // "搜索": content search
    std::function<void()> rb_4;  // "过滤": name filter
    // Files and folders dropped on the list.
    std::function<void(const QStringList& paths)> drop;
};

// The main window.
class w_frn : public QWidget {
    Q_OBJECT
  public:
    explicit w_frn(Desktop& desktop, QWidget* parent = nullptr);

    // The open event, scaled to the primary screen (or to `screen`).
    void open();
    void open(QSize screen);

    // Scales the window and its controls once from the screen size.
    void f_resize(QSize screen);

    // The close handler's writes (run by the close event as well).
    void writeCloseOptions();

    // The status line under the list: what it counts, and showing it anew.
    RunStatus& status() { return status_; }
    void showStatus();
    // The row menu of shown row `row`; null when there is no such row.
    QMenu* makeRowMenu(int row, QWidget* parent);

    Desktop& desktop() { return desktop_; }
    FileListModel& list() { return list_; }
    Dw1Clicks& clicks() { return clicks_; }
    FrnHooks& hooks() { return hooks_; }

    bool busy() const { return busy_.busy(); }
    // The batch or search now running, so that closing the window can stop it first.
    void setRunningBatch(BatchRun* run);
    [[nodiscard]] BusyState::Scope beginBusy() { return busy_.begin(); }

    // The checked output mode; None when no mode button is checked.
    OutputMode outputMode() const;
    void setOutputMode(OutputMode mode);
    // The chosen item of ddlb_1, from 1; 0 for none.
    int fileTypeItem() const;

    // The window's extended style word; the translucent open adds the layered bit.
    int32_t extendedStyle() const { return exStyle_; }

    // Controls, by their names.
    MaskedDateTimeEdit* em_1;
    QCheckBox* cbx_1;
    QComboBox* ddlb_1;
    QPushButton* cb_9;
    QPushButton* cb_5;
    QLineEdit* sle_3;
    QLabel* st_3;
    QLabel* st_2;
    QPushButton* cb_4;
    QRadioButton* rb_10;
    QRadioButton* rb_9;
    QRadioButton* rb_8;
    QRadioButton* rb_6;
    QRadioButton* rb_7;
    QRadioButton* rb_5;
    QLineEdit* sle_2;
    QLabel* st_1;
    QPushButton* cb_3;
    QPushButton* cb_2;
    QCheckBox* cbx_4;
    QPushButton* cb_11;
    QProgressBar* vpb_1;
    QRadioButton* rb_4;
    QRadioButton* rb_3;
    QLineEdit* sle_1;
    QLabel* st_5;
    QCheckBox* cbx_3;
    QPushButton* pb_1;
    QCheckBox* cbx_2;
    QPushButton* cb_8;
    QPushButton* cb_6;
    Dw1View* dw_1;
    QListWidget* lb_1;
    QPushButton* cb_1;
    QGroupBox* gb_4;
    QGroupBox* gb_3;
    QGroupBox* gb_1;
    QGroupBox* gb_2;
    // Added under the list: a run's progress and outcome, and the failed-rows filter.
    QLabel* statusLine;
    QCheckBox* failedOnly;

    // Every control in the window's control order.
    const std::vector<QWidget*>& controls() const { return controls_; }

    // Window members shared by the handlers.
    QString ls_path1;  // last folder of a folder scan
    QString ls_path2;  // output folder last chosen with the folder dialog
    QString szf;       // first character of the file-type choice

  public slots:
    void cbx_1_clicked();
    void ddlb_1_selectionchanged(int item);
    void cb_9_clicked();
    void cb_11_clicked();
    void rb_3_clicked();
    void pb_1_clicked();
    void cb_8_clicked();
    void cb_6_clicked();
    void dw_1_clicked(int row, const QString& object, bool shift, bool ctrl);
    void dw_1_doubleclicked(int row);
    // Buttons whose work is a hook.
    void cb_1_clicked();
    void cb_2_clicked();
    void cb_3_clicked();
    void cb_4_clicked();
    void cb_5_clicked();
    void rb_4_clicked();
    void failedOnly_clicked();
    void dw_1_dropped(const QStringList& paths);
    void dw_1_rowaction(int row, RowAction action);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    BatchRun* runningBatch_ = nullptr;
    bool closeAfterRun_ = false;
    void createControls();
    void connectHandlers();
    void runHook(const char* control, const std::function<void()>& hook);
    void applyTranslucency();
    // The sizes the layout was scaled to; a larger window gives the room to the list.
    void recordLayoutBase();
    void relayout();
    void restorePlace();

    Desktop& desktop_;
    FileListModel list_;
    Dw1Clicks clicks_;
    FrnHooks hooks_;
    BusyState busy_;
    std::vector<QWidget*> controls_;
    QButtonGroup filterGroup_;
    QButtonGroup outputGroup_;
    QRadioButton* lastFilterButton_ = nullptr;
    int32_t exStyle_ = 0x00000300;  // window edge and client edge
    RunStatus status_;
    QTimer* statusTimer_ = nullptr;
    std::vector<QRect> baseRects_;  // controls, then the status line and its box
    QSize baseSize_;
    bool layoutReady_ = false;
};

}  // namespace quorv
