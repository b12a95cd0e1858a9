// Texture rebuilds against a real context: one live texture, the uploaded
// texels, and a failed staging allocation.
#include "GlTestContext.h"
#include "TestVolume.h"

#include "app/ExtensionProbe.h"
#include "platform/Extensions.h"
#include "volume/VolumeTexture.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

class VolumeTextureGl : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureGlContext();
        probeExtensions();
        patternTable(table);
    }
    TransferTable table;
};

TEST_F(VolumeTextureGl, RebuildsReplaceTheTextureAndUploadTheStagingBuffer) {
    const auto volume = loadTestVolume(32, 16, 16);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(volume->buildRgbaTexture(volumeTexture, 0, table));
    ASSERT_TRUE(volume->buildRgbaTexture(volumeTexture, 0, table));
    ASSERT_TRUE(volume->buildAlphaTexture(volumeTexture, 0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Loading transfer function texture\nLoading transfer function texture\n"
              "Loading texture alpha\n");
    int live = 0;
    for (GLuint name = 1; name < 64; ++name)
        live += glIsTexture(name);
    EXPECT_EQ(live, 1);
    GLint bound = 0, wrap = 0, alignment = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &bound);
    EXPECT_EQ(GLuint(bound), volumeTexture[0]);
    glGetTexParameteriv(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the upload's alignment leaked out";

    std::vector<uint8_t> expected(volume->voxelCount()), texels(expected.size());
    fillAlphaStaging(32, 16, 16, volume->voxels(), expected.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, expected);
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(VolumeTextureGl, MissingStagingMemoryKeepsTheCurrentTexture) {
    const auto small = loadTestVolume(16, 16, 16);
    const auto large = loadTestVolume(1024, 1024, 256, true); // untouched zero pages
    ASSERT_TRUE(small->buildAlphaTexture(volumeTexture, 0));
    const GLuint before = volumeTexture[0];
    // Leave 256 MiB of address space: far short of the 1 GiB staging buffer.
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    ASSERT_TRUE(statm && std::fscanf(statm, "%ld", &pages) == 1);
    std::fclose(statm);
    rlimit old{}, tight{};
    getrlimit(RLIMIT_AS, &old);
    tight = old;
    tight.rlim_cur = rlim_t(pages) * sysconf(_SC_PAGESIZE) + (rlim_t(256) << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    testing::internal::CaptureStderr();
    const bool built = large->buildRgbaTexture(volumeTexture, 0, table);
    const std::string err = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_AS, &old);
    EXPECT_FALSE(built);
    EXPECT_NE(err.find("not enough memory"), std::string::npos) << err;
    EXPECT_EQ(volumeTexture[0], before);
    EXPECT_TRUE(glIsTexture(before));
}
#endif
