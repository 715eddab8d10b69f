#include "gui/mainwin/w_frn.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "convert/backend.h"
#include "convert/batch/run.h"
#include "core/defaults.h"
#include "core/globals.h"
#include "core/numerical.h"
#include "core/quorvapp.h"
#include "engines/desktop/appstyle.h"
#include "gui/mainwin/frnhandlers.h"
#include "gui/mainwin/frnlayout.h"
#include "gui/mainwin/listexport.h"

namespace quorv {

namespace {

const QString kPrompt = QStringLiteral("提示");

QFont controlFont() { return uiFont(kFrnFontPoints); }

void scaleGeometry(QWidget* w, double radio) {
    const QRect g = w->geometry();
    w->setGeometry(scaleCut(g.x(), radio), scaleCut(g.y(), radio), scaleCut(g.width(), radio),
                   scaleCut(g.height(), radio));
}

void scaleFont(QWidget* w, double radio) {
    QFont f = w->font();
    f.setPointSize(std::max(1, scaleCut(f.pointSize(), radio)));
    w->setFont(f);
}

QWidget* createControl(const ControlDesign& c, QWidget* parent) {
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
        case ControlKind::MaskedEdit:
            return new MaskedDateTimeEdit(parent);
        case ControlKind::CheckBox:
            return new QCheckBox(caption, parent);
        case ControlKind::DropDownList:
            return new QComboBox(parent);
        case ControlKind::Button:
        case ControlKind::PictureButton:
            return new QPushButton(caption, parent);
        case ControlKind::SingleLineEdit:
            return new QLineEdit(parent);
        case ControlKind::StaticText:
            return new QLabel(caption, parent);
        case ControlKind::RadioButton:
            return new QRadioButton(caption, parent);
        case ControlKind::ProgressBar:
            return new QProgressBar(parent);
        case ControlKind::GroupBox:
            return new QGroupBox(caption, parent);
        case ControlKind::Grid:
            return new Dw1View(parent);
        case ControlKind::ListBox:
            return new QListWidget(parent);
    }
    return new QWidget(parent);
}

}  // namespace

MaskedDateTimeEdit::MaskedDateTimeEdit(QWidget* parent) : QLineEdit(parent) {
    setInputMask(QStringLiteral("0000-00-00 00:00:00"));
}

QString MaskedDateTimeEdit::value() const {
    const QString t = text();
    for (QChar ch : t) {
        if (ch.isDigit()) return t;
    }
    return QString();
}

void MaskedDateTimeEdit::setValue(const QString& text) {
    if (text.isEmpty()) {
        clear();
    } else {
        setText(text);
    }
}

w_frn::w_frn(Desktop& desktop, QWidget* parent)
    : QWidget(parent), desktop_(desktop), clicks_(list_) {
    setObjectName(QStringLiteral("w_frn"));
    setWindowTitle(QStringLiteral("Quorvane(V2.1)"));
    setWindowIcon(appIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(166, 202, 240));
    setPalette(pal);
    setAutoFillBackground(true);
    resize(frnDesignClientSize());
    createControls();
    connectHandlers();
    installFrnHandlers(*this);
}

void w_frn::createControls() {
    for (const ControlDesign& c : frnControls()) {
        QWidget* w = createControl(c, this);
        w->setObjectName(QLatin1String(c.name));
        QRect g = unitsToPixels(c);
        // The designed height of a drop-down list is that of its open list; closed it is
        // as high as an edit.
        if (c.kind == ControlKind::DropDownList) g.setHeight(unitsToPixelsY(128));
        w->setGeometry(g);
        w->setFont(controlFont());
        controls_.push_back(w);
    }
    auto get = [this]<typename T>(T*& member, const char* name) {
        member = findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
        Q_ASSERT(member);
    };
    get(em_1, "em_1");
    get(cbx_1, "cbx_1");
    get(ddlb_1, "ddlb_1");
    get(cb_9, "cb_9");
    get(cb_5, "cb_5");
    get(sle_3, "sle_3");
    get(st_3, "st_3");
    get(st_2, "st_2");
    get(cb_4, "cb_4");
    get(rb_10, "rb_10");
    get(rb_9, "rb_9");
    get(rb_8, "rb_8");
    get(rb_6, "rb_6");
    get(rb_7, "rb_7");
    get(rb_5, "rb_5");
    get(sle_2, "sle_2");
    get(st_1, "st_1");
    get(cb_3, "cb_3");
    get(cb_2, "cb_2");
    get(cbx_4, "cbx_4");
    get(cb_11, "cb_11");
    get(vpb_1, "vpb_1");
    get(rb_4, "rb_4");
    get(rb_3, "rb_3");
    get(sle_1, "sle_1");
    get(st_5, "st_5");
    get(cbx_3, "cbx_3");
    get(pb_1, "pb_1");
    get(cbx_2, "cbx_2");
    get(cb_8, "cb_8");
    get(cb_6, "cb_6");
    get(dw_1, "dw_1");
    get(lb_1, "lb_1");
    get(cb_1, "cb_1");
    get(gb_4, "gb_4");
    get(gb_3, "gb_3");
    get(gb_1, "gb_1");
    get(gb_2, "gb_2");

    statusLine = new QLabel(this);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    statusLine->setGeometry(unitsToPixels(statusLineDesign()));
    statusLine->setFont(controlFont());
    statusLine->setTextFormat(Qt::PlainText);
    failedOnly = new QCheckBox(QString::fromUtf8(failedOnlyDesign().caption), this);
    failedOnly->setObjectName(QStringLiteral("failedOnly"));
    failedOnly->setGeometry(unitsToPixels(failedOnlyDesign()));
    failedOnly->setFont(controlFont());
    failedOnly->setFocusPolicy(Qt::ClickFocus);
    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(1000);
    connect(statusTimer_, &QTimer::timeout, this, &w_frn::showStatus);

    em_1->hide();
    cbx_1->setChecked(true);
    ddlb_1->addItems(fileTypeItems());
    ddlb_1->setCurrentIndex(-1);
    ddlb_1->setMaxVisibleItems(static_cast<int>(fileTypeItems().size()));
    sle_2->setReadOnly(true);
    st_2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    vpb_1->setOrientation(Qt::Vertical);
    vpb_1->setRange(0, 1000);
    vpb_1->setValue(0);
    vpb_1->setTextVisible(false);
    dw_1->setBaseFont(controlFont());
    dw_1->setModel(&list_);
    connect(&list_, &FileListModel::redrawChanged, dw_1->viewport(),
            [this](bool on) { dw_1->viewport()->setUpdatesEnabled(on); });

    // The two radio groups are independent of each other.
    for (QRadioButton* b : {rb_4, rb_3}) {
        b->setAutoExclusive(false);
        filterGroup_.addButton(b);
    }
    for (QRadioButton* b : {rb_5, rb_8, rb_9, rb_6, rb_7, rb_10}) {
        b->setAutoExclusive(false);
        outputGroup_.addButton(b);
    }
    rb_3->setChecked(true);
    lastFilterButton_ = rb_3;
    rb_5->setChecked(true);

    // Earlier controls lie above later ones, so the group boxes stay behind what they frame.
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) (*it)->raise();
    statusLine->raise();
    failedOnly->raise();
    recordLayoutBase();

    // Tab order by the tab numbers; a control without one is not reached with Tab.
    std::vector<std::pair<int, QWidget*>> tabbed;
    for (size_t i = 0; i < controls_.size(); ++i) {
        const int tab = frnControls()[i].tab;
        if (tab > 0) {
            tabbed.emplace_back(tab, controls_[i]);
        } else if (controls_[i]->focusPolicy() != Qt::NoFocus) {
            controls_[i]->setFocusPolicy(Qt::ClickFocus);
        }
    }
    std::stable_sort(tabbed.begin(), tabbed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabbed.size(); ++i) {
        QWidget::setTabOrder(tabbed[i - 1].second, tabbed[i].second);
    }
}

void w_frn::connectHandlers() {
    connect(cbx_1, &QCheckBox::clicked, this, &w_frn::cbx_1_clicked);
    connect(ddlb_1, &QComboBox::activated, this,
            [this](int index) { ddlb_1_selectionchanged(index + 1); });
    connect(cb_9, &QPushButton::clicked, this, &w_frn::cb_9_clicked);
    connect(cb_11, &QPushButton::clicked, this, &w_frn::cb_11_clicked);
    connect(rb_3, &QRadioButton::clicked, this, &w_frn::rb_3_clicked);
    connect(rb_4, &QRadioButton::clicked, this, &w_frn::rb_4_clicked);
    connect(pb_1, &QPushButton::clicked, this, &w_frn::pb_1_clicked);
    connect(cb_8, &QPushButton::clicked, this, &w_frn::cb_8_clicked);
    connect(cb_6, &QPushButton::clicked, this, &w_frn::cb_6_clicked);
    connect(cb_1, &QPushButton::clicked, this, &w_frn::cb_1_clicked);
    connect(cb_2, &QPushButton::clicked, this, &w_frn::cb_2_clicked);
    connect(cb_3, &QPushButton::clicked, this, &w_frn::cb_3_clicked);
    connect(cb_4, &QPushButton::clicked, this, &w_frn::cb_4_clicked);
    connect(cb_5, &QPushButton::clicked, this, &w_frn::cb_5_clicked);
    connect(dw_1, &Dw1View::clickedAt, this,
            [this](int row, const QString& object, Qt::KeyboardModifiers m) {
                dw_1_clicked(row, object, m.testFlag(Qt::ShiftModifier),
                             m.testFlag(Qt::ControlModifier));
            });
    connect(dw_1, &Dw1View::doubleClickedAt, this,
            [this](int row, const QString&) { dw_1_doubleclicked(row); });
    connect(dw_1->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        const QString object =
            frn1ColumnName(FileListModel::columnAt(section)) + QStringLiteral("_t");
        const auto m = QGuiApplication::keyboardModifiers();
        dw_1_clicked(0, object, m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier));
    });
    connect(dw_1->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this](int) { dw_1_doubleclicked(0); });
    connect(dw_1, &Dw1View::pathsDropped, this, &w_frn::dw_1_dropped);
    connect(dw_1, &Dw1View::menuRequested, this, [this](int row, const QPoint& at) {
        if (QMenu* menu = makeRowMenu(row, this)) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(at);
        }
    });
    connect(failedOnly, &QCheckBox::clicked, this, &w_frn::failedOnly_clicked);
    // The box follows the list: clearing the filter clears it too.
    connect(&list_, &FileListModel::filterApplied, this, [this](bool on) {
        failedOnly->setChecked(on);
        showStatus();
    });
}

void w_frn::open() {
    QSize screen(1280, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
    open(screen);
}

void w_frn::open(QSize screen) {
    f_resize(screen);
    globals().profile = profilePathFor(globals().ap_path);
    const FrnOptions o = readFrnOptions(globals().profile);
    if (globals().sfbtm == QLatin1String("y")) applyTranslucency();
    lb_1->hide();
    vpb_1->hide();
    setOutputMode(o.outputMode);
    ddlb_1->setCurrentIndex(o.fileTypeItem - 1);
    em_1->setVisible(o.em1Visible);
    ls_path1 = o.ls_path1;
    sle_2->setText(o.mpath);
    em_1->setValue(o.fdt);
    cbx_1->setChecked(o.minimize);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect avail = s->availableGeometry();
        move(avail.center() - rect().center());
    }
    restorePlace();
}

void w_frn::restorePlace() {
    const QString& profile = globals().profile;
    dw_1->setWidthsText(readSetting(profile, Key::Lkd, Reader::MainWindow));
    const auto saved = parseWindowPlace(readSetting(profile, Key::Ckwz, Reader::MainWindow));
    if (saved) {
        QRect avail(QPoint(0, 0), saved->size());
        if (QScreen* s = QGuiApplication::primaryScreen()) avail = s->availableGeometry();
        setGeometry(fitWindowPlace(*saved, avail, minimumSize()));
    }
    if (readSetting(profile, Key::Ckzd, Reader::MainWindow) == QLatin1String("y")) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void w_frn::recordLayoutBase() {
    baseRects_.clear();
    for (QWidget* c : controls_) baseRects_.push_back(c->geometry());
    baseRects_.push_back(statusLine->geometry());
    baseRects_.push_back(failedOnly->geometry());
    baseSize_ = size();
    setMinimumSize(baseSize_);
    layoutReady_ = true;
}

void w_frn::relayout() {
    if (!layoutReady_) return;
    const QSize extra = size() - baseSize_;
    for (size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->setGeometry(anchoredRect(baseRects_[i], frnAnchor(frnControls()[i]), extra));
    }
    statusLine->setGeometry(
        anchoredRect(baseRects_[controls_.size()], Anchor::BottomGrowWidth, extra));
    failedOnly->setGeometry(
        anchoredRect(baseRects_[controls_.size() + 1], Anchor::BottomRight, extra));
}

void w_frn::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void w_frn::showStatus() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    statusLine->setText(statusLineText(status_, now, list_.rowCount(), list_.totalRowCount(),
                                       list_.failedOnly() || !list_.filterExpression().isEmpty()));
    // While a run goes on, the time left is told anew every second.
    if (status_.running() && !statusTimer_->isActive()) statusTimer_->start();
    if (!status_.running()) statusTimer_->stop();
}

QMenu* w_frn::makeRowMenu(int row, QWidget* parent) {
    const std::vector<RowMenuEntry> entries = rowMenuEntries(list_, row);
    if (entries.empty()) return nullptr;
    auto* menu = new QMenu(parent);
    menu->setFont(controlFont());
    for (const RowMenuEntry& e : entries) {
        QAction* a = menu->addAction(e.text);
        a->setEnabled(e.enabled);
        const RowAction action = e.action;
        connect(a, &QAction::triggered, this, [this, row, action] { dw_1_rowaction(row, action); });
    }
    return menu;
}

void w_frn::applyTranslucency() {
    constexpr int32_t kLayered = 0x80000;
    exStyle_ = n_cst_numerical().of_bitwiseor(exStyle_, kLayered);
    setWindowOpacity(228 / 255.0);
}

void w_frn::f_resize(QSize screen) {
    const ResizePlan plan = planResize(screen);
    if (!plan.changes()) return;
    const double radio = plan.radio;
    const bool wasVisible = isVisible();
    if (wasVisible) hide();
    layoutReady_ = false;
    setMinimumSize(0, 0);
    resize(scaleCut(width(), radio), scaleCut(height(), radio));
    for (size_t i = 0; i < controls_.size(); ++i) {
        QWidget* w = controls_[i];
        scaleGeometry(w, radio);
        const ControlKind kind = frnControls()[i].kind;
        if (kind == ControlKind::Grid) {
            dw_1->setZoom(zoomText(radio));
        } else if (kindScalesFont(kind)) {
            scaleFont(w, radio);
        }
    }
    // The status line and its box scale as the text controls do.
    for (QWidget* w : {static_cast<QWidget*>(statusLine), static_cast<QWidget*>(failedOnly)}) {
        scaleGeometry(w, radio);
        scaleFont(w, radio);
    }
    recordLayoutBase();
    if (wasVisible) show();
}

OutputMode w_frn::outputMode() const {
    if (rb_5->isChecked()) return OutputMode::Pdf;
    if (rb_8->isChecked()) return OutputMode::Xps;
    if (rb_9->isChecked()) return OutputMode::Custom;
    if (rb_6->isChecked()) return OutputMode::Swf;
    if (rb_7->isChecked()) return OutputMode::Ofd;
    if (rb_10->isChecked()) return OutputMode::Original;
    return OutputMode::None;
}

void w_frn::setOutputMode(OutputMode mode) {
    switch (mode) {
        case OutputMode::Pdf:
            rb_5->setChecked(true);
            break;
        case OutputMode::Xps:
            rb_8->setChecked(true);
            break;
        case OutputMode::Custom:
            rb_9->setChecked(true);
            break;
        case OutputMode::Swf:
            rb_6->setChecked(true);
            break;
        case OutputMode::Ofd:
            rb_7->setChecked(true);
            break;
        case OutputMode::Original:
            rb_10->setChecked(true);
            break;
        case OutputMode::None:
            outputGroup_.setExclusive(false);
            for (QAbstractButton* b : outputGroup_.buttons()) b->setChecked(false);
            outputGroup_.setExclusive(true);
            break;
    }
}

int w_frn::fileTypeItem() const { return ddlb_1->currentIndex() + 1; }

void w_frn::writeCloseOptions() {
    const QString text = ddlb_1->currentText();
    szf = text.left(1);
    writeFrnCloseOptions(globals().profile, outputMode(), text, em_1->value());
    const QString& profile = globals().profile;
    writeSetting(profile, Key::Ckwz, windowPlaceText(normalGeometry()));
    writeSetting(profile, Key::Ckzd, isMaximized() ? QStringLiteral("y") : QStringLiteral("n"));
    writeSetting(profile, Key::Lkd, dw_1->widthsText());
}

void w_frn::setRunningBatch(BatchRun* run) {
    runningBatch_ = run;
    if (!run && closeAfterRun_) {
        closeAfterRun_ = false;
        // After the run's handler has returned and the window is no longer busy.
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void w_frn::closeEvent(QCloseEvent* event) {
    // Closing under a running operation would pull the window from under its loop: a
    // batch or search is stopped as Escape stops it, and the window closes once it ends.
    if (busy()) {
        if (runningBatch_) {
            closeAfterRun_ = true;
            runningBatch_->stop();
        }
        event->ignore();
        return;
    }
    runHandler(QStringLiteral("w_frn"), QStringLiteral("close"), [this] { writeCloseOptions(); });
    // The offices readied for a run end with the window.
    warmWorkerOffices(0);
    event->accept();
}

void w_frn::cbx_1_clicked() {
    runHandler(QStringLiteral("cbx_1"), QStringLiteral("clicked"), [this] {
        writeSetting(globals().profile, Key::Sfzxh,
                     cbx_1->isChecked() ? QStringLiteral("y") : QStringLiteral("n"));
    });
}

void w_frn::ddlb_1_selectionchanged(int item) {
    runHandler(QStringLiteral("ddlb_1"), QStringLiteral("selectionchanged"),
               [&] { em_1->setVisible(item == 7); });
}

void w_frn::cb_9_clicked() {
    runHandler(QStringLiteral("cb_9"), QStringLiteral("clicked"), [this] {
        if (busy() || list_.rowCount() == 0) return;
        QFont f = cb_9->font();
        f.setItalic(true);
        cb_9->setFont(f);
        list_.setRedraw(false);
        list_.invertSelection();
        f.setItalic(false);
        cb_9->setFont(f);
        list_.setRedraw(true);
    });
}

void w_frn::cb_11_clicked() {
    runHandler(QStringLiteral("cb_11"), QStringLiteral("clicked"), [this] {
        const Desktop::FileSaveResult r = desktop_.fileSaveDialog(
            QStringLiteral("另存为"), exportFilterText(), QStringLiteral("csv"), QString());
        if (r.result != 1 || r.path.isEmpty()) return;
        if (!exportList(list_, r.path, exportFormatAt(r.filterIndex))) {
            desktop_.messageBox(kPrompt, QStringLiteral("文件保存失败：") + r.path);
        }
    });
}

void w_frn::rb_3_clicked() {
    runHandler(QStringLiteral("rb_3"), QStringLiteral("clicked"), [this] {
        if (busy()) {
            lastFilterButton_->setChecked(true);
            return;
        }
        if (rb_3->isChecked()) {
            rb_4->setChecked(false);
            list_.setFilter(QString());
            list_.applyFilter();
        } else {
            rb_4->setChecked(true);
        }
        lastFilterButton_ = rb_3->isChecked() ? rb_3 : rb_4;
    });
}

void w_frn::pb_1_clicked() {
    runHandler(QStringLiteral("pb_1"), QStringLiteral("clicked"), [this] {
        QString folder;
        if (!desktop_.folderDialog(QStringLiteral("选择欲放置更名后的文件所在的目标文件夹"),
                                   sle_2->text(), &folder)) {
            desktop_.messageBox(kPrompt, QStringLiteral("目标文件夹选择被取消"));
            return;
        }
        ls_path2 = folder;
        sle_2->setText(ls_path2);
        writeSetting(globals().profile, Key::Mpath, ls_path2);
    });
}

void w_frn::cb_8_clicked() {
    runHandler(QStringLiteral("cb_8"), QStringLiteral("clicked"), [this] {
        if (busy()) return;
        list_.removeAll();
        vpb_1->setValue(0);
    });
}

void w_frn::cb_6_clicked() {
    runHandler(QStringLiteral("cb_6"), QStringLiteral("clicked"), [this] {
        if (busy()) return;
        if (list_.rowCount() == 0) {
            desktop_.messageBox(kPrompt, QStringLiteral("还没有源文件"));
            return;
        }
        list_.removeSelected();
    });
}

void w_frn::dw_1_clicked(int row, const QString& object, bool shift, bool ctrl) {
    runHandler(QStringLiteral("dw_1"), QStringLiteral("clicked"), [&] {
        if (busy()) return;
        clicks_.clicked(row, object, shift, ctrl);
    });
}

void w_frn::dw_1_doubleclicked(int row) {
    runHandler(QStringLiteral("dw_1"), QStringLiteral("doubleclicked"),
               [&] { openRowSourceFile(list_, row, desktop_); });
}

void w_frn::runHook(const char* control, const std::function<void()>& hook) {
    runHandler(QLatin1String(control), QStringLiteral("clicked"), [&] {
        if (busy() || !hook) return;
        const BusyState::Scope scope = beginBusy();
        hook();
    });
}

void w_frn::failedOnly_clicked() {
    runHandler(QStringLiteral("failedOnly"), QStringLiteral("clicked"), [this] {
        // A run writes its results to the rows as shown: they must not move under it.
        if (busy()) {
            failedOnly->setChecked(list_.failedOnly());
            return;
        }
        list_.setFailedOnly(failedOnly->isChecked());
        list_.applyFilter();
    });
}

void w_frn::dw_1_dropped(const QStringList& paths) {
    runHandler(QStringLiteral("dw_1"), QStringLiteral("dropped"), [&] {
        if (busy() || !hooks_.drop) return;
        const BusyState::Scope scope = beginBusy();
        hooks_.drop(paths);
    });
}

void w_frn::dw_1_rowaction(int row, RowAction action) {
    runHandler(QStringLiteral("dw_1"), QStringLiteral("rowaction"),
               [&] { runRowAction(list_, row, action, desktop_); });
}

void w_frn::cb_1_clicked() { runHook("cb_1", hooks_.cb_1); }
void w_frn::cb_2_clicked() { runHook("cb_2", hooks_.cb_2); }
void w_frn::cb_3_clicked() { runHook("cb_3", hooks_.cb_3); }
void w_frn::cb_4_clicked() { runHook("cb_4", hooks_.cb_4); }
void w_frn::cb_5_clicked() { runHook("cb_5", hooks_.cb_5); }

void w_frn::rb_4_clicked() {
    if (busy()) {
        lastFilterButton_->setChecked(true);
        return;
    }
    lastFilterButton_ = rb_4;
    runHook("rb_4", hooks_.rb_4);
}

}  // namespace quorv
