// The raw loader, padding, the staging fills and the histogram count, exact
// voxel by voxel.
#include "TestData.h"
#include "volume/Bricks.h"
#include "volume/CoarseCopy.h"
#include "volume/Staging.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

// Odd sizes read row by row, whole rows as slice runs, whole slices as runs
// over several chunks; two-byte samples keep their second byte; a short file
// leaves the rest 0. Every padded voxel is checked against the file.
TEST(VolumeLoader, PlacesEverySampleAndZeroesTheRest) {
    const struct {
        int w, h, d;
        bool eightBit;
        size_t fileBytes;
        float scale[3];
    } shapes[] = {
        // clang-format off
        {100, 50, 20, true, 101000, {1, 2, 4}}, {16, 5, 3, false, 480, {1, 1, 1}},
        {128, 128, 65, true, 1064960, {1, 1, 1}}, {64, 32, 128, true, 262144, {2, 4, 1}},
        {10, 10, 10, false, 501, {1, 1, 1}}, {0, 4, 4, true, 64, {8, 1, 1}},
        // clang-format on
    };
    for (const auto& s : shapes) {
        const std::vector<unsigned char> bytes = patternBytes(s.fileBytes);
        TempFile file(bytes, " volume \xc3\xbc\xe4\xbd\x93.raw"); // spaces and UTF-8 letters
        Volume v;
        ASSERT_EQ(v.load(file.c_str(), s.w, s.h, s.d, s.eightBit), LoadStatus::ok);
        const size_t sampleBytes = s.eightBit ? 1 : 2, wanted = size_t(s.w) * s.h * s.d;
        EXPECT_EQ(v.missingSamples(), wanted - std::min(wanted, bytes.size() / sampleBytes));
        EXPECT_EQ(v.extraBytes(), bytes.size() - std::min(bytes.size(), wanted * sampleBytes));
        EXPECT_EQ(std::vector<float>(v.scale(), v.scale() + 3),
                  std::vector<float>(s.scale, s.scale + 3));
        size_t next = 0, wrong = 0;
        for (int z = 0; z < v.depth(); ++z)
            for (int y = 0; y < v.height(); ++y)
                for (int x = 0; x < v.width(); ++x) {
                    const bool inside = x < s.w && y < s.h && z < s.d;
                    const bool inFile = inside && (next + 1) * sampleBytes <= bytes.size();
                    wrong += v.voxels()[x + v.width() * (y + v.height() * z)] !=
                             (inFile ? bytes[next * sampleBytes + sampleBytes - 1] : 0);
                    next += inside;
                }
        EXPECT_EQ(wrong, 0u) << s.w << "x" << s.h << "x" << s.d;
        // Prepared voxels replace a loaded block, and are released like one.
        if (wanted > 0 && wanted <= bytes.size()) {
            EXPECT_TRUE(v.setVoxels(bytes.data(), s.w, s.h, s.d));
        }
    }
}

// Names typed before Windows gave UTF-8 command lines come in the ANSI code
// page: a file that opens under one (Latin-1 \344 here) loads in full.
TEST(VolumeLoader, LoadsUnderANameThatIsNotUtf8) {
    const TempFile unique({});
    const std::string name = unique.c_str() + std::string("Sch\344del.raw");
    FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_TRUE(file && std::fwrite("\1\2\3\4\5\6\7\10\11", 1, 9, file) == 9 && !std::fclose(file));
    Volume v;
    const LoadStatus status = v.load(name.c_str(), 2, 2, 2, true);
    std::remove(name.c_str());
    ASSERT_EQ(status, LoadStatus::ok);
    EXPECT_EQ(std::vector<uint8_t>(v.voxels(), v.voxels() + 8),
              std::vector<uint8_t>({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(v.extraBytes(), 1u);
}

// Every texel against the per-voxel rule, with guard bytes after the buffer.
TEST(StagingFill, EveryTexelIsItsVoxelOrTheZeroBorder) {
    TransferTable table;
    patternTable(table);
    table[0][0] = 0xee; // the border must not come from entry 0
    for (const auto& s : {std::vector<int>{16, 2, 32}, {128, 64, 32}, {2, 16, 16}, {32, 16, 2}}) {
        const int w = s[0], h = s[1], d = s[2];
        const auto volume = loadTestVolume(w, h, d);
        const uint8_t* voxels = volume->voxels();
        for (const int texelBytes : {1, 4}) {
            // In slabs of 3 planes, the last one short, as the upload fills them.
            std::vector<uint8_t> staging(stagingBytes(w, h, d, texelBytes) + 16, 0xcd);
            for (int z = 0; z < d; z += 3) {
                uint8_t* slab = staging.data() + stagingBytes(w, h, z, texelBytes);
                if (texelBytes == 4)
                    fillRgbaStaging(w, h, d, voxels, table, z, std::min(3, d - z), slab);
                else
                    fillAlphaStaging(w, h, d, voxels, z, std::min(3, d - z), slab);
            }
            size_t wrong = 0;
            for (size_t i = 0; i < volume->voxelCount(); ++i) {
                const bool border =
                    i % w % (w - 1) == 0 || i / w % h % (h - 1) == 0 || i / w / h % (d - 1) == 0;
                for (int c = 0; c < texelBytes; ++c)
                    wrong += staging[i * texelBytes + c] != (border            ? 0
                                                             : texelBytes == 4 ? table[voxels[i]][c]
                                                                               : voxels[i]);
            }
            EXPECT_EQ(wrong, 0u) << w << "x" << h << "x" << d << " texel bytes " << texelBytes;
            EXPECT_EQ(staging[staging.size() - 16], 0xcd) << "wrote past the buffer";
        }
    }
    EXPECT_EQ(stagingBytes(1024, 1024, 1024, 4), uint64_t(4) << 30);
    EXPECT_EQ(slabPlanes(1024, 1024, 1), 2); // 2 MiB, and never less than a plane
    EXPECT_EQ(slabPlanes(1024, 1024, 4), 1);
    EXPECT_EQ(slabPlanes(16, 16, 4), 2048);
}

// The count against one increment per voxel: short lengths from every alignment
// and 4 Mi voxels (two threads), runs long and short between mixed values.
TEST(HistogramCount, MatchesOneIncrementPerVoxel) {
    std::vector<uint8_t> bytes((size_t(4) << 20) + 77);
    for (size_t i = 0, run = 0; i < bytes.size(); ++run)
        for (const size_t end = std::min(bytes.size(), i + run * 37 % 101 + 1); i < end; ++i)
            bytes[i] = uint8_t(run % 3 ? run * 53 : i * 131 + i / 7);
    for (size_t offset = 0; offset < 8; ++offset)
        for (const size_t count :
             std::vector<size_t>{0, 1, 7, 31, 32, 33, 4990, bytes.size() - 8}) {
            int expected[256], counted[256];
            for (int v = 0; v < 256; ++v)
                expected[v] = counted[v] = v; // counts add on
            for (size_t i = 0; i < count; ++i)
                ++expected[bytes[offset + i]];
            countHistogram(bytes.data() + offset, count, counted);
            EXPECT_TRUE(std::equal(expected, expected + 256, counted)) << offset << "+" << count;
        }
}

// The drag's copy: sides, and means of uneven blocks (7 as 2, 2, 3), halves up, axes apart,
// 16-bit sums to their limit and 32-bit past it, 4 Mi voxels on two threads.
TEST(CoarseCopy, EachVoxelIsTheRoundedMeanOfItsBlock) {
    EXPECT_EQ(std::vector<int>({coarseExtent(256), coarseExtent(257), coarseExtent(2162)}),
              std::vector<int>({256, 129, 241}));
    std::vector<uint8_t> ramp(64), slabs(size_t(4) << 20), wanted(size_t(1) << 19);
    for (size_t i = 0; i < slabs.size(); ++i) // 0 to 63; z / 2 in 256 x 256 x 64, k in the copy
        ramp[i & 63] = uint8_t(i & 63), slabs[i] = wanted[i >> 3] = uint8_t(i >> 17);
    const struct {
        int n[3], m[3];
        std::vector<uint8_t> voxels, expected;
    } cases[] = {{{7, 1, 1}, {3, 1, 1}, {0, 1, 2, 3, 4, 5, 6}, {1, 3, 5}},
                 {{4, 4, 4}, {2, 1, 2}, ramp, {15, 17, 47, 49}},
                 {{1, 257, 1}, {1, 1, 1}, std::vector<uint8_t>(257, 255), {255}},
                 {{1, 258, 1}, {1, 1, 1}, std::vector<uint8_t>(258, 255), {255}},
                 {{256, 256, 64}, {128, 128, 32}, slabs, wanted}};
    for (const auto& c : cases) {
        std::vector<uint8_t> out(c.expected.size());
        EXPECT_TRUE(averageBlocks(c.n, c.voxels.data(), c.m, out.data()) && out == c.expected);
    }
}
