#include <QHeaderView>
#include <QtTest/QTest>

#include "fakes/qt_print.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnlayout.h"

namespace quorv {
namespace {

using testing::WindowFixture;

struct Expect {
    const char* name;
    const char* kind;  // class name
    const char* caption;
};

TEST(MainWindow, EveryControlWithKindCaptionAndDesignPosition) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    // Initial states before the options are applied.
    EXPECT_TRUE(w.cbx_1->isChecked());
    EXPECT_FALSE(w.cbx_2->isChecked());
    EXPECT_FALSE(w.cbx_3->isChecked());
    EXPECT_FALSE(w.cbx_4->isChecked());
    EXPECT_TRUE(w.rb_5->isChecked());
    EXPECT_TRUE(w.rb_3->isChecked());
    EXPECT_FALSE(w.rb_4->isChecked());

    w.open(QSize(1280, 768));
    const Expect all[] = {
        {"em_1", "quorv::MaskedDateTimeEdit", ""},
        {"cbx_1", "QCheckBox", "最小化窗口运行"},
        {"ddlb_1", "QComboBox", ""},
        {"cb_9", "QPushButton", "反向选择"},
        {"cb_5", "QPushButton", "搜索"},
        {"sle_3", "QLineEdit", ""},
        {"st_3", "QLabel", "内容包含"},
        {"st_2", "QLabel", ""},
        {"cb_4", "QPushButton", "设置"},
        {"rb_10", "QRadioButton", "原格式"},
        {"rb_7", "QRadioButton", "ofd"},
        {"rb_9", "QRadioButton", "自定义"},
        {"rb_8", "QRadioButton", "xps"},
        {"rb_6", "QRadioButton", "swf"},
        {"rb_5", "QRadioButton", "pdf"},
        {"sle_2", "QLineEdit", ""},
        {"st_1", "QLabel", "输出目录："},
        {"cb_3", "QPushButton", "开始输出"},
        {"cb_2", "QPushButton", "添加文件"},
        {"cbx_4", "QCheckBox", "包括隐藏文件"},
        {"cb_11", "QPushButton", "另存为"},
        {"vpb_1", "QProgressBar", ""},
        {"rb_4", "QRadioButton", "过滤"},
        {"rb_3", "QRadioButton", "不过滤"},
        {"sle_1", "QLineEdit", ""},
        {"st_5", "QLabel", "源文件名包含"},
        {"cbx_3", "QCheckBox", "保留子目录结构"},
        {"pb_1", "QPushButton", "浏览..."},
        {"cbx_2", "QCheckBox", "包括子文件夹"},
        {"cb_8", "QPushButton", "全部移除"},
        {"cb_6", "QPushButton", "移除所选"},
        {"dw_1", "quorv::Dw1View", ""},
        {"lb_1", "QListWidget", ""},
        {"cb_1", "QPushButton", "添加文件夹"},
        {"gb_4", "QGroupBox", "是否过滤"},
        {"gb_3", "QGroupBox", "添加文件夹"},
        {"gb_1", "QGroupBox", "输出格式"},
        {"gb_2", "QGroupBox", "文件列表"},
    };
    ASSERT_EQ(w.controls().size(), std::size(all));
    for (size_t i = 0; i < std::size(all); ++i) {
        const Expect& e = all[i];
        SCOPED_TRACE(e.name);
        QWidget* c = w.controls()[i];
        ASSERT_EQ(c->objectName(), e.name);  // control order
        EXPECT_EQ(c->parentWidget(), &w);
        EXPECT_STREQ(c->metaObject()->className(), e.kind);
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(c)) caption = b->text();
        if (auto* l = qobject_cast<QLabel*>(c)) caption = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(c)) caption = g->title();
        if (auto* le = qobject_cast<QLineEdit*>(c)) caption = le->text();
        if (auto* em = qobject_cast<MaskedDateTimeEdit*>(c)) caption = em->value();
        EXPECT_EQ(caption, QString::fromUtf8(e.caption));
        const ControlDesign* planned = frnControl(e.name);
        ASSERT_NE(planned, nullptr);
        // 1280/5600 px a unit across, 768/3072 down, so the design fills 1280 x 768.
        const QRect g = c->geometry();
        EXPECT_EQ(g.x(), planned->x * 1280 / 5600);
        EXPECT_EQ(g.y(), planned->y / 4);
        EXPECT_EQ(g.width(), planned->width * 1280 / 5600);
        if (c != w.ddlb_1) {
            EXPECT_EQ(g.height(), planned->height / 4);
        }
        EXPECT_NEAR(g.x() * 5600.0 / 1280, planned->x, 5);
        if (c != w.dw_1 && c != w.vpb_1) {
            EXPECT_EQ(c->font().pointSize(), 9);
        }
    }
    EXPECT_EQ(w.size(), QSize(1226, 705));
    EXPECT_EQ(w.windowTitle(), "Quorvane(V2.1)");
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(166, 202, 240));
    EXPECT_EQ(w.ddlb_1->count(), 9);
    EXPECT_EQ(w.ddlb_1->itemText(0), "选择文件类型(或日期):");
    EXPECT_EQ(w.ddlb_1->itemText(6), "6.修改日期起:");
    EXPECT_EQ(w.ddlb_1->itemText(8), "8.全部办公文档");
    EXPECT_EQ(w.vpb_1->orientation(), Qt::Vertical);
    EXPECT_EQ(w.vpb_1->maximum(), 1000);
    EXPECT_TRUE(w.sle_2->isReadOnly());
    EXPECT_EQ(w.em_1->inputMask().left(19), "0000-00-00 00:00:00");
    EXPECT_EQ(w.dw_1->model()->headerData(5, Qt::Horizontal).toString(), "修改日期");
    w.show();
    EXPECT_FALSE(w.lb_1->isVisible());
    EXPECT_FALSE(w.vpb_1->isVisible());
    EXPECT_TRUE(w.cb_3->isVisible());
    // Group boxes lie behind what they frame: a click inside the list reaches the list.
    EXPECT_TRUE(w.dw_1->isAncestorOf(w.childAt(w.dw_1->geometry().center())));
    EXPECT_EQ(w.childAt(w.rb_5->geometry().center()), w.rb_5);

    // Tab order by the tab numbers; controls without one are skipped.
    const QStringList tabOrder{"cbx_1", "cbx_4", "cbx_2", "ddlb_1", "sle_1", "cb_1", "cb_4",
                               "cb_3",  "cb_2",  "cb_6",  "sle_2",  "cb_8",  "lb_1", "cbx_3",
                               "em_1",  "pb_1",  "cb_11", "dw_1",   "sle_3", "cb_5", "cb_9"};
    QStringList chain;
    QWidget* at = w.cbx_1;
    for (int guard = 0; guard < 500 && chain.size() < tabOrder.size(); ++guard) {
        if (at->parentWidget() == &w && (at->focusPolicy() & Qt::TabFocus)) {
            chain.append(at->objectName());
        }
        at = at->nextInFocusChain();
    }
    EXPECT_EQ(chain, tabOrder);
    EXPECT_FALSE(w.rb_5->focusPolicy() & Qt::TabFocus);
}

TEST(MainWindow, ResizeForALargerScreen) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.f_resize(QSize(1920, 1080));
    const double radio = 1.40625;
    for (size_t i = 0; i < w.controls().size(); ++i) {
        const ControlDesign& planned = frnControls()[i];
        SCOPED_TRACE(planned.name);
        const QRect design = unitsToPixels(planned);
        const QRect g = w.controls()[i]->geometry();
        EXPECT_EQ(g.x(), int(design.x() * radio));
        EXPECT_EQ(g.y(), int(design.y() * radio));
        EXPECT_EQ(g.width(), int(design.width() * radio));
        if (planned.kind != ControlKind::DropDownList) {
            EXPECT_EQ(g.height(), int(design.height() * radio));
        }
    }
    EXPECT_EQ(w.size(), QSize(1724, 991));
    EXPECT_EQ(w.cb_3->font().pointSize(), 12);  // 9 x 1.40625 = 12.66
    EXPECT_EQ(w.gb_2->font().pointSize(), 12);
    EXPECT_EQ(w.dw_1->zoom(), "140");
    EXPECT_EQ(w.vpb_1->font().pointSize(), w.font().pointSize());  // not a text control
}

// The path column takes the list's spare width and the others keep theirs, at the design
// screen and at the screens the scaling enlarges or shrinks the window for.
TEST(MainWindow, PathColumnFillsTheListAtEveryScreenSize) {
    for (const QSize screen : {QSize(1280, 768), QSize(1920, 1080), QSize(1024, 768)}) {
        SCOPED_TRACE(screen.width());
        WindowFixture fx;
        w_frn w(fx.desktop);
        w.open(screen);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        const QHeaderView* h = w.dw_1->horizontalHeader();
        const int zoom = w.dw_1->zoom().toInt();
        int others = 0;
        for (int c = 0; c < h->count(); ++c) {
            if (c == 1) continue;
            EXPECT_EQ(h->sectionSize(c),
                      std::max(h->minimumSectionSize(), Dw1View::kColumnWidths[c] * zoom / 100))
                << c;
            others += h->sectionSize(c);
        }
        // The spare width, but never less than its own: a narrow list scrolls sideways to
        // the reason column.
        const int floor = std::max(h->minimumSectionSize(), Dw1View::kColumnWidths[1] * zoom / 100);
        EXPECT_EQ(h->sectionSize(1), std::max(floor, w.dw_1->viewport()->width() - others));
        EXPECT_EQ(h->length(), std::max(w.dw_1->viewport()->width(), others + floor))
            << "no empty band on the right";

        // Widening another column by hand takes the width from the path column, down to
        // its own.
        const int path = h->sectionSize(1);
        w.dw_1->horizontalHeader()->resizeSection(2, h->sectionSize(2) + 30);
        EXPECT_EQ(h->sectionSize(1), std::max(floor, path - 30));
    }
}

TEST(MainWindow, PathAndNameCellsShowTheFullPathAsTooltip) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    const int row = w.list().appendRow();
    const QString folder = "/home/用户/文档/一个很长很长的项目目录/第二层/第三层/";
    w.list().setCell(row, Frn1Column::ypath, folder);
    w.list().setCell(row, Frn1Column::filey, "季度报告.docx");
    w.list().setCell(row, Frn1Column::jg, "成功");
    const QAbstractItemModel* m = w.dw_1->model();
    EXPECT_EQ(m->data(m->index(0, 1), Qt::ToolTipRole).toString(), folder + "季度报告.docx");
    EXPECT_EQ(m->data(m->index(0, 2), Qt::ToolTipRole).toString(), folder + "季度报告.docx");
    EXPECT_FALSE(m->data(m->index(0, 3), Qt::ToolTipRole).isValid()) << "the result has none";
}

TEST(MainWindow, ResizeForASmallerScreenCutsTowardZero) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    QFont f = w.st_3->font();
    f.setPointSize(12);
    w.st_3->setFont(f);
    w.sle_1->move(137, w.sle_1->y());
    w.f_resize(QSize(1024, 768));
    EXPECT_EQ(w.st_3->font().pointSize(), 9);
    EXPECT_EQ(w.cb_3->font().pointSize(), 7);
    EXPECT_EQ(w.sle_1->x(), 109);
    EXPECT_EQ(w.dw_1->zoom(), "80");
    EXPECT_EQ(w.size(), QSize(980, 564));
}

class ShowHideCounter : public QObject {
  public:
    int events = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Hide || e->type() == QEvent::Show) ++events;
        return false;
    }
};

TEST(MainWindow, ScreensWithTheSmallerRatioOneChangeNothing) {
    for (QSize screen : {QSize(1366, 768), QSize(1280, 1024), QSize(1280, 768)}) {
        WindowFixture fx;
        w_frn w(fx.desktop);
        w.show();
        ShowHideCounter counter;
        w.installEventFilter(&counter);
        const QRect before = w.cb_3->geometry();
        w.f_resize(screen);
        EXPECT_EQ(counter.events, 0);
        EXPECT_EQ(w.cb_3->geometry(), before);
        EXPECT_EQ(w.cb_3->font().pointSize(), 9);
        EXPECT_EQ(w.dw_1->zoom(), "100");
        EXPECT_EQ(w.size(), QSize(1226, 705));
    }
    // A real change hides the shown window during the scaling and shows it again.
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.show();
    ShowHideCounter counter;
    w.installEventFilter(&counter);
    w.f_resize(QSize(1920, 1080));
    EXPECT_EQ(counter.events, 2);
    EXPECT_TRUE(w.isVisible());
}

TEST(MainWindowOptions, FileWithoutSdef) {
    WindowFixture fx("[gsly]\nmpath=/out/dir\n");
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    EXPECT_EQ(globals().profile, fx.profile);
    EXPECT_TRUE(w.rb_10->isChecked());
    EXPECT_EQ(w.outputMode(), OutputMode::Original);
    EXPECT_EQ(w.fileTypeItem(), 1);
    EXPECT_TRUE(w.em_1->isHidden());
    EXPECT_EQ(w.em_1->value(), "");
    EXPECT_FALSE(w.cbx_1->isChecked());
    EXPECT_EQ(globals().sfth, "y");
    EXPECT_EQ(globals().sfbtm, "n");
    EXPECT_EQ(globals().sftype, "");
    EXPECT_EQ(w.sle_2->text(), "/out/dir");
    EXPECT_DOUBLE_EQ(w.windowOpacity(), 1.0);
    w.close();
    EXPECT_EQ(fx.key("sdef", "scgs"), "5");
    EXPECT_EQ(fx.key("sdef", "wjls"), "0");
    EXPECT_EQ(fx.key("sdef", "fdt"), "");
    EXPECT_EQ(fx.key("gsly", "mpath"), "/out/dir");
    EXPECT_EQ(fx.key("sdef", "sfzxh"), "<missing>");  // saved only when clicked
    EXPECT_EQ(w.szf, "选");
}

TEST(MainWindowOptions, FullFileRoundTrip) {
    WindowFixture fx(
        "[gsly]\nmpath=/o\nsftype=#mp3\nawordhz=#txt\nsfbtm=y\n"
        "[sdef]\nscgs=2\nwjls=6\nwjjp=/src/\nfdt=2017-10-01 13:36:55\nsfth=n\nsfzxh=y\n");
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    EXPECT_TRUE(w.rb_8->isChecked());
    EXPECT_EQ(w.fileTypeItem(), 7);
    EXPECT_FALSE(w.em_1->isHidden());
    EXPECT_EQ(w.em_1->value(), "2017-10-01 13:36:55");
    EXPECT_EQ(w.ls_path1, "/src/");
    EXPECT_EQ(globals().sftype, "#mp3");
    EXPECT_EQ(globals().awordhz, "#txt");
    EXPECT_EQ(globals().sfth, "n");
    EXPECT_TRUE(w.cbx_1->isChecked());
    // Translucent: the layered bit joins the style, the window is drawn at 228/255.
    EXPECT_EQ(w.extendedStyle() & 0x80000, 0x80000);
    EXPECT_EQ(w.extendedStyle() & 0x300, 0x300);
    EXPECT_NEAR(w.windowOpacity(), 228 / 255.0, 0.01);

    w.rb_9->setChecked(true);
    w.ddlb_1->setCurrentIndex(1);
    w.close();
    EXPECT_EQ(fx.key("sdef", "scgs"), "3");
    EXPECT_EQ(fx.key("sdef", "wjls"), "1");
    EXPECT_EQ(fx.key("sdef", "fdt"), "2017-10-01 13:36:55");
    EXPECT_EQ(w.szf, "1");
}

TEST(MainWindowOptions, WjlsNineAndCapitalSfbtm) {
    WindowFixture fx("[gsly]\nsfbtm=Y\n[sdef]\nscgs=4\nwjls=9\nfdt=2020-02-03 04:05:06\n");
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    EXPECT_EQ(w.fileTypeItem(), 7);
    EXPECT_TRUE(w.em_1->isHidden());
    EXPECT_TRUE(w.rb_6->isChecked());
    EXPECT_EQ(w.extendedStyle() & 0x80000, 0);
    EXPECT_DOUBLE_EQ(w.windowOpacity(), 1.0);
    w.close();
    // Item 7 stores "6"; the hidden box's text goes back unchanged.
    EXPECT_EQ(fx.key("sdef", "wjls"), "6");
    EXPECT_EQ(fx.key("sdef", "fdt"), "2020-02-03 04:05:06");
    EXPECT_EQ(fx.key("sdef", "scgs"), "4");
}

TEST(MainWindowOptions, ScgsValuesAndNoModeChecked) {
    const char* modes[] = {"1", "2", "3", "4", "x"};
    for (const char* m : modes) {
        WindowFixture fx(QByteArray("[sdef]\nscgs=") + m + "\n");
        w_frn w(fx.desktop);
        w.open(QSize(1280, 768));
        w.close();
        EXPECT_EQ(fx.key("sdef", "scgs"), qstrcmp(m, "x") == 0 ? "5" : m);
    }
    WindowFixture fx("[sdef]\nscgs=2\n");
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    w.setOutputMode(OutputMode::None);
    writeIniKey(fx.profile, "sdef", "scgs", "7");
    w.close();
    EXPECT_EQ(fx.key("sdef", "scgs"), "7");  // nothing checked: no write
}

TEST(MainWindowOptions, SmallOptionHandlers) {
    WindowFixture fx("[gsly]\nmpath=/before\n");
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    w.show();
    QTest::mouseClick(w.cbx_1, Qt::LeftButton);
    EXPECT_TRUE(w.cbx_1->isChecked());
    EXPECT_EQ(fx.key("sdef", "sfzxh"), "y");
    QTest::mouseClick(w.cbx_1, Qt::LeftButton);
    EXPECT_EQ(fx.key("sdef", "sfzxh"), "n");

    // The file-type choice: the date box only with item 7.
    emit w.ddlb_1->activated(6);
    EXPECT_TRUE(w.em_1->isVisible());
    emit w.ddlb_1->activated(2);
    EXPECT_FALSE(w.em_1->isVisible());

    // Output folder: a cancelled dialog keeps everything.
    QTest::mouseClick(w.pb_1, Qt::LeftButton);
    ASSERT_EQ(fx.desktop.messages.size(), 1u);
    EXPECT_EQ(fx.desktop.messages[0].title, "提示");
    EXPECT_EQ(fx.desktop.messages[0].text, "目标文件夹选择被取消");
    EXPECT_EQ(fx.desktop.dialogTitles.value(0), "选择欲放置更名后的文件所在的目标文件夹");
    EXPECT_EQ(w.sle_2->text(), "/before");
    EXPECT_EQ(fx.key("gsly", "mpath"), "/before");
    fx.desktop.folderAnswers.push_back("/chosen/out");
    QTest::mouseClick(w.pb_1, Qt::LeftButton);
    EXPECT_EQ(fx.desktop.messages.size(), 1u);
    EXPECT_EQ(w.sle_2->text(), "/chosen/out");
    EXPECT_EQ(w.ls_path2, "/chosen/out");
    EXPECT_EQ(fx.key("gsly", "mpath"), "/chosen/out");
}

}  // namespace
}  // namespace quorv
