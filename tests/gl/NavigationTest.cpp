// Trackball maths, the level of detail while turning, and zoom, through the
// real GLUT callbacks over the program's objects.
#include "ViewerSetup.h"
#include "commands/Commands.h"
#include "tf/TransferFunctionEditor.h"

#include <GL/freeglut.h>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

float length(const float p[3]) {
    return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
}

bool isIdentity(const float m[16]) {
    for (int i = 0; i < 16; ++i)
        if (m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) return false;
    return true;
}

class NavigationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setUpViewer();
        // The test window is 256 x 256; stay clear of the panel on the left.
        width = glutGet(GLUT_WINDOW_WIDTH);
        height = glutGet(GLUT_WINDOW_HEIGHT);
    }
    int width = 0, height = 0;
};

} // namespace

TEST(Trackball, RotationStepsMatchGl) {
    ensureGlContext();
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // Two steps against the same steps done by GL's own matrix stack.
    float a[3], b[3], c[3];
    trackballProject(320, 240, 640, 480, a);
    trackballProject(400, 200, 640, 480, b);
    trackballProject(380, 330, 640, 480, c);
    rotateByTrackball(a, b, rotation);
    rotateByTrackball(b, c, rotation);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float* pairs[2][2] = {{a, b}, {b, c}};
    for (const auto& pair : pairs) {
        const float* l = pair[0];
        const float* p = pair[1];
        const float d[3] = {p[0] - l[0], p[1] - l[1], p[2] - l[2]};
        glLoadIdentity();
        glRotatef(90.0f * length(d), l[1] * p[2] - l[2] * p[1], l[2] * p[0] - l[0] * p[2],
                  l[0] * p[1] - l[1] * p[0]);
        glMultMatrixf(expected);
        glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    }
    glPopMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(rotation[i], expected[i], 1e-5) << i;
}

TEST_F(NavigationTest, TurningLowersQualityUntilRelease) {
    const struct { int slices, whileTurning; } cases[] = {{80, 53}, {10, 10}};
    for (const auto& c : cases) {
        viewState.sliceCount = c.slices;
        mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
        EXPECT_EQ(viewState.sliceCount, c.slices); // a press alone changes nothing
        motion(210, 110);
        EXPECT_EQ(viewState.sliceCount, c.whileTurning);
        EXPECT_EQ(viewState.filter, GLenum(GL_NEAREST));
        mouse(GLUT_LEFT_BUTTON, GLUT_UP, 210, 110);
        EXPECT_EQ(viewState.sliceCount, c.slices);
        EXPECT_EQ(viewState.filter, GLenum(GL_LINEAR));
    }
    EXPECT_FALSE(isIdentity(viewState.rotation));
}

TEST_F(NavigationTest, ClickWithoutMotionAndStrayReleaseChangeNothing) {
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100); // no press since start-up
    EXPECT_EQ(viewState.sliceCount, 80);
    EXPECT_EQ(viewState.filter, GLenum(GL_LINEAR));
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100);
    EXPECT_EQ(viewState.sliceCount, 80);
    EXPECT_TRUE(isIdentity(viewState.rotation));
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100); // a second release restores nothing stale
    EXPECT_EQ(viewState.sliceCount, 80);
}

TEST_F(NavigationTest, KeyDuringDragIsUndoneByTheRelease) {
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
    motion(205, 100);
    keyboard('e', 0, 0);
    EXPECT_EQ(viewState.sliceCount, 63);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 205, 100);
    EXPECT_EQ(viewState.sliceCount, 80);
}

TEST_F(NavigationTest, ZoomMovesWithTheDragAndStopsAtMinusOne) {
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 200, 100);
    motion(200, 120);
    EXPECT_FLOAT_EQ(viewState.distance, -3.4f);
    motion(300, 220);
    EXPECT_EQ(viewState.distance, -1.0f);
    motion(300, 20); // upwards: no lower limit
    EXPECT_FLOAT_EQ(viewState.distance, -11.0f);
    mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 300, 20);
    motion(300, 220); // no button: nothing
    EXPECT_FLOAT_EQ(viewState.distance, -11.0f);
    EXPECT_TRUE(isIdentity(viewState.rotation));
}

TEST_F(NavigationTest, EditorDragDoesNotTurnTheVolume) {
    TransferFunctionEditor& editor = *controlPanel->editor;
    // The high bound's zone at editor (200, 50), y turned down.
    const int x = editor.x + 200, y = height - (editor.y + 50);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    ASSERT_EQ(editor.dragMode, highBoundDrag);
    motion(x - 30, y);
    EXPECT_EQ(editor.highBound, 140);
    EXPECT_TRUE(isIdentity(viewState.rotation));
    EXPECT_EQ(viewState.sliceCount, 80);
    if (extensions.hasPalettedTexture) {
        EXPECT_EQ(editor.table[150][0], 255); // recoloured live
    }
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, x - 30, y);
    EXPECT_EQ(editor.dragMode, noDrag);
}

TEST_F(NavigationTest, MiddleButtonOnlyReachesThePanel) {
    mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 200, 100);
    EXPECT_FALSE(mouseState->rotating);
    EXPECT_FALSE(mouseState->zooming);
    motion(220, 140);
    EXPECT_TRUE(isIdentity(viewState.rotation));
    EXPECT_FLOAT_EQ(viewState.distance, -4.4f);
    EXPECT_EQ(mouseState->x, 200); // motion handled nothing
}
