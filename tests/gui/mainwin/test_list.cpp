#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "fakes/qt_print.h"
#include "fakes/scripted_desktop.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frn1.h"
#include "gui/mainwin/listclicks.h"

namespace quorv {
namespace {

// Appends rows the way the folder scan does: xh = the new row number.
void addFile(FileListModel& m, const QString& folder, const QString& name,
             const QString& time = QString()) {
    const int r = m.appendRow();
    m.setCell(r, "xh", r);
    m.setCell(r, "ypath", folder);
    m.setCell(r, "filey", name);
    m.setCell(r, "ftime", time);
}

QStringList column(const FileListModel& m, const QString& col) {
    QStringList out;
    for (int r = 1; r <= m.rowCount(); ++r) out.append(m.cellText(r, col));
    return out;
}

QList<int> selectedRows(const FileListModel& m) {
    QList<int> out;
    for (int r = 1; r <= m.rowCount(); ++r) {
        if (m.isSelected(r)) out.append(r);
    }
    return out;
}

TEST(FileList, XhIsNeverRenumberedAfterRemovals) {
    FileListModel m;
    for (int i = 0; i < 5; ++i) addFile(m, "/d/", QString("f%1").arg(i));
    ASSERT_TRUE(m.removeShownRow(2));
    addFile(m, "/d/", "f5");
    EXPECT_EQ(column(m, "xh"), QStringList({"1", "3", "4", "5", "5"}));
    EXPECT_EQ(m.rowCount(), 5);
    EXPECT_FALSE(m.removeShownRow(6));
    EXPECT_FALSE(m.removeShownRow(0));
}

TEST(FileList, CellsByNameAndUnknownsAreHarmless) {
    FileListModel m;
    addFile(m, "/d/", "a.doc");
    EXPECT_EQ(m.cellText(1, "FILEY"), "a.doc");
    EXPECT_FALSE(m.setCell(1, "nosuch", "x"));
    EXPECT_FALSE(m.setCell(2, "filey", "x"));
    EXPECT_EQ(m.cellText(2, "filey"), "");
    EXPECT_EQ(m.cellText(1, "nosuch"), "");
    // zml is without value for rows not added by a subfolder scan.
    EXPECT_TRUE(m.rowData(1)->zml.isNull());
    m.setCell(1, "zml", "");
    EXPECT_FALSE(m.rowData(1)->zml.isNull());
    EXPECT_EQ(m.columnCount(), 7);
    EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString(), "源文件名");
}

// The reason column: last of the shown ones, the result cell's tooltip, sorted like the
// others, and emptied with the results.
TEST(FileList, AReasonStandsBesideItsResultUntilTheResultsAreCleared) {
    FileListModel m;
    for (const char* n : {"a.doc", "b.docx", "c.doc"}) addFile(m, "/d/", n);
    m.setCell(1, "jg", "失败");
    m.setCell(1, "yy", "转换超时");
    m.setCell(2, "jg", "成功");
    m.setCell(3, "jg", "失败");
    m.setCell(3, "yy", "文件有密码保护");
    const int last = m.columnCount() - 1;
    EXPECT_EQ(m.headerData(last, Qt::Horizontal).toString(), "原因");
    EXPECT_EQ(m.data(m.index(0, last)).toString(), "转换超时");
    const int jg = 3;
    ASSERT_EQ(m.headerData(jg, Qt::Horizontal).toString(), "结果");
    EXPECT_EQ(m.data(m.index(0, jg), Qt::ToolTipRole).toString(), "转换超时");
    EXPECT_FALSE(m.data(m.index(1, jg), Qt::ToolTipRole).isValid()) << "no tooltip for 成功";

    Dw1Clicks clicks(m);
    clicks.clicked(0, "yy_t", false, false);  // first click: descending
    EXPECT_EQ(column(m, "filey"), QStringList({"a.doc", "c.doc", "b.docx"}));
    clicks.clicked(0, "yy_t", false, false);
    EXPECT_EQ(column(m, "filey"), QStringList({"b.docx", "c.doc", "a.doc"}));

    m.setFilter("filey like '%x'");
    m.applyFilter();
    m.clearResults();
    m.setFilter(QString());
    m.applyFilter();
    EXPECT_EQ(column(m, "yy"), QStringList({"", "", ""})) << "hidden rows too";
    EXPECT_EQ(column(m, "jg"), QStringList({"", "", ""}));
    EXPECT_FALSE(m.data(m.index(0, jg), Qt::ToolTipRole).isValid());
}

TEST(FileList, SameFileTwiceGivesTwoRows) {
    FileListModel m;
    addFile(m, "/d/", "a.doc");
    addFile(m, "/d/", "a.doc");
    EXPECT_EQ(m.rowCount(), 2);
}

TEST(FileList, FilterHidesAndShowsAgainInListOrder) {
    FileListModel m;
    addFile(m, "/d/", "report_abc.doc");
    addFile(m, "/d/", "report.doc");
    addFile(m, "/d/", "ABCD.xls");
    addFile(m, "/d/", "x.doc");
    m.selectRow(4, true);
    ASSERT_TRUE(m.setFilter("filey like '%abc%'"));
    m.applyFilter();
    EXPECT_EQ(column(m, "filey"), QStringList({"report_abc.doc", "ABCD.xls"}));
    EXPECT_EQ(m.totalRowCount(), 4);
    // A row appended under a filter goes after the last shown row and is shown.
    addFile(m, "/d/", "new.doc");
    EXPECT_EQ(m.cellText(3, "xh"), "3");
    ASSERT_TRUE(m.setFilter(""));
    m.applyFilter();
    EXPECT_EQ(column(m, "filey"),
              QStringList({"report_abc.doc", "report.doc", "ABCD.xls", "x.doc", "new.doc"}));
    EXPECT_TRUE(m.isSelected(4));
}

TEST(FileList, LikePatterns) {
    EXPECT_TRUE(FileListModel::likeMatches("report_abc.doc", "%abc%"));
    EXPECT_FALSE(FileListModel::likeMatches("report.doc", "%abc%"));
    EXPECT_TRUE(FileListModel::likeMatches("a1b2c", "%a%b%c%"));  // % typed by the user
    EXPECT_FALSE(FileListModel::likeMatches("cba", "%a%b%"));
    EXPECT_TRUE(FileListModel::likeMatches("abc", "abc"));
    EXPECT_FALSE(FileListModel::likeMatches("abcd", "abc"));
    EXPECT_TRUE(FileListModel::likeMatches("abcd", "ab%"));
    EXPECT_FALSE(FileListModel::likeMatches("xabcd", "ab%"));
    EXPECT_FALSE(FileListModel::likeMatches("aba", "%ab%ba"));  // parts may not overlap
    EXPECT_TRUE(FileListModel::likeMatches("", "%%"));
}

TEST(FileList, FilterExpressionsThatAreNotValidKeepTheOldOne) {
    FileListModel m;
    addFile(m, "/d/", "it's.doc");
    addFile(m, "/d/", "other.doc");
    EXPECT_FALSE(m.setFilter("filey = 'a'"));
    EXPECT_FALSE(m.setFilter("nosuch like '%a%'"));
    // A quote inside the text stays part of it.
    ASSERT_TRUE(m.setFilter("filey like '%it's%'"));
    m.applyFilter();
    EXPECT_EQ(column(m, "filey"), QStringList({"it's.doc"}));
    // Every row hidden: the row count is 0 and removals see nothing.
    ASSERT_TRUE(m.setFilter("filey like '%zzz%'"));
    m.applyFilter();
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.removeSelected(), 0);
    m.removeAll();
    m.setFilter("");
    m.applyFilter();
    EXPECT_EQ(m.totalRowCount(), 0);
}

TEST(FileList, SortXhNumericallyAndTextColumnsAsText) {
    FileListModel m;
    addFile(m, "/b/", "b", "2020-01-02 00:00:00");
    addFile(m, "/a/", "c", "2019-12-31 23:59:59");
    addFile(m, "/c/", "a", "2020-01-01 10:00:00");
    m.setCell(1, "xh", 10);
    m.setCell(2, "xh", 9);
    m.setCell(3, "xh", 100);
    ASSERT_TRUE(m.setSort("xh A"));
    m.applySort();
    EXPECT_EQ(column(m, "xh"), QStringList({"9", "10", "100"}));
    ASSERT_TRUE(m.setSort("ftime D"));
    m.applySort();
    EXPECT_EQ(column(m, "filey"), QStringList({"b", "a", "c"}));
    ASSERT_TRUE(m.setSort("ypath a"));
    m.applySort();
    EXPECT_EQ(column(m, "ypath"), QStringList({"/a/", "/b/", "/c/"}));
    EXPECT_FALSE(m.setSort("ypath X"));
    EXPECT_FALSE(m.setSort("nosuch A"));
    EXPECT_EQ(m.sortExpression(), "ypath a");
}

TEST(FileList, SortKeepsHiddenRowsInTheirSortedPlace) {
    FileListModel m;
    for (const char* n : {"c1", "b", "a1", "d"}) addFile(m, "/", n);
    m.setFilter("filey like '%1%'");
    m.applyFilter();
    m.setSort("filey A");
    m.applySort();
    EXPECT_EQ(column(m, "filey"), QStringList({"a1", "c1"}));
    m.setFilter("");
    m.applyFilter();
    EXPECT_EQ(column(m, "filey"), QStringList({"a1", "b", "c1", "d"}));
}

TEST(FileList, SelectionAllInvertAndRemoveSelected) {
    FileListModel m;
    for (int i = 1; i <= 4; ++i) addFile(m, "/", QString::number(i));
    m.selectRow(1, true);
    m.selectRow(3, true);
    m.invertSelection();
    EXPECT_EQ(selectedRows(m), QList<int>({2, 4}));
    m.selectRow(0, true);
    EXPECT_EQ(m.selectedCount(), 4);
    m.selectRow(0, false);
    m.selectRow(2, true);
    m.selectRow(3, true);
    EXPECT_EQ(m.removeSelected(), 2);
    EXPECT_EQ(column(m, "filey"), QStringList({"1", "4"}));
}

TEST(FileList, RedrawOffHoldsCellNoticesUntilItIsOnAgain) {
    FileListModel m;
    addFile(m, "/", "a");
    addFile(m, "/", "b");
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    m.setRedraw(false);
    addFile(m, "/", "c");
    m.selectRow(1, true);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(inserted.count(), 1);  // the row count is always announced
    m.setRedraw(true);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 2);
    m.setCell(2, "jg", "成功");
    EXPECT_EQ(changed.count(), 2);
}

TEST(ListClicks, HeaderSortAlternatesWhateverTheColumn) {
    FileListModel m;
    addFile(m, "/b/", "x", "2001-01-01 00:00:00");
    addFile(m, "/a/", "z", "2003-01-01 00:00:00");
    addFile(m, "/c/", "y", "2002-01-01 00:00:00");
    Dw1Clicks clicks(m);
    clicks.clicked(0, "filey_t", false, false);
    EXPECT_EQ(m.sortExpression(), "filey D");
    EXPECT_EQ(column(m, "filey"), QStringList({"z", "y", "x"}));
    clicks.clicked(0, "ypath_t", false, false);
    EXPECT_EQ(m.sortExpression(), "ypath A");
    EXPECT_EQ(column(m, "ypath"), QStringList({"/a/", "/b/", "/c/"}));
    clicks.clicked(0, "FTIME_T", false, false);
    EXPECT_EQ(m.sortExpression(), "FTIME D");
    EXPECT_EQ(column(m, "filey"), QStringList({"z", "y", "x"}));
    // With Shift or Ctrl held, or on a data cell, nothing is sorted.
    clicks.clicked(0, "xh_t", true, false);
    clicks.clicked(0, "xh_t", false, true);
    clicks.clicked(1, "xh", false, false);
    EXPECT_EQ(m.sortExpression(), "FTIME D");
    EXPECT_TRUE(clicks.ib_flag);
}

TEST(ListClicks, PlainCtrlAndShiftSelection) {
    FileListModel m;
    for (int i = 1; i <= 6; ++i) addFile(m, "/", QString::number(i));
    Dw1Clicks c(m);
    // Shift without an anchor selects only the clicked row and makes it the anchor.
    m.selectRow(6, true);
    c.clicked(2, "filey", true, false);
    EXPECT_EQ(selectedRows(m), QList<int>({2, 6}));
    EXPECT_EQ(c.i_lng_lastrow, 2);
    // Shift again: exactly the range, both ends included, upward or downward.
    c.clicked(5, "filey", true, false);
    EXPECT_EQ(selectedRows(m), QList<int>({2, 3, 4, 5}));
    c.clicked(1, "filey", true, false);
    EXPECT_EQ(selectedRows(m), QList<int>({1, 2}));
    EXPECT_EQ(c.i_lng_lastrow, 2);
    // A plain click selects the row alone.
    c.clicked(4, "ypath", false, false);
    EXPECT_EQ(selectedRows(m), QList<int>({4}));
    // Ctrl toggles one row and moves the anchor, other rows keep their state.
    c.clicked(6, "filey", false, true);
    EXPECT_EQ(selectedRows(m), QList<int>({4, 6}));
    c.clicked(4, "filey", false, true);
    EXPECT_EQ(selectedRows(m), QList<int>({6}));
    EXPECT_EQ(c.i_lng_lastrow, 4);
    c.clicked(5, "filey", true, false);
    EXPECT_EQ(selectedRows(m), QList<int>({4, 5}));
    // A click off the rows changes no selection.
    c.clicked(0, "", false, false);
    EXPECT_EQ(selectedRows(m), QList<int>({4, 5}));
    // The anchor survives removals; a range reaching past the end stops at the last row.
    c.clicked(6, "filey", false, false);
    m.removeShownRow(1);
    m.removeShownRow(1);
    c.clicked(3, "filey", true, false);
    EXPECT_EQ(selectedRows(m), QList<int>({3, 4}));
}

TEST(ListOpen, MessagesAndOpening) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    QFile f(folder + "a.doc");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    FileListModel m;
    addFile(m, " " + folder, "a.doc ");
    addFile(m, folder, "  a.doc");  // blanks trimmed: names the same file
    addFile(m, folder, "missing.doc");
    addFile(m, "", "  ");
    testing::ScriptedDesktop d;

    openRowSourceFile(m, 0, d);
    openRowSourceFile(m, 5, d);
    openRowSourceFile(m, 4, d);
    openRowSourceFile(m, 3, d);
    ASSERT_EQ(d.messages.size(), 4u);
    EXPECT_EQ(d.messages[0].text, "数据窗口为空的情况下，不能通过双击打开源文件");
    EXPECT_EQ(d.messages[1].text, "数据窗口为空的情况下，不能通过双击打开源文件");
    EXPECT_EQ(d.messages[2].text, "文件名不能为空");
    EXPECT_EQ(d.messages[3].text, "你要打开的文件不存在");
    EXPECT_EQ(d.messages[3].title, "提示");
    EXPECT_TRUE(d.openedFiles.isEmpty());

    openRowSourceFile(m, 1, d);
    EXPECT_EQ(d.openedFiles, QStringList({folder + "a.doc"}));
    d.openFileSucceeds = false;
    openRowSourceFile(m, 2, d);
    ASSERT_EQ(d.messages.size(), 5u);
    EXPECT_EQ(d.messages[4].title, "操作提示");
    EXPECT_EQ(d.messages[4].text,
              "程序执行非法操作!请对该文件进行正确关联。 \r\n" + folder + "a.doc");
}

TEST(ListOpen, LeadingBlanksInANameThatHasThemOnDisk) {
    // The trimmed path names no file when the blanks are part of the real name.
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    QFile f(folder + "  lead.doc");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    FileListModel m;
    addFile(m, folder, "  lead.doc");
    testing::ScriptedDesktop d;
    openRowSourceFile(m, 1, d);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0].text, "你要打开的文件不存在");
}

}  // namespace
}  // namespace quorv
