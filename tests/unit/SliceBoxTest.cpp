// Brick ranges, the visible box decided from them, and the slice polygon and
// window rectangle cut from that box.
#include "render/SliceClip.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

TEST(SliceBox, BrickRangesHoldTheNextVoxelAndTheZeroBorder) {
    // 64 x 32 x 16: bricks of 2 x 1 x 1 voxels, 32 x 32 x 16 of them.
    std::vector<uint8_t> voxels(64 * 32 * 16, 9);
    BrickGrid grid = computeBrickGrid(64, 32, 16, voxels.data());
    ASSERT_EQ(grid.count[0] * grid.count[1] * grid.count[2], 32 * 32 * 16);
    EXPECT_EQ(std::count(grid.low.begin(), grid.low.end(), 9), 30 * 29 * 13); // off the border

    std::fill(voxels.begin(), voxels.end(), 0);
    voxels[10 + 64 * (5 + 32 * 7)] = 200; // in brick (5, 5, 7); the extra voxel of (4, 4, 6)
    grid = computeBrickGrid(64, 32, 16, voxels.data());
    for (int i = 0; i < 32 * 32 * 16; ++i) {
        const int x = i % 32, y = i / 32 % 32, z = i / 1024;
        const bool near = x / 2 == 2 && y / 2 == 2 && z / 2 == 3;
        ASSERT_EQ(grid.high[size_t(i)], near ? 200 : 0) << x << "," << y << "," << z;
    }

    struct Case {
        TextureContent content;
        int visible; // the one table entry with alpha, or -1
        float density, intensity;
        bool whole, empty;
    };
    const Case cases[] = {
        {TextureContent::rgba, 200, 0, 1, false, false},
        {TextureContent::index, 201, 0, 1, false, false}, // one value of slack
        {TextureContent::rgba, 202, 0, 1, false, true},
        {TextureContent::rgba, 200, 0, 0, false, true}, // intensity 0 passes nothing
        {TextureContent::index, 0, 0, 1, true, false},  // outside the volume shows
        {TextureContent::rgba, 0, 0, 1, false, false},  // the RGBA border stays clear
        {TextureContent::alpha, -1, 0.5f, 0.2f, false, false},
        {TextureContent::alpha, -1, 0.9f, 0.2f, false, true},
    };
    for (const Case& c : cases) {
        TransferTable table = {};
        if (c.visible >= 0) table[c.visible][3] = 1;
        const VisibleBox box = decideVisibleBox(grid, c.content, table, c.density, c.intensity);
        const int at = int(&c - cases);
        EXPECT_EQ(box.whole, c.whole) << at;
        EXPECT_EQ(box.empty, c.empty) << at;
        if (box.whole || box.empty) continue;
        // Bricks 4..5, 4..5, 6..7 grown by a voxel below and up to three above.
        const float near[6] = {7 / 64.f, 14 / 64.f, 3 / 32.f, 8 / 32.f, 5 / 16.f, 10 / 16.f};
        const float all[6] = {-1 / 64.f, 66 / 64.f, -1 / 32.f, 34 / 32.f, -1 / 16.f, 18 / 16.f};
        const float* want = c.visible == 0 ? all : near;
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(box.low[a], want[2 * a]) << at;
            EXPECT_EQ(box.high[a], want[2 * a + 1]) << at;
        }
        // Brick by brick: around the voxel, and where only zeros are.
        const double voxel[3] = {10.5 / 64, 5.5 / 32, 7.5 / 16}, zeros[3] = {0.7, 0.5, 0.9};
        EXPECT_TRUE(anyVisible(box, voxel, voxel)) << at;
        EXPECT_EQ(anyVisible(box, zeros, zeros), c.visible == 0) << at;
    }
}

TEST(SliceBox, PolygonHoldsThePointsInTheBoxAndItsRectangleHoldsThePolygon) {
    VisibleBox box;
    box.whole = false;
    const float lows[3] = {0.2f, 0.35f, 0.3f}, highs[3] = {0.9f, 0.6f, 0.55f};
    std::copy(lows, lows + 3, box.low);
    std::copy(highs, highs + 3, box.high);
    const float centre[3] = {0.5f, 0.5f, 0.5f}, scale[3] = {0.5f, 0.25f, 0.5f};
    const float c = std::cos(0.7f), s = std::sin(0.7f), t = 1 - c, k = 1 / std::sqrt(3.0f);
    float rotation[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}; // 0.7 about (1, 1, 1)
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            rotation[column * 4 + row] = t * k * k + (row == column                 ? c
                                                      : (row - column + 3) % 3 == 1 ? s * k
                                                                                    : -s * k);
    // A frustum: x and y over -z, the viewport 200 x 100.
    const float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, -1, 0, 0, -0.2f, 0};
    int empty = 0;
    for (float z = -1; z <= 1; z += 0.125f) {
        float polygon[maxSliceVertices][2];
        const int n = slicePolygon(box, centre, scale, rotation, z, polygon);
        empty += n == 0;
        int rect[4];
        sliceScissor(polygon, n, z - 3, projection, 200, 100, rect);
        for (float x = -0.99f; x < 1; x += 0.02f)
            for (float y = -0.99f; y < 1; y += 0.02f) {
                // Distance inside the box (texture units) and the polygon.
                float inBox = 1, inPolygon = n > 0 ? 1 : -1;
                for (int a = 0; a < 3; ++a) {
                    const float* r = rotation + a * 4;
                    const float v = centre[a] + scale[a] * (r[0] * x + r[1] * y + r[2] * z);
                    inBox = std::min({inBox, v - box.low[a], box.high[a] - v});
                }
                for (int i = 0; i < n; ++i) { // left of every counter-clockwise edge
                    const float *p = polygon[i], *q = polygon[(i + 1) % n];
                    inPolygon = std::min(inPolygon,
                                         (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]));
                }
                EXPECT_TRUE(inBox < 1e-4f || inPolygon > -1e-5f) << x << "," << y << "," << z;
                EXPECT_TRUE(inPolygon < 1e-5f || inBox > -1e-4f) << x << "," << y << "," << z;
                const float wx = (x / (3 - z) + 1) * 100, wy = (y / (3 - z) + 1) * 50;
                EXPECT_TRUE(inPolygon < 0 || (wx > rect[0] && wx < rect[0] + rect[2] &&
                                              wy > rect[1] && wy < rect[1] + rect[3]));
            }
    }
    EXPECT_TRUE(empty > 0 && empty < 17); // some slices miss the box, not all
    int rect[4];
    float behind[1][2] = {{0, 0}};
    sliceScissor(behind, 1, 0, projection, 200, 100, rect); // at the eye
    EXPECT_TRUE(rect[0] == 0 && rect[1] == 0 && rect[2] == 200 && rect[3] == 100);
}
