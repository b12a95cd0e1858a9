// The slice pass's texture mapping against real GL state, and the GL state a
// frame leaves behind.
#include "render/Renderer.h"
#include "ViewerSetup.h"
#include "app/Window.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

namespace {

// Texture coordinates GL generates for a slice vertex: eye position
// (x, y, z + distance) through the current texture matrix.
void texCoord(float x, float y, float z, float out[3]) {
    float t[16];
    glGetFloatv(GL_TEXTURE_MATRIX, t);
    const float eye[4] = {x, y, z + viewState.distance, 1};
    for (int row = 0; row < 3; ++row) {
        out[row] = 0;
        for (int k = 0; k < 4; ++k)
            out[row] += t[k * 4 + row] * eye[k];
    }
}

void expectCoord(float x, float y, float z, float s, float t, float r) {
    float c[3];
    texCoord(x, y, z, c);
    EXPECT_NEAR(c[0], s, 1e-5) << x << "," << y << "," << z;
    EXPECT_NEAR(c[1], t, 1e-5) << x << "," << y << "," << z;
    EXPECT_NEAR(c[2], r, 1e-5) << x << "," << y << "," << z;
}

class RendererTest : public ::testing::Test {
  protected:
    void SetUp() override { setUpViewer(); }
};

} // namespace

TEST_F(RendererTest, SliceStackCornersMapOntoTheWholeTexture) {
    setSliceTextureMatrix();
    expectCoord(-1, -1, -1, 0, 0, 0); // first (farthest) slice
    expectCoord(1, 1, 1, 1, 1, 1);    // last slice
    expectCoord(0, 0, 0, 0.5f, 0.5f, 0.5f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_TEXTURE);
}

TEST_F(RendererTest, QuarterTurnAboutYShowsTheLastDepthLayerOnTheRight) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(90, 0, 1, 0);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewState.rotation);
    glPopMatrix();
    setSliceTextureMatrix();
    expectCoord(1, 0, 0, 0.5f, 0.5f, 1);
    expectCoord(-1, 0, 0, 0.5f, 0.5f, 0);
    expectCoord(0, 0, 1, 0, 0.5f, 0.5f); // nearest point samples x = 0
}

TEST_F(RendererTest, NonCubicVolumesStretchTheShortAxes) {
    viewState.textureScale[1] = 1.0f; // half as tall as wide
    setSliceTextureMatrix();
    expectCoord(0, 0.5f, 0, 0.5f, 1, 0.5f);
    expectCoord(0, -0.5f, 0, 0.5f, 0, 0.5f);
}

TEST_F(RendererTest, FrameLeavesTheStateTheCallbacksRelyOn) {
    viewState.distance = -3.0f;
    display();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], -3.0f); // translation x rotation
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND)); // the overlay was drawn
    EXPECT_TRUE(controlPanel->visible);

    viewState.showOverlay = false;
    display();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(controlPanel->visible);
    controlPanel->onMouse(0, 0, 10 + 60 + 5, 10 + 410 + 5); // "Infos" while hidden
    EXPECT_EQ(controlPanel->page, 1);
}

TEST_F(RendererTest, BlendingOperatorsSetTheirState) {
    if (!extensions.hasBlendColor || !extensions.hasBlendMinmax) GTEST_SKIP() << "driver";
    viewState.sliceCount = 10;
    controlPanel->attRadio->select(true);
    display();
    float colour[4];
    glGetFloatv(GL_BLEND_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[3], 0.3f);

    controlPanel->mipRadio->select(true);
    display();
    GLint equation = 0;
    glGetIntegerv(GL_BLEND_EQUATION, &equation);
    EXPECT_EQ(equation, GL_MAX); // the panel was drawn under it too
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE);

    controlPanel->overRadio->select(true);
    controlPanel->useTfCheckBox->setChecked(false);
    display();
    glGetIntegerv(GL_BLEND_EQUATION, &equation);
    EXPECT_EQ(equation, GL_FUNC_ADD);
    float reference = -1;
    glGetFloatv(GL_ALPHA_TEST_REF, &reference);
    EXPECT_FLOAT_EQ(reference, 0.1f * 0.2f);
}

TEST_F(RendererTest, ReshapeToNoHeightKeepsAFiniteProjection) {
    reshape(300, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 300);
    EXPECT_EQ(viewport[3], 1);
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[0] * 300.0f, projection[5]); // aspect 300 / 1
    reshape(256, 256);
}
