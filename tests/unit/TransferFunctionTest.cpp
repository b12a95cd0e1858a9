// Transfer function: exact table entries, histogram bars, and the limits
// that moves keep.
#include "tf/TransferFunction.h"

#include <gtest/gtest.h>
#include <vector>

TEST(TransferFunction, InitialTableAndItsSinglePrecisionRounding) {
    TransferFunction tf;
    TransferTable table;
    tf.fillTable(table);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = table[i];
        ASSERT_EQ(e[0] + 2 * e[1] + 4 * e[2], 255 * (i >= 170 ? 1 : i >= 86 ? 2 : 4)) << i;
    }
    auto alpha = [&](int i) { return int(table[i][3]); };
    // clang-format off
    const int initial[][2] = {{0, 0}, {1, 0}, {2, 1}, {51, 50}, {85, 84}, {86, 85}, {101, 100},
        {102, 102}, {103, 102}, {169, 168}, {170, 169}, {204, 204}, {254, 254}, {255, 255}};
    // clang-format on
    for (const auto& entry : initial)
        EXPECT_EQ(alpha(entry[0]), entry[1]) << entry[0];

    tf.controlPoints[0].y = 26; // slope -2/51 as a float
    tf.fillTable(table);
    EXPECT_EQ(std::vector<int>({alpha(51), alpha(0)}), std::vector<int>({49, 52}));
    // Slope 2/3 from (10, 0) to (13, 1): the intercept -20/3 rounds up to -6.
    tf.controlPoints[1] = {10, 0}, tf.controlPoints[2] = {13, 1};
    tf.fillTable(table);
    EXPECT_EQ(std::vector<int>({alpha(11), alpha(12)}), std::vector<int>({1, 2}));
    tf.controlPoints[1] = {0, 100}; // segment 1 has no width: entry 0 gets 0
    tf.lowBound = tf.highBound = 120;
    tf.fillTable(table);
    EXPECT_EQ(alpha(0), 0);
    EXPECT_EQ(std::vector<int>({table[119][2], table[120][0], table[120][1]}),
              std::vector<int>({255, 255, 0}));
    EXPECT_EQ(std::vector<int>({histogramBarHeight(524, 64 * 64 * 64),
                                histogramBarHeight(525, 64 * 64 * 64), histogramBarHeight(9, 0)}),
              std::vector<int>({127, 128, 0})); // 250 at the mean count per bin, capped at 128
}

// Each row from the initial curve: what moves (-2 the low bound, -1 the high
// one, else a point), by how much, and where it ends (a bound, or x and y).
TEST(TransferFunction, MovesStayWithinTheirLimits) {
    const int rows[][5] = {
        {-2, -100, 0, 0, 0},    {-2, 500, 0, 170, 0},    {-1, 84, 0, 254, 0}, {-1, 85, 0, 256, 0},
        {-1, -200, 0, 86, 0},   {0, 40, 5, 0, 5},        // end points move only vertically
        {5, -40, -200, 255, 0}, {2, -100, 200, 51, 128}, // point 2 stops at point 1
        {3, 100, 0, 204, 76}};
    for (const auto& r : rows) {
        TransferFunction tf;
        r[0] == -2   ? tf.moveLowBound(r[1])
        : r[0] == -1 ? tf.moveHighBound(r[1])
                     : tf.movePoint(r[0], r[1], r[2]);
        const ControlPoint p = r[0] >= 0 ? tf.controlPoints[r[0]] : ControlPoint{0, 0};
        const int x = r[0] == -2 ? tf.lowBound : r[0] == -1 ? tf.highBound : p.x;
        EXPECT_EQ(std::vector<int>({x, p.y}), std::vector<int>({r[3], r[4]})) << int(&r - rows);
    }
    TransferFunction tf; // relative: back by the pointer's move, from 256
    tf.moveHighBound(84), tf.moveHighBound(1);
    EXPECT_EQ(tf.highBound, 256);
    tf.moveHighBound(-2);
    EXPECT_EQ(tf.highBound, 254);
    tf.resetCurve();
    EXPECT_EQ(tf.highBound, 170);
}
