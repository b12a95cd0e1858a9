// Trackball turns against GL's own rotation, the level of detail while
// turning, zoom, and drags that belong to the editor, through the real GLUT
// callbacks over the program's objects.
#include "render/Navigation.h"
#include "GlTestContext.h"
#include "app/Application.h"
#include "commands/Commands.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/ViewState.h"
#include "tf/TransferFunctionEditor.h"

#include <GL/freeglut.h>
#include <cmath>
#include <gtest/gtest.h>

namespace {

bool isIdentity(const float m[16]) {
    for (int i = 0; i < 16; ++i)
        if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f)) return false;
    return true;
}

class NavigationTest : public ::testing::Test {
  protected:
    void SetUp() override { setUpViewer(); }
};

} // namespace

// Two steps against the same turns built by glRotatef: 90 degrees per unit of
// chord about from x to, applied after the rotation so far.
TEST(Trackball, RotationStepsMatchGl) {
    ensureGlContext();
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, expected[16];
    float p[3][3];
    trackballProject(320, 240, 640, 480, p[0]);
    trackballProject(400, 200, 640, 480, p[1]);
    trackballProject(380, 330, 640, 480, p[2]);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (int k = 0; k < 2; ++k) {
        const float *a = p[k], *b = p[k + 1];
        rotateByTrackball(a, b, rotation);
        glGetFloatv(GL_MODELVIEW_MATRIX, expected);
        glLoadIdentity();
        glRotatef(90.0f * std::hypot(b[0] - a[0], b[1] - a[1], b[2] - a[2]),
                  a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]);
        glMultMatrixf(expected);
    }
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    glPopMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(rotation[i], expected[i], 1e-5) << i;
}

TEST_F(NavigationTest, LeftDragLowersQualityUntilTheRelease) {
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100); // a stray release restores nothing
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100); // a click without motion turns nothing
    EXPECT_EQ(viewState.sliceCount, 80);
    EXPECT_TRUE(isIdentity(viewState.rotation));
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
    motion(210, 110);
    EXPECT_EQ(viewState.sliceCount, 53);
    EXPECT_EQ(viewState.filter, GLenum(GL_NEAREST));
    EXPECT_FALSE(isIdentity(viewState.rotation));
    keyboard('e', 0, 0); // undone by the release
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 210, 110);
    EXPECT_EQ(viewState.sliceCount, 80);
    EXPECT_EQ(viewState.filter, GLenum(GL_LINEAR));
}

TEST_F(NavigationTest, RightDragZoomsAndStopsAtMinusOne) {
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 200, 100);
    motion(200, 120);
    EXPECT_FLOAT_EQ(viewState.distance, -3.4f);
    motion(300, 220);
    EXPECT_EQ(viewState.distance, -1.0f);
    motion(300, 20); // upwards: no lower limit
    EXPECT_FLOAT_EQ(viewState.distance, -11.0f);
    mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 300, 20);
    mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 300, 20);
    motion(300, 220); // no left or right button: nothing
    EXPECT_FLOAT_EQ(viewState.distance, -11.0f);
    EXPECT_TRUE(isIdentity(viewState.rotation));
}

TEST_F(NavigationTest, EditorDragDoesNotTurnTheVolume) {
    TransferFunctionEditor& editor = *controlPanel->editor;
    // The high bound's zone at editor (200, 50), y turned down.
    const int x = editor.x + 200, y = glutGet(GLUT_WINDOW_HEIGHT) - (editor.y + 50);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    motion(x - 30, y);
    EXPECT_EQ(editor.highBound, 140);
    EXPECT_TRUE(isIdentity(viewState.rotation));
    EXPECT_EQ(viewState.sliceCount, 80);
    EXPECT_EQ(editor.table[150][0], extensions.hasPalettedTexture ? 255 : 0); // recoloured live
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, x - 30, y);
    EXPECT_EQ(editor.dragMode, noDrag);
}
