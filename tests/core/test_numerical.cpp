#include "core/numerical.h"
#include "fakes/qt_print.h"
#include "gtest/gtest.h"

namespace quorv {
namespace {

const n_cst_numerical num;

TEST(Numerical, GetBitReadsSingleBits) {
    EXPECT_TRUE(num.of_getbit(5, 1));
    EXPECT_FALSE(num.of_getbit(5, 2));
    EXPECT_TRUE(num.of_getbit(5, 3));
    EXPECT_TRUE(num.of_getbit(-1, 32));  // the sign bit of a long is bit 32
    EXPECT_FALSE(num.of_getbit(0x7fffffff, 32));
    EXPECT_FALSE(num.of_getbit(-1, 0));
    EXPECT_FALSE(num.of_getbit(-1, 33));
}

TEST(Numerical, LayeredStyleIsOredIntoTheWindowStyle) {
    EXPECT_EQ(num.of_bitwiseor(256, 0x80000), 256 | 0x80000);
    const int32_t withBit20 = 0x80000 | 0x40 | 0x1;
    EXPECT_EQ(num.of_bitwiseor(withBit20, 524288), withBit20);
}

TEST(Numerical, TopBitResultsAreTwosComplement) {
    EXPECT_EQ(num.of_setbit(int32_t{0}, 32), INT32_MIN);
    EXPECT_EQ(num.of_clearbit(int32_t{-1}, 32), INT32_MAX);
    EXPECT_EQ(num.of_flipbit(int32_t{0}, 32), INT32_MIN);
    EXPECT_EQ(num.of_bitwisenot(int32_t{0}), -1);
    EXPECT_EQ(num.of_bitwiseor(INT32_MIN, 1), INT32_MIN + 1);
    EXPECT_EQ(num.of_setbit(int16_t{0}, 16), INT16_MIN);
    EXPECT_EQ(num.of_bitwisenot(int16_t{0}), int16_t{-1});
    EXPECT_EQ(num.of_bitwisexor(int16_t{-1}, int16_t{0x7fff}), INT16_MIN);
}

TEST(Numerical, SetClearFlipLeaveOtherBits) {
    EXPECT_EQ(num.of_setbit(int32_t{5}, 2), 7);
    EXPECT_EQ(num.of_setbit(int32_t{5}, 1), 5);
    EXPECT_EQ(num.of_clearbit(int32_t{5}, 3), 1);
    EXPECT_EQ(num.of_clearbit(int32_t{5}, 2), 5);
    EXPECT_EQ(num.of_flipbit(int32_t{5}, 1), 4);
    EXPECT_EQ(num.of_flipbit(int32_t{5}, 2), 7);
    EXPECT_EQ(num.of_setbit(int16_t{5}, 2), int16_t{7});
    EXPECT_EQ(num.of_clearbit(int16_t{5}, 17), int16_t{5});  // beyond 16 bits: unchanged
}

TEST(Numerical, BitwiseOperationsOverAllBits) {
    EXPECT_EQ(num.of_bitwiseand(int32_t{0b1100}, int32_t{0b1010}), 0b1000);
    EXPECT_EQ(num.of_bitwisexor(int32_t{0b1100}, int32_t{0b1010}), 0b0110);
    EXPECT_EQ(num.of_bitwiseand(int32_t{-1}, INT32_MIN), INT32_MIN);
    EXPECT_EQ(num.of_bitwiseand(int16_t{-1}, int16_t{0x00f0}), int16_t{0x00f0});
    EXPECT_EQ(num.of_bitwiseor(int16_t{0x0f00}, int16_t{0x00f0}), int16_t{0x0ff0});
}

TEST(Numerical, BinaryTextRoundTrips) {
    EXPECT_EQ(num.of_binary(5), QString(29, '0') + "101");
    EXPECT_EQ(num.of_binary(-1), QString(32, '1'));
    EXPECT_EQ(num.of_binary(INT32_MIN), "1" + QString(31, '0'));
    EXPECT_EQ(num.of_decimal("101"), 5);
    EXPECT_EQ(num.of_decimal(QString(32, '1')), -1);
    for (int32_t v : {0, 1, 524288, 0x12345678, INT32_MIN, -2}) {
        EXPECT_EQ(num.of_decimal(num.of_binary(v)), v);
    }
}

}  // namespace
}  // namespace quorv
