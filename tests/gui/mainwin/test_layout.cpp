#include <QSet>

#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnlayout.h"
#include "gui/mainwin/frnstatus.h"

namespace quorv {
namespace {

TEST(Layout, ScreenRatios) {
    const ResizePlan big = planResize(QSize(1920, 1080));
    EXPECT_DOUBLE_EQ(big.wradio, 1.5);
    EXPECT_DOUBLE_EQ(big.hradio, 1.40625);
    EXPECT_DOUBLE_EQ(big.radio, 1.40625);
    EXPECT_TRUE(big.changes());
    EXPECT_EQ(scaleCut(137, big.radio), 192);
    EXPECT_EQ(scaleCut(11, big.radio), 15);
    EXPECT_EQ(zoomText(big.radio), "140");

    const ResizePlan small = planResize(QSize(1024, 768));
    EXPECT_DOUBLE_EQ(small.radio, 0.8);
    EXPECT_EQ(scaleCut(12, small.radio), 9);
    EXPECT_EQ(scaleCut(137, small.radio), 109);
    EXPECT_EQ(zoomText(small.radio), "80");

    // One ratio 1 and the smaller: nothing changes.
    EXPECT_FALSE(planResize(QSize(1366, 768)).changes());
    EXPECT_FALSE(planResize(QSize(1280, 1024)).changes());
    EXPECT_FALSE(planResize(QSize(1280, 768)).changes());
}

TEST(Layout, UnitsToDesignPixels) {
    // The 5367 x 2820 design fills a 1280 x 768 screen.
    EXPECT_EQ(frnDesignClientSize(), QSize(1226, 705));
    EXPECT_EQ(unitsToPixelsX(5600), 1280);
    EXPECT_EQ(unitsToPixelsY(3072), 768);
    EXPECT_EQ(unitsToPixelsX(457), 104);  // 104.45 cut toward zero
    EXPECT_EQ(unitsToPixelsY(1864), 466);
}

TEST(Layout, ControlTableIsCompleteAndInsideTheWindow) {
    const auto& all = frnControls();
    ASSERT_EQ(all.size(), 38u);
    EXPECT_STREQ(all.front().name, "em_1");
    EXPECT_STREQ(all.back().name, "gb_2");
    QSet<QString> names;
    for (const ControlDesign& c : all) {
        names.insert(QLatin1String(c.name));
        EXPECT_LE(c.x + c.width, kFrnWidthUnits) << c.name;
        EXPECT_LE(c.y + c.height, kFrnHeightUnits) << c.name;
    }
    EXPECT_EQ(names.size(), 38);
    EXPECT_FALSE(kindScalesFont(ControlKind::ProgressBar));
    EXPECT_FALSE(kindScalesFont(ControlKind::Grid));
    EXPECT_TRUE(kindScalesFont(ControlKind::GroupBox));
    EXPECT_TRUE(kindScalesFont(ControlKind::MaskedEdit));
}

TEST(Layout, EveryControlFollowsTheWindowByWhereItLies) {
    auto anchor = [](const char* name) { return frnAnchor(*frnControl(name)); };
    EXPECT_EQ(anchor("dw_1"), Anchor::Grow);
    EXPECT_EQ(anchor("gb_2"), Anchor::Grow);
    EXPECT_EQ(anchor("vpb_1"), Anchor::RightGrowHeight);
    EXPECT_EQ(anchor("cb_3"), Anchor::Right);
    EXPECT_EQ(anchor("gb_1"), Anchor::Right);
    EXPECT_EQ(anchor("cb_5"), Anchor::Bottom);
    EXPECT_EQ(anchor("cb_11"), Anchor::Bottom);
    EXPECT_EQ(anchor("sle_1"), Anchor::Fixed);
    EXPECT_EQ(anchor("cb_4"), Anchor::Fixed);
    // Nothing that moves down reaches into the room the list takes sideways, and in a
    // larger window no two controls come to lie on each other that were apart before.
    const ControlDesign& list = *frnControl("dw_1");
    const auto designRect = [](const ControlDesign& c) {
        return QRect(c.x, c.y, c.width, c.height);
    };
    const QSize larger(600, 400);
    for (const ControlDesign& c : frnControls()) {
        if (frnAnchor(c) == Anchor::Bottom) {
            EXPECT_LE(c.x + c.width, list.x + list.width) << c.name;
        }
        for (const ControlDesign& d : frnControls()) {
            if (&c == &d || designRect(c).intersects(designRect(d))) continue;
            EXPECT_FALSE(anchoredRect(designRect(c), frnAnchor(c), larger)
                             .intersects(anchoredRect(designRect(d), frnAnchor(d), larger)))
                << c.name << " / " << d.name;
        }
    }
    const QRect r(10, 20, 30, 40);
    EXPECT_EQ(anchoredRect(r, Anchor::Grow, QSize(5, 7)), QRect(10, 20, 35, 47));
    EXPECT_EQ(anchoredRect(r, Anchor::BottomGrowWidth, QSize(5, 7)), QRect(10, 27, 35, 40));
    EXPECT_EQ(anchoredRect(r, Anchor::Grow, QSize(-5, -7)), r) << "never below the design";
}

TEST(Layout, StoredPlaceAndWidthsAreReadBackOrRefused) {
    EXPECT_EQ(parseWindowPlace(windowPlaceText(QRect(-8, 30, 1300, 700))),
              QRect(-8, 30, 1300, 700));
    EXPECT_FALSE(parseWindowPlace("1,2,3"));
    EXPECT_FALSE(parseWindowPlace("1,2,0,4"));
    EXPECT_FALSE(parseWindowPlace("a,2,3,4"));
    const QRect screen(0, 0, 1280, 740);
    const QSize least(1226, 705);
    // A place on a screen that is gone comes back; one larger than the screen shrinks to it.
    EXPECT_EQ(fitWindowPlace(QRect(3000, 900, 1300, 720), screen, least), QRect(0, 20, 1280, 720));
    EXPECT_EQ(fitWindowPlace(QRect(10, 10, 2000, 2000), screen, least), screen);
    EXPECT_EQ(fitWindowPlace(QRect(10, 10, 100, 100), screen, least), QRect(10, 10, 1226, 705));

    const std::vector<int> widths{40, 0, 300, 40, 60, 130, 160};
    const QString text = columnWidthsText(widths, 140);
    EXPECT_EQ(text, "xh:28,filey:214,jg:28,zml:42,ftime:92,yy:114");
    const std::vector<int> back = parseColumnWidths(text, 140);
    EXPECT_EQ(back[1], 0) << "the path column was not set by hand";
    EXPECT_EQ(back[2], 299);
    EXPECT_EQ(parseColumnWidths("filey:abc,nope:10,jg:-3,xh:50000,yy:90", 100),
              (std::vector<int>{0, 0, 0, 0, 0, 0, 90}));
}

TEST(RunStatusText, DuringARunAfterItAndAfterASearch) {
    RunStatus s;
    EXPECT_EQ(s.text(0), "");
    s.startRun(4, 1000);
    EXPECT_EQ(s.text(1000), "已完成 0/4");
    s.rowStarted("甲.docx");
    s.rowFinished(BatchResult::Success, QString());
    s.rowStarted("乙.doc");
    // One row in 10 s: three left take about 30 s.
    EXPECT_EQ(s.text(11000), "已完成 1/4，正在转换：乙.doc，剩余约 30秒");
    s.rowFinished(BatchResult::Failure, "文件已损坏或无法识别");
    s.rowFinished(BatchResult::Blank, "文件名含空格");
    s.rowFinished(BatchResult::Failure, "文件已损坏或无法识别");
    s.endRun(126000, false);
    EXPECT_EQ(s.text(999999),
              "成功 1，失败 3，用时 2分05秒（文件已损坏或无法识别 2，文件名含空格 1）");
    EXPECT_EQ(statusLineText(s, 0, 3, 4, true),
              "成功 1，失败 3，用时 2分05秒（文件已损坏或无法识别 2，文件名含空格 1）；显示 3/4");

    s.startRun(2, 0);
    s.rowFinished(BatchResult::Success, QString());
    s.endRun(400, false);
    EXPECT_EQ(s.text(0), "成功 1，失败 0，用时 0秒") << "no reasons without failures";

    s.searchEnded(3, 20);
    EXPECT_EQ(s.text(0), "搜索结束，找到 3 个，共搜索 20 个文件");
    EXPECT_EQ(RunStatus::durationText(59400), "59秒");
    EXPECT_EQ(RunStatus::durationText(3600 * 1000 + 61000), "1小时01分");
}

}  // namespace
}  // namespace quorv
