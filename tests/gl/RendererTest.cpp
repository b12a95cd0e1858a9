// Exact pictures of each blending operator, the GL state a frame leaves
// behind, and texture rebuilds.
#include "render/Renderer.h"
#include "GlTestContext.h"
#include "TestData.h"
#include "app/Window.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/ViewState.h"
#include "volume/VolumeTexture.h"

#include <gtest/gtest.h>

namespace {

class RendererTest : public ::testing::Test {
  protected:
    void SetUp() override { setUpViewer(); }
};

} // namespace

// 16 x 16 x 16 voxels in uniform layers: blue in z layers 1-2 (far), red in
// 13-14 (near), empty elsewhere. With 14 slices and identity rotation the
// centre ray samples layer floor(16 i / 13) on slice i, never on a layer
// boundary: slices 1-2 are blue, 11-12 red, the rest are alpha-tested away.
// Each slice's fragment is the table colour with alpha intensity x table alpha.
TEST_F(RendererTest, EachOperatorBlendsTheCentreRayExactly) {
    if (!extensions.hasBlendColor || !extensions.hasBlendMinmax) GTEST_SKIP() << "driver";
    std::vector<unsigned char> voxels(16 * 16 * 16, 0);
    for (size_t i = 0; i < voxels.size(); ++i) {
        const size_t z = i / 256;
        voxels[i] = z == 1 || z == 2 ? 1 : z == 13 || z == 14 ? 2 : 0;
    }
    TempFile file(voxels);
    Volume layers;
    testing::internal::CaptureStdout();
    ASSERT_EQ(layers.load(file.c_str(), 16, 16, 16, true), LoadStatus::ok);
    initGLState(); // depth test and culling as the program has them
    testing::internal::GetCapturedStdout();
    reshape(256, 256);

    const struct {
        RadioButton* radio;
        int blueAlpha;
        int rgb[3];
        int tolerance; // framebuffer rounding after each blended slice
    } rows[] = {
        {controlPanel->normRadio, 255, {102, 0, 102}, 1}, // 2 x 51 each
        {controlPanel->normRadio, 20, {102, 0, 8}, 1},  // 0.2 x 20 = 4: the alpha test lets it pass
        {controlPanel->overRadio, 255, {92, 0, 59}, 2}, // 51, then 51 + 0.8 x the rest
        {controlPanel->attRadio, 255, {109, 0, 109}, 2}, // 2 x 255 x 3 / 14
        {controlPanel->mipRadio, 255, {255, 0, 255}, 0},
    };
    viewState.sliceCount = 14;
    viewState.filter = GL_NEAREST;
    viewState.showOverlay = false;
    const TransferTable zero = {};
    GLuint indexTexture[1] = {0};
    for (const auto& row : rows) {
        TransferTable table = {{0, 0, 0, 0}, {0, 0, 255, uint8_t(row.blueAlpha)}, {255, 0, 0, 255}};
        testing::internal::CaptureStdout(); // the builders' progress lines
        const bool built = layers.buildRgbaTexture(volumeTexture, 0, table) &&
                           layers.buildIndexTexture(indexTexture, 0, zero);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(built);
        row.radio->select(true);
        display();
        const std::vector<unsigned char> rgba = readPixels(256, 256);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(rgba[4 * (128 * 256 + 128) + c], row.rgb[c], row.tolerance)
                << row.radio->text << " blue alpha " << row.blueAlpha << " channel " << c;
        if (!extensions.hasPalettedTexture) continue;
        // The colour-index texture, recoloured by a palette upload alone,
        // draws the same picture with the nearest filter.
        std::swap(volumeTexture[0], indexTexture[0]);
        uploadPalette(table);
        display();
        EXPECT_TRUE(readPixels(256, 256) == rgba) << row.radio->text;
        std::swap(volumeTexture[0], indexTexture[0]);
    }
}

// Frames leave the model-view current with translation x rotation, the slice
// state off and, with the overlay, blending on.
TEST_F(RendererTest, FramesLeaveTheStateTheCallbacksRelyOn) {
    viewState.distance = -3.0f;
    for (bool overlay : {true, false}) {
        viewState.showOverlay = overlay;
        display();
        GLint mode = 0;
        float m[16];
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_EQ(mode == GL_MODELVIEW && m[14] == -3.0f, true);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D) || glIsEnabled(GL_TEXTURE_GEN_S) ||
                     glIsEnabled(GL_ALPHA_TEST));
        EXPECT_EQ(glIsEnabled(GL_BLEND) * 10 + controlPanel->visible, overlay * 11);
    }
}

TEST(VolumeTexture, RebuildsReplaceTheTextureAndUploadTheStagingBuffer) {
    setUpViewer(); // probes the driver
    const auto small = loadTestVolume(32, 16, 16);
    TransferTable table;
    patternTable(table);
    auto liveNames = [] {
        int live = 0;
        for (GLuint name = 1; name < 256; ++name)
            live += glIsTexture(name);
        return live;
    };
    testing::internal::CaptureStdout();
    ASSERT_TRUE(small->buildAlphaTexture(volumeTexture, 0));
    const int live = liveNames();
    ASSERT_TRUE(small->buildRgbaTexture(volumeTexture, 0, table) &&
                small->buildIndexTexture(volumeTexture, 0, table) &&
                small->buildAlphaTexture(volumeTexture, 0));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(liveNames(), live); // no palette outlives its index texture either
    std::vector<uint8_t> expected(small->voxelCount()), texels(expected.size());
    fillAlphaStaging(32, 16, 16, small->voxels(), expected.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, expected);
}
