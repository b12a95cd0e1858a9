// Exact pictures of each blending operator, the GL state a frame leaves
// behind, and texture rebuilds.
#include "render/Renderer.h"
#include "GlTestContext.h"
#include "TestData.h"
#include "app/Window.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"
#include "volume/Staging.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
        BlendOperator op;
        int blueAlpha;
        int rgb[3];
        int tolerance; // framebuffer rounding after each blended slice
    } rows[] = {
        {BlendOperator::norm, 255, {102, 0, 102}, 1}, // 2 x 51 each
        {BlendOperator::norm, 20, {102, 0, 8}, 1},    // 0.2 x 20 = 4: the alpha test lets it pass
        {BlendOperator::over, 255, {92, 0, 59}, 2},   // 51, then 51 + 0.8 x the rest
        {BlendOperator::att, 255, {109, 0, 109}, 2},  // 2 x 255 x 3 / 14
        {BlendOperator::mip, 255, {255, 0, 255}, 0},
    };
    viewState.sliceCount = 14;
    viewState.filter = GL_NEAREST;
    viewState.showOverlay = false;
    for (const auto& row : rows) {
        TransferTable table = {{0, 0, 0, 0}, {0, 0, 255, uint8_t(row.blueAlpha)}, {255, 0, 0, 255}};
        testing::internal::CaptureStdout(); // the builder's progress line
        const bool built = buildRgbaTexture(layers, volumeTexture, table);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(built);
        viewState.blendOperator = row.op;
        display();
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D) || glIsEnabled(GL_TEXTURE_GEN_S) ||
                     glIsEnabled(GL_ALPHA_TEST)); // the overlay is drawn without them
        const std::vector<unsigned char> rgba = readPixels(256, 256);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(rgba[4 * (128 * 256 + 128) + c], row.rgb[c], row.tolerance)
                << int(row.op) << " blue alpha " << row.blueAlpha << " channel " << c;
    }
}

// Columns of values across the range, drawn with the maximum operator and the
// nearest filter, so that each pixel is one table entry: the colour-index
// form, recoloured by a palette upload alone, draws the RGBA form's picture,
// and each value shows its own entry, not a neighbour's. A drag draws from the
// averaged copy, made silently at its first frame and recoloured by palette
// uploads alone: columns of 254 and 0 along 512 voxels are 127 there.
TEST_F(RendererTest, ColourIndexFormLooksUpEveryValueAsTheRgbaFormDoes) {
    if (!extensions.hasPalettedTexture || !extensions.hasBlendMinmax) GTEST_SKIP() << "driver";
    const uint8_t values[] = {1, 127, 128, 200, 254, 255};
    std::vector<unsigned char> voxels(16 * 16 * 16);
    for (size_t i = 0; i < voxels.size(); ++i) // x = 1, 2 the first value, ... (0, 15: border)
        voxels[i] = values[std::min<size_t>((i % 16 - 1) / 2, 5)];
    TempFile file(voxels);
    Volume columns;
    TransferTable table, zero = {};
    for (int i = 0; i < 256; ++i) // neighbours differ in every colour channel; 0 is the border's
        table[i][0] = uint8_t(i), table[i][1] = uint8_t(255 - i), table[i][2] = uint8_t(i * 37),
        table[i][3] = i ? 255 : 0;
    GLuint indexTexture = 0;
    testing::internal::CaptureStdout();
    const bool built = columns.load(file.c_str(), 16, 16, 16, true) == LoadStatus::ok &&
                       buildRgbaTexture(columns, volumeTexture, table) &&
                       buildIndexTexture(columns, indexTexture, zero);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(built);
    reshape(256, 256);
    viewState.blendOperator = BlendOperator::mip;
    viewState.filter = GL_NEAREST;
    viewState.showOverlay = false;
    viewState.wholeSlices = true;
    display();
    const std::vector<unsigned char> rgba = readPixels(256, 256);
    for (uint8_t v : values) {
        size_t shown = 0;
        for (size_t p = 0; p < rgba.size(); p += 4)
            shown += std::equal(table[v], table[v] + 3, &rgba[p]);
        EXPECT_GT(shown, 100u) << int(v);
    }
    std::swap(volumeTexture, indexTexture);
    uploadPalette(table);
    display();
    EXPECT_TRUE(readPixels(256, 256) == rgba);
    voxels.assign(512 * 256 * 16, 0);
    for (size_t i = 0; i < voxels.size(); i += 2)
        voxels[i] = 254;
    ASSERT_TRUE(columns.setVoxels(voxels.data(), 512, 256, 16) &&
                buildIndexTexture(columns, volumeTexture, zero));
    viewState.coarse = true;
    for (const int flip : {0, 255}) {
        for (int i = 1; i < 256; ++i)
            table[i][0] = uint8_t(std::abs(flip - i));
        uploadPalette(table);
        testing::internal::CaptureStdout();
        display();
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        int reds[256] = {};
        const std::vector<unsigned char> shown = readPixels(256, 256);
        for (size_t p = 0; p < shown.size(); p += 4)
            ++reds[shown[p]];
        EXPECT_TRUE(reds[std::abs(flip - 127)] > 3000 && reds[std::abs(flip - 254)] == 0) << flip;
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
    ASSERT_TRUE(buildAlphaTexture(*small, volumeTexture));
    const int live = liveNames();
    ASSERT_TRUE(buildRgbaTexture(*small, volumeTexture, table) &&
                buildIndexTexture(*small, volumeTexture, table) &&
                buildAlphaTexture(*small, volumeTexture));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(liveNames(), live); // no palette outlives its index texture either
    std::vector<uint8_t> expected(small->voxelCount()), texels(expected.size());
    fillAlphaStaging(32, 16, 16, small->voxels(), 0, 16, expected.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, expected);
}
