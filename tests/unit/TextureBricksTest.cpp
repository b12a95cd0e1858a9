// Splitting a padded volume into bricks within the driver's limits, the
// bricks' texels, and the memory that showing a volume takes.
#include "volume/TextureBricks.h"
#include "volume/Volume.h"

#include <gtest/gtest.h>
#include <numeric>

TEST(TextureBricks, SplitsWithinTheLimitsSharingOneTexel) {
    const uint64_t gib = uint64_t(1) << 30;
    const struct {
        int extent[3], texelBytes, axis;
        uint64_t bytes;
        const char* split;
    } rows[] = {
        {{64, 64, 64}, 1, 32, gib, "2 x 2 x 2 textures of 32 x 32 x 32"},
        {{128, 64, 32}, 4, 32, gib, "5 x 2 x 1 textures of 26 x 32 x 30"},
        {{2050, 2050, 1024}, 1, 2048, gib, "2 x 2 x 1 textures of 1025 x 1025 x 1022"},
        {{2050, 2050, 1024}, 4, 2048, gib, "3 x 3 x 2 textures of 684 x 684 x 512"},
        {{512, 512, 2162}, 1, 2048, gib, "1 x 1 x 2 textures of 510 x 510 x 1081"},
        {{2, 64, 1024}, 1, 1024, 4096, "1 x 1 x 16 textures of 1 x 62 x 65"},
        {{64, 64, 64}, 1, 1, gib, "0 x 0 x 0 textures of 0 x 0 x 0"},
    };
    for (const auto& row : rows) {
        BrickLimits limits;
        limits.axis = row.axis, limits.bytes = row.bytes;
        const TextureBrickLayout l = layOutBricks(row.extent, row.texelBytes, limits);
        EXPECT_EQ(describeLayout(l), row.split);
        for (int a = 0; a < 3 && l.bricks() > 0; ++a) {
            EXPECT_EQ(l.first(a, 0), 1);
            EXPECT_EQ(l.first(a, l.count[a]), std::max(row.extent[a] - 2, 1));
            EXPECT_LE(l.largest(a), row.axis);
            for (int i = 1; i < l.count[a]; ++i) {
                double low, high, before, end;
                l.drawnRange(a, i, low, high);
                l.drawnRange(a, i - 1, before, end);
                EXPECT_EQ(end, low); // the bricks' parts meet at a shared texel's centre
                EXPECT_EQ(low, (l.first(a, i) + 0.5) / row.extent[a]);
            }
        }
        const uint64_t largest = uint64_t(l.largest(0)) * l.largest(1) * l.largest(2);
        EXPECT_LE(largest * row.texelBytes, row.bytes);
    }
}

// A brick's slab holds its voxels, or the table's bytes for four-byte texels;
// an axis of 2 is all outer layer, so its one stored texel stays 0.
TEST(TextureBricks, FillsSlabsFromTheBlock) {
    std::vector<uint8_t> voxels(16 * 16 * 16);
    std::iota(voxels.begin(), voxels.end(), 1);
    TransferTable table;
    for (int v = 0; v < 256; ++v)
        table[v][0] = uint8_t(v), table[v][1] = 1, table[v][2] = 2, table[v][3] = uint8_t(255 - v);
    BrickLimits limits;
    limits.axis = 8;
    for (const int height : {16, 2}) {
        const int extent[3] = {16, height, 16};
        const TextureBrickLayout l = layOutBricks(extent, 4, limits); // texels 1-7 and 7-14
        const int h = l.length(1, 0);
        std::vector<uint8_t> rgba(size_t(8) * h * 2 * 4), alpha(size_t(8) * h * 2);
        fillBrickSlab(l, voxels.data(), 1, 0, 1, 5, 7, 4, table, rgba.data());
        fillBrickSlab(l, voxels.data(), 1, 0, 1, 5, 7, 1, nullptr, alpha.data());
        for (int z = 0; z < 2; ++z)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < 8; ++x) {
                    const size_t at = size_t(x + 8 * (y + h * z));
                    const uint8_t v =
                        height == 2 ? 0 : voxels[size_t(7 + x + 16 * (1 + y + 16 * (12 + z)))];
                    EXPECT_EQ(alpha[at], v) << x << " " << y << " " << z;
                    EXPECT_EQ(rgba[4 * at + 3], height == 2 ? 0 : 255 - v);
                }
    }
}

// The block, the bricks and a slab; one texture and its staging buffer below
// the limits; the factor that brings a volume within the memory there is.
TEST(TextureBricks, CountsTheMemoryToShowAVolume) {
    BrickLimits limits;
    limits.axis = 2048;
    const int ct[3] = {512, 512, 2160}, small[3] = {100, 50, 20};
    const uint64_t bricks = 510ull * 510 * 2161, slab = 510ull * 510 * 8; // 2 MiB
    EXPECT_EQ(bytesToShow(ct, 1, limits), 512ull * 512 * 2162 + bricks + slab);
    EXPECT_EQ(bytesToShow(small, 4, limits), 128ull * 64 * 32 * 9);
    EXPECT_EQ(reductionToFit(ct, 1, limits, bytesToShow(ct, 1, limits) / 4), 2);
    EXPECT_EQ(reductionToFit(ct, 1, limits, 1000), 0);
    EXPECT_EQ(formatBytes(3ull << 29), "1.5 GiB");
    EXPECT_EQ(std::vector<uint32_t>({padToExtent(1), padToExtent(1024), padToExtent(1025)}),
              std::vector<uint32_t>({2, 1024, 1027}));
}
