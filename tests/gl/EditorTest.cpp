// Transfer-function editor: exact table entries, histogram, hit tests, drags,
// the change callback, its display list and the blending it leaves on.
#include "GlTestContext.h"
#include "TempFile.h"
#include "tf/TransferFunctionEditor.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const int left = 0, right = 2, down = 0, up = 1;

std::vector<std::vector<int>> changes;
void recordChange(int id, int x, int y) {
    changes.push_back({id, x, y});
}

// The editor at window (20, 12), where the panel at (10, 10) puts it.
class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureGlContext();
        editor = new TransferFunctionEditor(editorCommand, emptyVolume);
        editor->x = 20, editor->y = 12;
        changes.clear();
    }
    void TearDown() override { delete editor; }

    int pressAt(int lx, int ly) {
        editor->onMouse(left, down, lx + 20, ly + 12);
        return editor->dragMode;
    }
    void drag(int lx, int ly, int dx, int dy) {
        pressAt(lx, ly);
        editor->onMotion(left, lx + 20, ly + 12, lx + 20 + dx, ly + 12 + dy);
    }
    int alpha(int i) const { return editor->table[i][3]; }

    Volume emptyVolume;
    TransferFunctionEditor* editor = nullptr;
};

TEST_F(EditorTest, InitialTable) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = editor->table[i];
        EXPECT_EQ(e[0], i >= 170 ? 255 : 0) << i;
        EXPECT_EQ(e[1], i >= 86 && i < 170 ? 255 : 0) << i;
        EXPECT_EQ(e[2], i < 86 ? 255 : 0) << i;
    }
    // 255 comes from a raw 256, clamped.
    const int expected[][2] = {{0, 0},     {1, 0},     {2, 1},     {51, 50},   {85, 84},
                               {86, 85},   {101, 100}, {102, 102}, {103, 102}, {169, 168},
                               {170, 169}, {204, 204}, {254, 254}, {255, 255}};
    for (const auto& entry : expected)
        EXPECT_EQ(alpha(entry[0]), entry[1]) << entry[0];
}

TEST_F(EditorTest, TableKeepsTheSinglePrecisionRounding) {
    editor->controlPoints[0].y = 26; // slope -2/51 as a float
    editor->buildTable();
    EXPECT_EQ(alpha(51), 49);
    EXPECT_EQ(alpha(0), 52);

    // Slope 2/3 from (10, 0) to (13, 1): the intercept -20/3 rounds up to -6.
    editor->controlPoints[0].y = 0;
    editor->controlPoints[1] = {10, 0};
    editor->controlPoints[2] = {13, 1};
    editor->buildTable();
    EXPECT_EQ(alpha(11), 1);
    EXPECT_EQ(alpha(12), 2);

    editor->controlPoints[1] = {0, 100}; // segment 1 has no width
    editor->buildTable();
    EXPECT_EQ(alpha(0), 0);
    EXPECT_GT(alpha(1), 150);

    editor->lowBound = 0;
    editor->highBound = 256;
    editor->buildTable();
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(editor->table[i][1], 255) << i;
    editor->lowBound = editor->highBound = 120;
    editor->buildTable();
    EXPECT_EQ(editor->table[119][2], 255);
    EXPECT_EQ(editor->table[120][0], 255);
}

TEST_F(EditorTest, ResetRestoresTheModelAndReplacesTheList) {
    editor->lowBound = 3;
    editor->controlPoints[2] = {60, 128};
    editor->buildTable();
    const int alphaBefore = alpha(60);
    const GLuint oldList = editor->histogramList;
    editor->reset(emptyVolume);
    EXPECT_EQ(editor->lowBound, 86);
    EXPECT_EQ(editor->controlPoints[2].x, 102);
    EXPECT_EQ(editor->controlPoints[2].y, 51);
    EXPECT_EQ(editor->controlPoints[5].y, 128);
    EXPECT_EQ(alpha(60), alphaBefore); // the table waits for buildTable
    EXPECT_TRUE(glIsList(editor->histogramList));
    EXPECT_TRUE(editor->histogramList == oldList || !glIsList(oldList));
}

TEST(HistogramTest, CountsAndBarHeights) {
    ensureGlContext();
    const int voxels = 64 * 64 * 64; // mean 1024 per bin
    EXPECT_EQ(histogramBarHeight(524, voxels), 127);
    EXPECT_EQ(histogramBarHeight(525, voxels), 128);
    EXPECT_EQ(histogramBarHeight(4, voxels), 0);
    EXPECT_EQ(histogramBarHeight(0, 0), 0);

    TempFile file({7, 7, 7, 200, 200, 0, 255, 1, 2, 3, 4, 5}); // 3 x 2 x 2 pads to 16 x 2 x 2
    Volume volume;
    ASSERT_EQ(volume.load(file.c_str(), 3, 2, 2, true), LoadStatus::ok);
    TransferFunctionEditor editor(editorCommand, volume);
    EXPECT_EQ(editor.voxelCount, 64);
    EXPECT_EQ(editor.histogram[0], 53); // padding voxels count as 0
    EXPECT_EQ(editor.histogram[7], 3);
    EXPECT_EQ(editor.histogram[255], 1);
}

TEST_F(EditorTest, PressesPickBandsAndHandles) {
    const int low = lowBoundDrag, high = highBoundDrag, point2 = pointDrag + 2;
    const int cases[][3] = {
        {40, 50, low},      {0, 50, low},
        {85, 50, low},      {86, 50, noDrag},
        {168, 50, noDrag},  {169, 50, high},
        {255, 50, high},    {256, 50, noDrag},
        {40, 139, low},     {40, 140, noDrag},
        {40, -1, noDrag},   {102, 61, point2},
        {104, 62, point2},  {105, 61, noDrag},
        {102, 58, noDrag},                             // point 2's handle, edges out
        {0, 10, pointDrag}, {255, 138, pointDrag + 5}, // handles beat bands
    };
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
    EXPECT_EQ(pressAt(-4, 50), lowBoundDrag);
    EXPECT_EQ(pressAt(-5, 50), noDrag);
    editor->highBound = 256;
    EXPECT_EQ(editor->regionAt(265, 50), highBoundDrag);
    EXPECT_EQ(editor->regionAt(266, 50), noDrag);
}

TEST_F(EditorTest, BoundDragsStayWithinTheirLimits) {
    drag(40, 50, -100, 0);
    EXPECT_EQ(editor->lowBound, 0);
    drag(-5, 50, 500, 0);
    EXPECT_EQ(editor->lowBound, 170);

    editor->lowBound = 86;
    drag(200, 50, 84, 0);
    EXPECT_EQ(editor->highBound, 254);
    editor->highBound = 170;
    drag(200, 50, 85, 0);
    EXPECT_EQ(editor->highBound, 256);
    editor->onMotion(left, 305, 62, 304, 62); // 255 counts as 256
    EXPECT_EQ(editor->highBound, 256);
    editor->onMotion(left, 304, 62, 302, 62);
    EXPECT_EQ(editor->highBound, 254);
    editor->onMotion(left, 302, 62, 0, 62);
    EXPECT_EQ(editor->highBound, 86);
    editor->onMotion(left, 0, 62, 90, 62); // relative: back by the pointer's move
    EXPECT_EQ(editor->highBound, 176);
}

TEST_F(EditorTest, ControlPointDragsKeepOrderAndRange) {
    drag(0, 10, 40, 5); // the end points move only vertically
    EXPECT_EQ(editor->controlPoints[0].x, 0);
    EXPECT_EQ(editor->controlPoints[0].y, 5);
    drag(255, 138, -40, -200);
    EXPECT_EQ(editor->controlPoints[5].x, 255);
    EXPECT_EQ(editor->controlPoints[5].y, 0);
    drag(102, 61, -100, 200); // point 2 stops at point 1's x
    EXPECT_EQ(editor->controlPoints[2].x, 51);
    EXPECT_EQ(editor->controlPoints[2].y, 128);
    drag(153, 86, 100, 0);
    EXPECT_EQ(editor->controlPoints[3].x, 204);
}

TEST_F(EditorTest, ChangeCallbackReportsMotionsInsideTheArea) {
    editor->setChangeCallback(recordChange);
    editor->onMotion(left, 200, 100, 275, 154); // editor (255, 142), drag mode 0
    editor->onMotion(left, 200, 100, 20, 12);
    EXPECT_EQ(changes,
              (std::vector<std::vector<int>>{{editorCommand, 255, 142}, {editorCommand, 0, 0}}));
    drag(40, 50, 0, 0);
    changes.clear();
    editor->onMotion(left, 100, 100, 276, 112); // (256, 100): moves the bound, no call
    editor->onMotion(left, 100, 100, 120, 155); // (100, 143)
    editor->onMotion(left, 100, 100, 19, 50);   // (-1, 38)
    EXPECT_TRUE(changes.empty());
    EXPECT_NE(editor->lowBound, 86);
}

TEST_F(EditorTest, PassiveMotionTracksBandAndHandleWhileVisible) {
    editor->onPassiveMotion(60, 62); // editor (40, 50)
    EXPECT_EQ(editor->highlighted, lowBoundDrag);
    editor->onPassiveMotion(122, 73); // editor (102, 61)
    EXPECT_EQ(editor->highlighted, noDrag);
    EXPECT_EQ(editor->hoveredHandle, 3);

    pressAt(40, 50);
    editor->setChangeCallback(recordChange);
    editor->setVisible(false);
    editor->onMotion(left, 60, 62, 0, 62);
    editor->onMouse(left, up, 60, 62);
    editor->onPassiveMotion(60, 62);
    EXPECT_EQ(editor->lowBound, 86);
    EXPECT_EQ(editor->dragMode, lowBoundDrag);
    EXPECT_EQ(editor->hoveredHandle, 3);
    EXPECT_TRUE(changes.empty());
}

TEST_F(EditorTest, DrawLeavesBlendingOnAndBandsWhereTheBoundsAre) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_BLEND);
    Panel::beginOverlay(256, 256);
    editor->x = 0, editor->y = 0;
    editor->onPassiveMotion(40, 50);
    editor->draw();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    Panel::endOverlay();

    const std::vector<unsigned char> pixels = readPixels(256, 256);
    auto at = [&](int px, int py) { return &pixels[4 * (py * 256 + px)]; };
    EXPECT_NEAR(at(40, 100)[0], 26, 2); // highlighted blue (0.1, 0.1, 1)
    EXPECT_NEAR(at(200, 100)[0], 204, 2);
    EXPECT_NEAR(at(102, 61)[1], 230, 2); // point 2's handle, opaque
}

} // namespace
