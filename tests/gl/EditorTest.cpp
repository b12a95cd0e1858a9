// Transfer-function editor: histogram, hit tests, what drags move, and its
// callbacks (the table and the limits of moves: TransferFunctionTest).
#include "GlTestContext.h"
#include "TestData.h"
#include "gui/TransferFunctionEditor.h"

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

TEST_F(EditorTest, ResetAndTheHistogramOfTheVolume) {
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

// A press picks what the drag moves; its start and end fire the command, and
// changes are reported in editor coordinates, inside the area only.
TEST_F(EditorTest, DragsMoveWhatThePressPickedAndReport) {
    editor->setCommandCallback([](int id) { changes.push_back({id}); });
    pressAt(40, 50);
    move(40, 50, -10, 0);
    pressAt(200, 50); // still a drag: no command
    move(200, 50, 5, 0);
    pressAt(102, 61);
    move(102, 61, 3, 4);
    editor->onMouse(left, up, 0, 0);
    EXPECT_EQ(std::vector<int>({editor->lowBound, editor->highBound, editor->controlPoints[2].x,
                                editor->controlPoints[2].y}),
              std::vector<int>({76, 175, 105, 55}));
    for (const auto& end : {std::pair<int, int>{255, 142}, {256, 0}, {0, 143}, {-1, 0}})
        move(0, 0, end.first, end.second);
    const int e = editorCommand;
    EXPECT_EQ(changes, (std::vector<std::vector<int>>{
                           {e}, {e, 30, 50}, {e, 205, 50}, {e, 105, 65}, {e}, {e, 255, 142}}));
}

} // namespace
