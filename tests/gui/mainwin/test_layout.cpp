#include <QSet>

#include "fakes/qt_print.h"
#include "gtest/gtest.h"
#include "gui/mainwin/frnlayout.h"

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
    ASSERT_EQ(all.size(), 37u);
    EXPECT_STREQ(all.front().name, "em_1");
    EXPECT_STREQ(all.back().name, "gb_2");
    QSet<QString> names;
    for (const ControlDesign& c : all) {
        names.insert(QLatin1String(c.name));
        EXPECT_LE(c.x + c.width, kFrnWidthUnits) << c.name;
        EXPECT_LE(c.y + c.height, kFrnHeightUnits) << c.name;
    }
    EXPECT_EQ(names.size(), 37);
    EXPECT_FALSE(kindScalesFont(ControlKind::ProgressBar));
    EXPECT_FALSE(kindScalesFont(ControlKind::Grid));
    EXPECT_TRUE(kindScalesFont(ControlKind::GroupBox));
    EXPECT_TRUE(kindScalesFont(ControlKind::MaskedEdit));
}

}  // namespace
}  // namespace quorv
