// Transfer-function editor: exact table entries, histogram, hit tests, drags,
// and the change callback.
#include "GlTestContext.h"
#include "TestData.h"
#include "tf/TransferFunctionEditor.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const int left = 0, right = 2, down = 0, up = 1;
std::vector<std::vector<int>> changes;

// The editor at window (20, 12), where the panel puts it; tests speak in
// editor coordinates.
class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureGlContext();
        editor = new TransferFunctionEditor(editorCommand, emptyVolume);
        editor->x = 20, editor->y = 12;
        editor->setChangeCallback([](int id, int x, int y) { changes.push_back({id, x, y}); });
        changes.clear();
    }
    void TearDown() override { delete editor; }
    int pressAt(int lx, int ly) {
        editor->onMouse(left, down, lx + 20, ly + 12);
        return editor->dragMode;
    }
    void move(int lx, int ly, int dx, int dy) {
        editor->onMotion(left, lx + 20, ly + 12, lx + 20 + dx, ly + 12 + dy);
    }
    int alpha(int i) const { return editor->table[i][3]; }

    Volume emptyVolume;
    TransferFunctionEditor* editor = nullptr;
};

TEST_F(EditorTest, InitialTableAndItsSinglePrecisionRounding) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = editor->table[i];
        ASSERT_EQ(e[0] + 2 * e[1] + 4 * e[2], 255 * (i >= 170 ? 1 : i >= 86 ? 2 : 4)) << i;
    }
    // clang-format off
    const int initial[][2] = {{0, 0}, {1, 0}, {2, 1}, {51, 50}, {85, 84}, {86, 85}, {101, 100},
        {102, 102}, {103, 102}, {169, 168}, {170, 169}, {204, 204}, {254, 254}, {255, 255}};
    // clang-format on
    for (const auto& entry : initial)
        EXPECT_EQ(alpha(entry[0]), entry[1]) << entry[0];

    editor->controlPoints[0].y = 26; // slope -2/51 as a float
    editor->buildTable();
    EXPECT_EQ(std::vector<int>({alpha(51), alpha(0)}), std::vector<int>({49, 52}));
    // Slope 2/3 from (10, 0) to (13, 1): the intercept -20/3 rounds up to -6.
    editor->controlPoints[1] = {10, 0}, editor->controlPoints[2] = {13, 1};
    editor->buildTable();
    EXPECT_EQ(std::vector<int>({alpha(11), alpha(12)}), std::vector<int>({1, 2}));
    editor->controlPoints[1] = {0, 100}; // segment 1 has no width: entry 0 gets 0
    editor->lowBound = editor->highBound = 120;
    editor->buildTable();
    EXPECT_EQ(alpha(0), 0);
    EXPECT_EQ(
        std::vector<int>({editor->table[119][2], editor->table[120][0], editor->table[120][1]}),
        std::vector<int>({255, 255, 0}));
}

TEST_F(EditorTest, ResetAndTheHistogramOfTheVolume) {
    EXPECT_EQ(std::vector<int>(
                  {histogramBarHeight(524, 64 * 64 * 64), histogramBarHeight(525, 64 * 64 * 64)}),
              std::vector<int>({127, 128})); // 250 at the mean count per bin, capped at 128
    TempFile file({7, 7, 7, 200, 200, 0, 255, 1, 2, 3, 4, 5}); // 3 x 2 x 2 pads to 16 x 2 x 2
    Volume volume;
    ASSERT_EQ(volume.load(file.c_str(), 3, 2, 2, true), LoadStatus::ok);
    editor->controlPoints[2] = {60, 128};
    editor->buildTable();
    const GLuint oldList = editor->histogramList;
    editor->reset(volume);
    EXPECT_EQ(alpha(60), 255); // the table waits for buildTable
    EXPECT_EQ(
        std::vector<int>({editor->histogram[0], editor->histogram[7], editor->histogram[255]}),
        std::vector<int>({53, 3, 1})); // of 64 voxels; padding voxels count as 0
    EXPECT_TRUE(glIsList(editor->histogramList) &&
                (editor->histogramList == oldList || !glIsList(oldList)));
}

TEST_F(EditorTest, PressesPickBandsAndHandles) {
    const int low = lowBoundDrag, high = highBoundDrag, no = noDrag, point2 = pointDrag + 2;
    // clang-format off
    const int cases[][3] = {
        {40, 50, low}, {0, 50, low}, {85, 50, low}, {86, 50, no}, {168, 50, no}, {169, 50, high},
        {255, 50, high}, {256, 50, no}, {40, 139, low}, {40, 140, no}, {40, -1, no},
        {102, 61, point2}, {104, 62, point2}, {105, 61, no}, {102, 58, no}, // point 2's handle
        {0, 10, pointDrag}, {255, 138, pointDrag + 5}, // handles beat bands
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(pressAt(c[0], c[1]), c[2]) << c[0] << "," << c[1];
    editor->onMouse(right, down, 60, 62);
    EXPECT_EQ(editor->dragMode, noDrag);
    pressAt(40, 50);
    editor->onMouse(left, up, 500, 500);
    EXPECT_EQ(editor->dragMode, noDrag);
    editor->controlPoints[3] = editor->controlPoints[2]; // the later point wins
    EXPECT_EQ(pressAt(102, 61), pointDrag + 3);
    editor->lowBound = 5; // a narrow band's zone reaches left of the editor
    EXPECT_EQ(std::vector<int>({pressAt(-4, 50), pressAt(-5, 50)}),
              std::vector<int>({lowBoundDrag, noDrag}));
    editor->highBound = 256;
    EXPECT_EQ(std::vector<int>({editor->regionAt(265, 50), editor->regionAt(266, 50)}),
              std::vector<int>({highBoundDrag, noDrag}));
}

// Each row from the initial curve: press, move, the value it moved.
TEST_F(EditorTest, DragsStayWithinTheirLimits) {
    const struct {
        int lx, ly, dx, dy;
        int* value;
        int expected;
    } rows[] = {
        // clang-format off
        {40, 50, -100, 0, &editor->lowBound, 0}, {40, 50, 500, 0, &editor->lowBound, 170},
        {200, 50, 84, 0, &editor->highBound, 254}, {200, 50, 85, 0, &editor->highBound, 256},
        {200, 50, -200, 0, &editor->highBound, 86},
        {0, 10, 40, 5, &editor->controlPoints[0].x, 0}, // end points move only vertically
        {0, 10, 40, 5, &editor->controlPoints[0].y, 5}, {255, 138, -40, -200, &editor->controlPoints[5].y, 0},
        {102, 61, -100, 200, &editor->controlPoints[2].x, 51}, // stops at point 1
        {102, 61, -100, 200, &editor->controlPoints[2].y, 128}, {153, 86, 100, 0, &editor->controlPoints[3].x, 204},
        // clang-format on
    };
    for (const auto& row : rows) {
        editor->resetCurve();
        pressAt(row.lx, row.ly);
        move(row.lx, row.ly, row.dx, row.dy);
        EXPECT_EQ(*row.value, row.expected) << int(&row - rows);
    }
    pressAt(200, 50);
    move(200, 50, 84, 0);
    move(284, 50, 1, 0); // 255 counts as 256
    EXPECT_EQ(editor->highBound, 256);
    move(285, 50, -2, 0); // relative: back by the pointer's move
    EXPECT_EQ(editor->highBound, 254);
    changes.clear(); // reported in editor coordinates, inside the area only
    for (const auto& end : {std::pair<int, int>{255, 142}, {256, 0}, {0, 143}, {-1, 0}})
        move(0, 0, end.first, end.second);
    EXPECT_EQ(changes, (std::vector<std::vector<int>>{{editorCommand, 255, 142}}));
}

} // namespace
