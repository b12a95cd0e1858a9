#include "GlTestContext.h"
#include "TestVolume.h"

#include "app/ExtensionProbe.h"
#include "platform/Extensions.h"
#include "platform/PalettedTexture.h"
#include "volume/VolumeTexture.h"

#include <gtest/gtest.h>

namespace {

class PalettedLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureGlContext();
        probeExtensions();
        if (hasExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                         "GL_EXT_paletted_texture"))
            GTEST_SKIP() << "the driver has the real extension";
        ASSERT_TRUE(extensions.hasPalettedTexture && palettedTextureLayerInstalled());
        patternTable(table);
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 4; ++c)
                other[i][c] = uint8_t(table[i][c] ^ (i ? 0x5a : 0));
    }
    std::unique_ptr<Volume> volume = loadTestVolume(32, 16, 16);
    TransferTable table, other;
};

// A square over the 256 x 256 window at texture depth r, modulated by a
// colour, alpha-tested and blended, as the slice pass draws; with the lookup
// of texture lookup unless that is 0.
std::vector<unsigned char> drawSlice(float r, GLuint lookup) {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_3D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.15f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.9f, 0.7f, 1.0f, 0.8f);
    if (lookup) beginPalettedLookup(lookup);
    glBegin(GL_QUADS);
    glTexCoord3f(0, 0, r), glVertex2f(-1, -1);
    glTexCoord3f(1, 0, r), glVertex2f(1, -1);
    glTexCoord3f(1, 1, r), glVertex2f(1, 1);
    glTexCoord3f(0, 1, r), glVertex2f(-1, 1);
    glEnd();
    if (lookup) endPalettedLookup();
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_3D);
    return readPixels(256, 256);
}

} // namespace

TEST_F(PalettedLayer, NearestPictureEqualsTheRgbaTexture) {
    for (const float r : {0.0f, 0.2f, 0.45f, 0.99f}) { // border planes included
        ASSERT_TRUE(volume->buildRgbaTexture(volumeTexture, 0, table));
        const auto rgba = drawSlice(r, 0);
        ASSERT_TRUE(volume->buildIndexTexture(volumeTexture, 0, table));
        EXPECT_TRUE(drawSlice(r, volumeTexture[0]) == rgba) << "at r = " << r;
    }
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
}

TEST_F(PalettedLayer, UploadPaletteRecoloursWithoutARebuild) {
    ASSERT_TRUE(volume->buildRgbaTexture(volumeTexture, 0, other));
    const auto wanted = drawSlice(0.45f, 0);
    ASSERT_TRUE(volume->buildIndexTexture(volumeTexture, 0, table));
    const GLuint name = volumeTexture[0];
    EXPECT_FALSE(drawSlice(0.45f, volumeTexture[0]) == wanted);
    glBindTexture(GL_TEXTURE_3D, 0); // uploadPalette binds the volume texture itself
    testing::internal::CaptureStdout();
    uploadPalette(other);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(volumeTexture[0], name);
    EXPECT_TRUE(drawSlice(0.45f, volumeTexture[0]) == wanted);
}

TEST_F(PalettedLayer, PalettesBelongToTheirTexturesAndRgbaNeedsNoLookup) {
    GLuint names[2] = {0, 0};
    ASSERT_TRUE(volume->buildRgbaTexture(names, 0, table));
    const auto wanted = drawSlice(0.45f, 0);
    // An index texture rebuilt as RGBA ("Use TF" off and on) draws as RGBA.
    ASSERT_TRUE(volume->buildIndexTexture(names, 0, other));
    ASSERT_TRUE(volume->buildRgbaTexture(names, 0, table));
    EXPECT_TRUE(drawSlice(0.45f, names[0]) == wanted);

    ASSERT_TRUE(volume->buildIndexTexture(names, 0, table));
    ASSERT_TRUE(volume->buildIndexTexture(names, 1, other));
    glBindTexture(GL_TEXTURE_3D, names[0]);
    EXPECT_TRUE(drawSlice(0.45f, names[0]) == wanted);
    glDeleteTextures(2, names);
}
