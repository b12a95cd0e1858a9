#include "TempFile.h"
#include "volume/Volume.h"

#include <gtest/gtest.h>

namespace {

uint8_t voxel(const Volume& v, int x, int y, int z) {
    return v.voxels()[x + v.width() * (y + v.height() * z)];
}

} // namespace

TEST(PadToPowerOfTwo, BoundariesOfEveryStep) {
    const struct {
        uint32_t n, padded;
    } cases[] = {{0, 2},           {1, 2},           {2, 2},      {3, 16},      {4, 16},
                 {8, 16},          {16, 16},         {17, 32},    {32, 32},     {33, 64},
                 {64, 64},         {65, 128},        {128, 128},  {129, 256},   {256, 256},
                 {257, 512},       {512, 512},       {513, 1024}, {1024, 1024}, {1025, 0},
                 {0xffffffffu, 0}, {uint32_t(-5), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(padToPowerOfTwo(c.n), c.padded) << "n = " << c.n;
}

TEST(VolumeLoader, PlacesOddSizedSamplesAndZeroesThePadding) {
    const std::vector<unsigned char> bytes = patternBytes(100 * 50 * 20);
    TempFile file(bytes);
    Volume v;
    ASSERT_EQ(v.load(file.c_str(), 100, 50, 20, true), LoadStatus::ok);
    EXPECT_EQ(v.width(), 128);
    EXPECT_EQ(v.height(), 64);
    EXPECT_EQ(v.depth(), 32);
    EXPECT_FLOAT_EQ(v.scale()[0], 1.0f);
    EXPECT_FLOAT_EQ(v.scale()[1], 2.0f);
    EXPECT_FLOAT_EQ(v.scale()[2], 4.0f);
    EXPECT_EQ(v.missingSamples(), 0u);

    size_t next = 0, nonZeroPadding = 0;
    for (int z = 0; z < 32; ++z)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x) {
                if (x < 100 && y < 50 && z < 20)
                    ASSERT_EQ(voxel(v, x, y, z), bytes[next++]) << x << "," << y << "," << z;
                else
                    nonZeroPadding += voxel(v, x, y, z) != 0;
            }
    EXPECT_EQ(nonZeroPadding, 0u);
    EXPECT_EQ(voxel(v, 99, 49, 19), bytes.back());
    EXPECT_EQ(voxel(v, 100, 0, 0), 0);

    Volume tall; // the depth is the largest axis
    ASSERT_EQ(tall.load(file.c_str(), 64, 32, 128, true), LoadStatus::ok);
    EXPECT_FLOAT_EQ(tall.scale()[0], 2.0f);
    EXPECT_FLOAT_EQ(tall.scale()[1], 4.0f);
    EXPECT_FLOAT_EQ(tall.scale()[2], 1.0f);
}

TEST(VolumeLoader, TwoByteSamplesKeepTheSecondByte) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 3 * 2 * 2; ++i) {
        bytes.push_back(0x12);
        bytes.push_back(static_cast<unsigned char>(0x30 + i));
    }
    TempFile file(bytes);
    Volume v;
    ASSERT_EQ(v.load(file.c_str(), 3, 2, 2, false), LoadStatus::ok);
    EXPECT_EQ(voxel(v, 0, 0, 0), 0x30);
    EXPECT_EQ(voxel(v, 2, 0, 0), 0x32);
    EXPECT_EQ(voxel(v, 0, 1, 0), 0x33);
    EXPECT_EQ(voxel(v, 2, 1, 1), 0x3b);
    EXPECT_EQ(voxel(v, 3, 0, 0), 0);
}

TEST(VolumeLoader, TrailingBytesAreIgnored) {
    std::vector<unsigned char> bytes = patternBytes(4 * 4 * 4);
    bytes.insert(bytes.end(), 1000, 0xee);
    TempFile file(bytes);
    Volume v;
    ASSERT_EQ(v.load(file.c_str(), 4, 4, 4, true), LoadStatus::ok);
    int ee = 0;
    for (uint64_t i = 0; i < v.voxelCount(); ++i)
        ee += v.voxels()[i] == 0xee;
    EXPECT_EQ(ee, 0);
    EXPECT_EQ(v.missingSamples(), 0u);
}

TEST(VolumeLoader, ShortFileLeavesTheMissingVoxelsZeroAndCountsThem) {
    // 10 x 10 x 10 wanted, 250 samples and one half sample present.
    std::vector<unsigned char> bytes = patternBytes(2 * 250 + 1);
    TempFile file(bytes);
    Volume v;
    ASSERT_EQ(v.load(file.c_str(), 10, 10, 10, false), LoadStatus::ok);
    EXPECT_EQ(v.missingSamples(), 750u);
    EXPECT_EQ(voxel(v, 9, 4, 2), bytes[2 * 249 + 1]); // sample 249
    EXPECT_EQ(voxel(v, 0, 5, 2), 0);                  // sample 250, half present
    size_t nonZero = 0;
    for (uint64_t i = 0; i < v.voxelCount(); ++i)
        nonZero += v.voxels()[i] != 0;
    EXPECT_EQ(nonZero, 250u);

    TempFile empty({});
    Volume e;
    ASSERT_EQ(e.load(empty.c_str(), 64, 64, 64, true), LoadStatus::ok);
    EXPECT_EQ(e.missingSamples(), 64u * 64 * 64);
}

TEST(VolumeLoader, ZeroSizesReadNothingAndRefusedSizesAllocateNothing) {
    TempFile file(patternBytes(64));
    Volume zero;
    ASSERT_EQ(zero.load(file.c_str(), 0, 4, 4, true), LoadStatus::ok);
    EXPECT_EQ(zero.width(), 2);
    EXPECT_EQ(zero.height(), 16);
    EXPECT_EQ(zero.missingSamples(), 0u);
    for (uint64_t i = 0; i < zero.voxelCount(); ++i)
        ASSERT_EQ(zero.voxels()[i], 0);

    for (int bad : {-1, 1025, 1 << 30}) {
        Volume v;
        EXPECT_EQ(v.load(file.c_str(), 4, bad, 4, true), LoadStatus::badSize) << bad;
        EXPECT_EQ(v.voxels(), nullptr);
        EXPECT_EQ(v.width(), 0);
    }
}

TEST(VolumeLoader, UnreadableFileIsReported) {
    Volume v;
    EXPECT_EQ(v.load("/nonexistent/skorel.raw", 4, 4, 4, true), LoadStatus::cannotOpen);
    EXPECT_EQ(v.load(tempFolder().c_str(), 4, 4, 4, true), LoadStatus::cannotOpen);
}

TEST(VolumeLoader, NamesWithSpacesAndNonAsciiLettersOpen) {
    // UTF-8, as the command line delivers it; Windows must not read it in the
    // ANSI code page.
    const std::vector<unsigned char> bytes = patternBytes(16 * 16 * 16);
    TempFile file(bytes, "skorel volume \xc3\xbc\xc3\xa9 \xe4\xbd\x93\xe7\xa7\xaf ");
    ASSERT_STRNE(file.c_str(), "");
    Volume v;
    ASSERT_EQ(v.load(file.c_str(), 16, 16, 16, true), LoadStatus::ok);
    EXPECT_EQ(v.missingSamples(), 0u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), v.voxels()));
}
