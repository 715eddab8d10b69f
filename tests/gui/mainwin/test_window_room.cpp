// The room the list gets, the failed-rows filter, the row menu and what the window
// remembers of itself.
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QtTest/QTest>

#include "core/defaults.h"
#include "fakes/qt_print.h"
#include "fakes/window_fixture.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnlayout.h"
#include "gui/mainwin/frnscan.h"

namespace quorv {
namespace {

using testing::WindowFixture;

void addRow(w_frn& w, const QString& folder, const QString& name, const char* jg = "",
            const char* yy = "") {
    const int row = w.list().appendRow();
    w.list().setCell(row, Frn1Column::xh, row);
    w.list().setCell(row, Frn1Column::ypath, folder);
    w.list().setCell(row, Frn1Column::filey, name);
    w.list().setCell(row, Frn1Column::jg, QString::fromUtf8(jg));
    w.list().setCell(row, Frn1Column::yy, QString::fromUtf8(yy));
}

QStringList names(w_frn& w) {
    QStringList out;
    for (int r = 1; r <= w.list().rowCount(); ++r) out << w.list().cellText(r, Frn1Column::filey);
    return out;
}

TEST(WindowRoom, AtTheDesignScreenNamesResultAndReasonAreInView) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QHeaderView* h = w.dw_1->horizontalHeader();
    const QFontMetrics fm(w.dw_1->font());
    // A typical name of a Chinese office document fits its column whole.
    const QString name = "行标编制说明（核电厂定期安全审查_第12部分：设计）.docx";
    EXPECT_GT(h->sectionSize(2), fm.horizontalAdvance(name) + 8);
    // Result and reason end inside the list without scrolling.
    for (const int column : {3, 6}) {
        EXPECT_LE(h->sectionViewportPosition(column) + h->sectionSize(column),
                  w.dw_1->viewport()->width())
            << column;
        EXPECT_GE(h->sectionViewportPosition(column), 0);
    }
    EXPECT_EQ(h->visualIndex(6), h->visualIndex(3) + 1) << "the reason beside the result";
    EXPECT_EQ(w.dw_1->model()->headerData(6, Qt::Horizontal).toString(), "原因");
    // The status line lies under the list, inside its frame, above the buttons.
    EXPECT_GE(w.statusLine->geometry().top(), w.dw_1->geometry().bottom());
    EXPECT_LT(w.statusLine->geometry().bottom(), w.cb_11->geometry().top());
    EXPECT_LT(w.failedOnly->geometry().right(), w.gb_2->geometry().right());
    EXPECT_EQ(w.failedOnly->text(), "只看失败");
}

TEST(WindowRoom, ALargerWindowGivesTheRoomToTheList) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    w.show();
    const QRect list = w.dw_1->geometry();
    const QRect start = w.cb_3->geometry();
    const QRect remove = w.cb_6->geometry();
    const QRect filter = w.sle_1->geometry();
    const QRect status = w.statusLine->geometry();
    const QRect bar = w.vpb_1->geometry();
    w.resize(w.width() + 200, w.height() + 100);
    EXPECT_EQ(w.dw_1->geometry(), list.adjusted(0, 0, 200, 100));
    EXPECT_EQ(w.cb_3->geometry(), start.translated(200, 0));
    EXPECT_EQ(w.cb_6->geometry(), remove.translated(0, 100));
    EXPECT_EQ(w.sle_1->geometry(), filter);
    EXPECT_EQ(w.statusLine->geometry(), status.translated(0, 100).adjusted(0, 0, 200, 0));
    EXPECT_EQ(w.vpb_1->geometry(), bar.translated(200, 0).adjusted(0, 0, 0, 100));
    // Back to its start size, everything is where it was.
    w.resize(w.minimumSize());
    EXPECT_EQ(w.dw_1->geometry(), list);
    EXPECT_EQ(w.cb_3->geometry(), start);
}

TEST(WindowRoom, SizePlaceAndColumnWidthsComeBackNextTime) {
    WindowFixture fx;
    int nameWidth = 0;
    QSize size;
    {
        w_frn w(fx.desktop);
        w.open(QSize(1280, 768));
        w.show();
        w.resize(w.width() + 150, w.height() + 40);
        size = w.size();
        w.dw_1->horizontalHeader()->resizeSection(2, 333);
        nameWidth = w.dw_1->horizontalHeader()->sectionSize(2);
        w.close();
    }
    EXPECT_EQ(fx.key("sdef", "ckzd"), "n");
    EXPECT_TRUE(fx.key("sdef", "lkd").contains("filey:333"))
        << (fx.key("sdef", "lkd")).toStdString();
    const auto place = parseWindowPlace(fx.key("sdef", "ckwz"));
    ASSERT_TRUE(place.has_value()) << (fx.key("sdef", "ckwz")).toStdString();
    EXPECT_EQ(place->size(), size);

    w_frn again(fx.desktop);
    again.open(QSize(1280, 768));
    again.show();
    EXPECT_EQ(again.dw_1->horizontalHeader()->sectionSize(2), nameWidth);
    // The offscreen screen may be smaller than the window: then it is fitted to it.
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(
        again.size(),
        fitWindowPlace(*place, avail, again.minimumSize()).size().expandedTo(again.minimumSize()));

    // A window closed maximised opens maximised.
    writeSetting(fx.profile, Key::Ckzd, "y");
    w_frn third(fx.desktop);
    third.open(QSize(1280, 768));
    EXPECT_TRUE(third.windowState() & Qt::WindowMaximized);
}

TEST(FailedOnly, ShowsFailedRowsWithTheNameFilterAndIsClearedWithIt) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    w.show();
    addRow(w, "/d/", "报告一.doc", "成功");
    addRow(w, "/d/", "报告二.doc", "失败", "文件已损坏或无法识别");
    addRow(w, "/d/", "通知 一.doc", "空格", "文件名含空格");
    addRow(w, "/d/", "通知二.doc", "失败", "转换超时");

    QTest::mouseClick(w.failedOnly, Qt::LeftButton);
    EXPECT_EQ(names(w), (QStringList{"报告二.doc", "通知 一.doc", "通知二.doc"}));
    EXPECT_TRUE(w.statusLine->text().contains("显示 3/4")) << (w.statusLine->text()).toStdString();

    // With the name filter on top: both must hold.
    w.sle_1->setText("通知");
    QTest::mouseClick(w.rb_4, Qt::LeftButton);
    EXPECT_EQ(names(w), (QStringList{"通知 一.doc", "通知二.doc"}));
    EXPECT_TRUE(w.failedOnly->isChecked());
    // Unchecked, the name filter alone is left.
    QTest::mouseClick(w.failedOnly, Qt::LeftButton);
    EXPECT_EQ(names(w), (QStringList{"通知 一.doc", "通知二.doc"}));
    QTest::mouseClick(w.failedOnly, Qt::LeftButton);

    // "不过滤" clears both, and the box with them.
    QTest::mouseClick(w.rb_3, Qt::LeftButton);
    EXPECT_EQ(w.list().rowCount(), 4);
    EXPECT_FALSE(w.failedOnly->isChecked());
    EXPECT_FALSE(w.statusLine->text().contains("显示")) << (w.statusLine->text()).toStdString();

    // While a run goes on the rows must not move: the box does nothing.
    {
        const BusyState::Scope busy = w.beginBusy();
        QTest::mouseClick(w.failedOnly, Qt::LeftButton);
    }
    EXPECT_FALSE(w.failedOnly->isChecked());
    EXPECT_EQ(w.list().rowCount(), 4);
}

TEST(RowMenu, EntriesAndActionsGoThroughTheDesktop) {
    WindowFixture fx;
    w_frn w(fx.desktop);
    w.open(QSize(1280, 768));
    const QString folder = fx.dir.path() + "/";
    QFile f(folder + "甲.doc");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    addRow(w, folder, "甲.doc", "失败", "文件已损坏或无法识别");
    addRow(w, folder + "gone/", "乙.doc", "成功");
    w.list().setOutput(2, folder + "gone/乙.pdf");

    std::unique_ptr<QMenu> menu(w.makeRowMenu(1, nullptr));
    ASSERT_TRUE(menu);
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"打开源文件", "打开所在文件夹", "复制路径", "复制原因"}));
    for (QAction* a : menu->actions()) a->trigger();
    EXPECT_EQ(fx.desktop.openedFiles, (QStringList{folder + "甲.doc", folder}));
    EXPECT_EQ(fx.desktop.copiedTexts, (QStringList{folder + "甲.doc", "文件已损坏或无法识别"}));
    EXPECT_TRUE(fx.desktop.messages.empty());

    // A row with an output offers it; a file or folder that is gone is said so.
    std::unique_ptr<QMenu> second(w.makeRowMenu(2, nullptr));
    ASSERT_TRUE(second);
    texts.clear();
    for (QAction* a : second->actions()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"打开源文件", "打开输出文件", "打开所在文件夹", "复制路径",
                                  "复制原因"}));
    EXPECT_FALSE(second->actions().last()->isEnabled()) << "no reason to copy";
    fx.desktop.openedFiles.clear();
    second->actions()[1]->trigger();
    second->actions()[2]->trigger();
    EXPECT_TRUE(fx.desktop.openedFiles.isEmpty());
    ASSERT_EQ(fx.desktop.messages.size(), 2u);
    EXPECT_EQ(fx.desktop.messages[0].text, "你要打开的文件不存在");
    EXPECT_EQ(fx.desktop.messages[1].text, "文件夹不存在");

    // The desktop cannot open it: the double-click's message.
    fx.desktop.messages.clear();
    fx.desktop.openFileSucceeds = false;
    w.dw_1_rowaction(1, RowAction::OpenSource);
    ASSERT_EQ(fx.desktop.messages.size(), 1u);
    EXPECT_EQ(fx.desktop.messages[0].title, "操作提示");

    EXPECT_EQ(w.makeRowMenu(0, nullptr), nullptr);
    EXPECT_EQ(w.makeRowMenu(3, nullptr), nullptr);
}

}  // namespace
}  // namespace quorv
