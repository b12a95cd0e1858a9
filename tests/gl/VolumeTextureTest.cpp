#include "GlTestContext.h"
#include "TestVolume.h"

#include "app/ExtensionProbe.h"
#include "platform/Extensions.h"
#include "volume/VolumeTexture.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

// Every texel against the per-voxel definition, with guard bytes after the buffer.
TEST(StagingFill, EveryTexelIsItsVoxelOrTheZeroBorder) {
    TransferTable table;
    patternTable(table);
    table[0][0] = 0xee; // the border must not come from entry 0
    const int shapes[][3] = {{64, 64, 64}, {16, 2, 32}, {128, 64, 32}, {2, 16, 16}, {32, 16, 2}};
    for (const auto& s : shapes) {
        const int w = s[0], h = s[1], d = s[2];
        const auto volume = loadTestVolume(w, h, d);
        const uint8_t* voxels = volume->voxels();
        for (const int texelBytes : {1, 4}) {
            std::vector<uint8_t> staging(stagingBytes(w, h, d, texelBytes) + 16, 0xcd);
            if (texelBytes == 4)
                fillRgbaStaging(w, h, d, voxels, table, staging.data());
            else
                fillAlphaStaging(w, h, d, voxels, staging.data());
            size_t wrong = 0, copied = 0;
            for (size_t i = 0; i < volume->voxelCount(); ++i) {
                const int x = i % w, y = i / w % h, z = i / w / h;
                const bool border = x % (w - 1) == 0 || y % (h - 1) == 0 || z % (d - 1) == 0;
                copied += !border;
                for (int c = 0; c < texelBytes; ++c)
                    wrong += staging[i * texelBytes + c] != (border            ? 0
                                                             : texelBytes == 4 ? table[voxels[i]][c]
                                                                               : voxels[i]);
            }
            EXPECT_EQ(wrong, 0u) << w << "x" << h << "x" << d << " texel bytes " << texelBytes;
            EXPECT_EQ(staging[staging.size() - 16], 0xcd) << "wrote past the buffer";
            if (w == 64) {
                EXPECT_EQ(copied, 238328u);
            }
        }
    }
    EXPECT_EQ(stagingBytes(1024, 1024, 1024, 4), uint64_t(4) << 30);
}

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
