#include <QHeaderView>
#include <QMouseEvent>
#include <QtTest/QTest>

#include "fakes/qt_print.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

using testing::WindowFixture;

void addRows(w_frn& w, const QStringList& names, const QString& folder = "/nowhere/") {
    for (const QString& n : names) {
        const int r = w.list().appendRow();
        w.list().setCell(r, "xh", r);
        w.list().setCell(r, "ypath", folder);
        w.list().setCell(r, "filey", n);
    }
}

QStringList names(const w_frn& w) {
    QStringList out;
    FileListModel& m = const_cast<w_frn&>(w).list();
    for (int r = 1; r <= m.rowCount(); ++r) out.append(m.cellText(r, "filey"));
    return out;
}

QList<int> selected(w_frn& w) {
    QList<int> out;
    for (int r = 1; r <= w.list().rowCount(); ++r) {
        if (w.list().isSelected(r)) out.append(r);
    }
    return out;
}

struct Opened : WindowFixture {
    w_frn w{desktop};
    Opened() {
        w.open(QSize(1280, 768));
        w.show();
    }
};

TEST(MainWindowHandlers, InvertSelectionRemoveSelectedRemoveAll) {
    Opened o;
    w_frn& w = o.w;
    QTest::mouseClick(w.cb_9, Qt::LeftButton);  // empty list: nothing
    QTest::mouseClick(w.cb_8, Qt::LeftButton);  // empty list: nothing, no message
    EXPECT_TRUE(o.desktop.messages.empty());
    QTest::mouseClick(w.cb_6, Qt::LeftButton);
    ASSERT_EQ(o.desktop.messages.size(), 1u);
    EXPECT_EQ(o.desktop.messages[0].text, "还没有源文件");
    EXPECT_EQ(o.desktop.messages[0].title, "提示");

    addRows(w, {"a", "b", "c", "d"});
    w.list().selectRow(1, true);
    w.list().selectRow(3, true);
    QTest::mouseClick(w.cb_9, Qt::LeftButton);
    EXPECT_EQ(selected(w), QList<int>({2, 4}));
    EXPECT_FALSE(w.cb_9->font().italic());
    EXPECT_TRUE(w.list().redraw());
    QTest::mouseClick(w.cb_6, Qt::LeftButton);
    EXPECT_EQ(names(w), QStringList({"a", "c"}));

    // Remove all takes hidden rows too and resets the progress.
    w.list().setFilter("filey like '%a%'");
    w.list().applyFilter();
    w.vpb_1->setValue(7);
    QTest::mouseClick(w.cb_8, Qt::LeftButton);
    EXPECT_EQ(w.list().totalRowCount(), 0);
    EXPECT_EQ(w.vpb_1->value(), 0);
    EXPECT_EQ(o.desktop.messages.size(), 1u);
}

TEST(MainWindowHandlers, NoFilterShowsEveryRowAgain) {
    Opened o;
    w_frn& w = o.w;
    addRows(w, {"abc.doc", "x.doc", "zabc.xls"});
    w.sle_1->setText("  abc ");
    QTest::mouseClick(w.rb_4, Qt::LeftButton);
    EXPECT_TRUE(w.rb_4->isChecked());
    ASSERT_EQ(w.list().rowCount(), 2);
    QTest::mouseClick(w.rb_3, Qt::LeftButton);
    EXPECT_TRUE(w.rb_3->isChecked());
    EXPECT_FALSE(w.rb_4->isChecked());
    EXPECT_EQ(names(w), QStringList({"abc.doc", "x.doc", "zabc.xls"}));
    // The output modes are a group of their own.
    EXPECT_TRUE(w.rb_10->isChecked());
}

TEST(MainWindowHandlers, HeaderClicksSortAlternatelyAndRowClicksSelect) {
    Opened o;
    w_frn& w = o.w;
    addRows(w, {"b", "c", "a"});
    QHeaderView* h = w.dw_1->horizontalHeader();
    auto clickHeader = [&](int section) {
        const int x = h->sectionViewportPosition(section) + h->sectionSize(section) / 2;
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
    };
    clickHeader(2);  // filey: descending first
    EXPECT_EQ(names(w), QStringList({"c", "b", "a"}));
    clickHeader(0);  // xh: ascending next, although another column
    EXPECT_EQ(names(w), QStringList({"b", "c", "a"}));
    clickHeader(2);
    EXPECT_EQ(names(w), QStringList({"c", "b", "a"}));

    auto rowPoint = [&](int row) {
        return w.dw_1->visualRect(w.list().index(row - 1, 2)).center();
    };
    QWidget* vp = w.dw_1->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(selected(w), QList<int>({1}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, rowPoint(3));
    EXPECT_EQ(selected(w), QList<int>({1, 2, 3}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, rowPoint(2));
    EXPECT_EQ(selected(w), QList<int>({1, 3}));
    // Below the last row: no row, the selection stays.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(10, vp->height() - 5));
    EXPECT_EQ(selected(w), QList<int>({1, 3}));
    // Selected rows are drawn as selected.
    EXPECT_TRUE(w.list().data(w.list().index(0, 0), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(w.list().data(w.list().index(1, 0), Qt::BackgroundRole).isValid());
}

TEST(MainWindowHandlers, DoubleClicks) {
    Opened o;
    w_frn& w = o.w;
    addRows(w, {"missing.doc"});
    QWidget* vp = w.dw_1->viewport();
    QTest::mouseDClick(vp, Qt::LeftButton, {}, w.dw_1->visualRect(w.list().index(0, 2)).center());
    QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(10, vp->height() - 5));
    QHeaderView* h = w.dw_1->horizontalHeader();
    // A double-click as the window system delivers it: press, release, double-click, release.
    QWidget* hv = h->viewport();
    const QPoint at(h->sectionViewportPosition(1) + 20, h->height() / 2);
    QTest::mousePress(hv, Qt::LeftButton, {}, at);
    QTest::mouseRelease(hv, Qt::LeftButton, {}, at);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, hv->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(hv, &dbl);
    QTest::mouseRelease(hv, Qt::LeftButton, {}, at);
    ASSERT_EQ(o.desktop.messages.size(), 3u);
    // The header's double-click counts as one click before it: one sort, descending.
    EXPECT_TRUE(w.clicks().ib_flag);
    EXPECT_EQ(w.list().sortExpression(), "ypath D");
    EXPECT_EQ(o.desktop.messages[0].text, "你要打开的文件不存在");
    EXPECT_EQ(o.desktop.messages[1].text, "数据窗口为空的情况下，不能通过双击打开源文件");
    EXPECT_EQ(o.desktop.messages[2].text, "数据窗口为空的情况下，不能通过双击打开源文件");
    EXPECT_TRUE(o.desktop.openedFiles.isEmpty());
    // A double-click never opens an editor on the cell.
    EXPECT_TRUE(w.dw_1->viewport()->findChildren<QLineEdit*>().isEmpty());
}

TEST(MainWindowHandlers, BusyStateIgnoresListChangesAndSecondOperations) {
    Opened o;
    w_frn& w = o.w;
    addRows(w, {"b", "a", "c"});
    w.list().selectRow(2, true);
    int scans = 0;
    w.hooks().cb_1 = [&] { ++scans; };
    bool ranInside = false;
    w.hooks().cb_3 = [&] {
        ranInside = true;
        EXPECT_TRUE(w.busy());
        // Clicks that arrive while the operation runs.
        QTest::mouseClick(w.cb_8, Qt::LeftButton);
        QTest::mouseClick(w.cb_6, Qt::LeftButton);
        QTest::mouseClick(w.cb_9, Qt::LeftButton);
        QTest::mouseClick(w.cb_1, Qt::LeftButton);
        QTest::mouseClick(w.rb_4, Qt::LeftButton);
        w.dw_1_clicked(0, "filey_t", false, false);
        w.dw_1_clicked(1, "filey", false, false);
        EXPECT_FALSE(w.close());
    };
    QTest::mouseClick(w.cb_3, Qt::LeftButton);
    EXPECT_TRUE(ranInside);
    EXPECT_FALSE(w.busy());
    EXPECT_EQ(names(w), QStringList({"b", "a", "c"}));
    EXPECT_EQ(selected(w), QList<int>({2}));
    EXPECT_EQ(scans, 0);
    EXPECT_TRUE(w.rb_3->isChecked());
    EXPECT_FALSE(w.rb_4->isChecked());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(o.desktop.messages.empty());
    // Afterwards the same clicks work again.
    QTest::mouseClick(w.cb_1, Qt::LeftButton);
    EXPECT_EQ(scans, 1);
    w.dw_1_clicked(0, "filey_t", false, false);
    EXPECT_EQ(names(w), QStringList({"c", "b", "a"}));
}

TEST(MainWindowHandlers, AFailingOperationIsReportedAndEndsTheBusyState) {
    Opened o;
    w_frn& w = o.w;
    w.hooks().cb_5 = [] { throw RuntimeError(35, "oleword", "execute", 1); };
    QTest::mouseClick(w.cb_5, Qt::LeftButton);
    ASSERT_EQ(o.desktop.messages.size(), 1u);
    EXPECT_TRUE(o.desktop.messages[0].text.contains("35"));
    EXPECT_FALSE(w.busy());
    // The next operation runs normally: a cancelled file dialog adds and says nothing.
    QTest::mouseClick(w.cb_2, Qt::LeftButton);
    EXPECT_EQ(o.desktop.dialogTitles.value(0), "浏览文件");
    EXPECT_EQ(o.desktop.messages.size(), 1u);
}

TEST(MainWindowHandlers, SaveAsWritesTheChosenType) {
    Opened o;
    w_frn& w = o.w;
    addRows(w, {"报告.doc"});
    const QString xlsx = o.dir.filePath("list.xlsx");
    o.desktop.fileSaveAnswers.push_back({1, xlsx, 3});
    o.desktop.fileSaveAnswers.push_back({0, QString(), 0});
    o.desktop.fileSaveAnswers.push_back({1, o.dir.filePath("no/dir/x.csv"), 0});
    QTest::mouseClick(w.cb_11, Qt::LeftButton);
    QFile f(xlsx);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("PK"));
    QTest::mouseClick(w.cb_11, Qt::LeftButton);  // cancelled: nothing
    EXPECT_TRUE(o.desktop.messages.empty());
    QTest::mouseClick(w.cb_11, Qt::LeftButton);
    ASSERT_EQ(o.desktop.messages.size(), 1u);
    EXPECT_TRUE(o.desktop.messages[0].text.contains("no/dir/x.csv"));
    EXPECT_EQ(o.desktop.dialogTitles.value(0), "另存为");
}

}  // namespace
}  // namespace quorv
