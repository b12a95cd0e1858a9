// Brick ranges, the visible box decided from them, and the slices cut to it.
#include "render/SliceClip.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

// One voxel of 200 at (10, 5, 7) in 64 x 32 x 16: bricks of 2 x 1 x 1 voxels,
// the voxel in brick (5, 5, 7) and the extra voxel of (4, 4, 6).
TEST(SliceBox, VisibleBoxAndSamplesPerTextureForm) {
    std::vector<uint8_t> voxels(64 * 32 * 16, 0);
    voxels[10 + 64 * (5 + 32 * 7)] = 200;
    const BrickGrid grid = computeBrickGrid(64, 32, 16, voxels.data());
    const struct {
        TextureContent content;
        int visible; // the one table entry with alpha, or -1
        float density, intensity;
        bool whole, empty;
    } cases[] = {
        {TextureContent::rgba, 200, 0, 1, false, false},
        {TextureContent::index, 201, 0, 1, false, false}, // one value of slack
        {TextureContent::rgba, 202, 0, 1, false, true},
        {TextureContent::rgba, 200, 0, 0, false, true}, // intensity 0 passes nothing
        {TextureContent::index, 0, 0, 1, true, false},  // outside the volume shows
        {TextureContent::rgba, 0, 0, 1, false, false},  // the RGBA border stays clear
        {TextureContent::alpha, -1, 0.5f, 0.2f, false, false},
        {TextureContent::alpha, -1, 0.9f, 0.2f, false, true},
    };
    // Low and high per axis: bricks 4..5, 4..5, 6..7 (or all) grown a voxel below, three above.
    const std::vector<float> tight = {7 / 64.f, 14 / 64.f, 3 / 32.f, 8 / 32.f, 5 / 16.f, 10 / 16.f};
    const std::vector<float> all = {-1 / 64.f, 66 / 64.f, -1 / 32.f,
                                    34 / 32.f, -1 / 16.f, 18 / 16.f};
    // Along x, bricks 4 and 5 (voxels 8 to 11) hold the voxel. A linear sample
    // at t reads voxels floor(64 t - 0.5) and the next; 1/128 voxel of rounding.
    const double xs[][2] = {{7.4, 0},  {7.5 - 1 / 128., 1},  {7.6, 1}, {12.4, 1},
                            {12.6, 0}, {12.5 + 1 / 128., 1}, {-3, 0},  {70, 0}};
    for (const auto& c : cases) {
        TransferTable table = {};
        if (c.visible >= 0) table[c.visible][3] = 1;
        const VisibleBox box = decideVisibleBox(grid, c.content, table, c.density, c.intensity);
        const int at = int(&c - cases);
        EXPECT_EQ(std::make_pair(box.whole, box.empty), std::make_pair(c.whole, c.empty)) << at;
        if (box.whole || box.empty) continue;
        const std::vector<float> bounds = {box.low[0],  box.high[0], box.low[1],
                                           box.high[1], box.low[2],  box.high[2]};
        EXPECT_EQ(bounds, c.visible == 0 ? all : tight) << at;
        for (const auto& x : xs) {
            const double p[3] = {x[0] / 64, 5.5 / 32, 7.5 / 16};
            EXPECT_EQ(anyVisible(box, p, p), x[1] || c.visible == 0) << at << " " << x[0];
        }
        // A range sees what either end or anything between sees.
        const double low[3] = {0, 5.5 / 32, 0}, high[3] = {7.4 / 64, 5.5 / 32, 1};
        const double past[3] = {13 / 64., 5.5 / 32, 1}, beyond[3] = {12.6 / 64, 5.5 / 32, 0};
        const double zeros[3] = {0.7, 0.5, 0.9};
        EXPECT_EQ(std::vector<bool>({anyVisible(box, low, high), anyVisible(box, low, past),
                                     anyVisible(box, beyond, past), anyVisible(box, zeros, zeros)}),
                  std::vector<bool>({c.visible == 0, true, c.visible == 0, c.visible == 0}))
            << at;
    }
}

// Each brick's range against its voxels and the next on each axis, 0 on the
// border, and the same pass's histogram: 4 Mi voxels (two threads), odd sizes.
TEST(SliceBox, BrickRangesMatchTheirVoxels) {
    for (const auto& n :
         {std::vector<int>{256, 128, 128, 32 * 32 * 32}, {24, 66, 35, 24 * 33 * 35}}) {
        std::vector<uint8_t> voxels(n[0] * n[1] * n[2]);
        for (size_t i = 0; i < voxels.size(); ++i)
            voxels[i] = uint8_t(i % 13 * 9 + i / n[0] % n[1] * 3 + i / n[0] / n[1]);
        std::vector<int> counted(256), expected(256);
        const BrickGrid grid = computeBrickGrid(n[0], n[1], n[2], voxels.data(), counted.data());
        ASSERT_EQ(grid.high.size(), size_t(n[3]));
        for (const uint8_t v : voxels)
            ++expected[v];
        EXPECT_EQ(counted, expected); // the same pass counts every voxel once
        size_t wrong = 0;
        for (size_t i = 0; i < grid.high.size(); ++i) {
            int first[3], last[3];
            bool border = false;
            for (int a = 0, b = int(i); a < 3; b /= grid.count[a++]) {
                first[a] = b % grid.count[a] * grid.size[a];
                last[a] = std::min(first[a] + grid.size[a], n[a] - 1);
                border = border || first[a] == 0 || last[a] == n[a] - 1;
            }
            uint8_t low = 255, high = 0;
            for (int z = first[2]; z <= last[2]; ++z)
                for (int y = first[1]; y <= last[1]; ++y)
                    for (int x = first[0]; x <= last[0]; ++x) {
                        const uint8_t v = voxels[x + size_t(n[0]) * (y + size_t(n[1]) * z)];
                        low = std::min(low, v), high = std::max(high, v);
                    }
            wrong += grid.low[i] != (border ? 0 : low) || grid.high[i] != high;
        }
        EXPECT_EQ(wrong, 0u) << n[0] << "x" << n[1] << "x" << n[2];
    }
}
TEST(SliceBox, PolygonWindowRectangleAndSpansOfASlice) {
    // A quarter turn about z: texture s follows eye y, t follows -x.
    const float rotation[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float centre[3] = {0.5f, 0.5f, 0.5f}, scale[3] = {0.5f, 0.5f, 0.5f};
    VisibleBox box;
    box.whole = false, box.low[0] = 0.25f, box.high[1] = 0.5f; // y >= -0.5 and x >= 0
    float polygon[maxSliceVertices][2];
    const int n = slicePolygon(box, centre, scale, rotation, 0.3f, polygon);
    ASSERT_EQ(n, 4);
    float low[2] = {9, 9}, high[2] = {-9, -9}, area = 0;
    for (int i = 0; i < n; ++i) {
        const float *p = polygon[i], *q = polygon[(i + 1) % n];
        area += (p[0] * q[1] - q[0] * p[1]) / 2; // positive when counter-clockwise
        for (int a = 0; a < 2; ++a)
            low[a] = std::min(low[a], p[a]), high[a] = std::max(high[a], p[a]);
    }
    EXPECT_EQ(std::vector<float>({low[0], high[0], low[1], high[1], area}),
              std::vector<float>({0, 1, -0.5f, 1, 1.5f}));
    box.low[2] = 0.7f; // the plane at z = 0.3 samples r = 0.65
    EXPECT_EQ(slicePolygon(box, centre, scale, rotation, 0.3f, polygon), 0);

    // x and y over -z into a 200 x 100 viewport, a pixel of margin, clamped;
    // the whole viewport once a vertex reaches the eye or passes it.
    const float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, -1, 0, 0, -0.2f, 0};
    const float square[4][2] = {{-0.25f, -0.25f}, {0.25f, -0.25f}, {0.25f, 0.25f}, {-0.25f, 0.25f}};
    const struct {
        float eyeZ;
        int rect[4];
    } cases[] = {{-2, {86, 42, 28, 16}}, {-0.25f, {0, 0, 200, 100}}, {0.5f, {0, 0, 200, 100}}};
    for (const auto& c : cases) {
        int rect[4];
        sliceScissor(square, 4, c.eyeZ, projection, 200, 100, rect);
        EXPECT_EQ(std::vector<int>(rect, rect + 4), std::vector<int>(c.rect, c.rect + 4)) << c.eyeZ;
    }

    // Every pixel whose sample can see a visible brick lies in exactly one of
    // the slice's rectangles: scattered voxels, turned views, orthographic
    // windows of 64 x 48 and 200 x 150.
    std::vector<uint8_t> voxels(32 * 32 * 32, 0);
    for (size_t i = 7; i < voxels.size(); i += 977)
        voxels[i] = 200;
    TransferTable table = {};
    table[200][3] = 1;
    const VisibleBox visible = decideVisibleBox(computeBrickGrid(32, 32, 32, voxels.data()),
                                                TextureContent::rgba, table, 0, 1);
    const float ortho[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.1f, 0, 0, 0, 0, 1};
    const float wide[3] = {0.6f, 0.6f, 0.6f};
    const float turns[][16] = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                               {0.6f, 0.8f, 0, 0, -0.8f, 0.6f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                               {1, 0, 0, 0, 0, 0.8f, 0.6f, 0, 0, -0.6f, 0.8f, 0, 0, 0, 0, 1}};
    int missed = 0, twice = 0, seen = 0;
    for (const int w : {64, 200})
        for (const auto& r : turns)
            for (float z = -0.8f; z < 0.8f; z += 0.05f) {
                const int h = w * 3 / 4, rect[4] = {0, 0, w, h};
                int spans[sliceTiles][4];
                const int count =
                    sliceSpans(visible, centre, wide, r, z, -3, ortho, w, h, rect, spans);
                for (int p = 0; p < w * h; ++p) {
                    const int x = p % w, y = p / w;
                    const double ex = (x + 0.5) * 2 / w - 1, ey = (y + 0.5) * 2 / h - 1;
                    double t[3];
                    for (int a = 0; a < 3; ++a)
                        t[a] = centre[a] + wide[a] * (r[a * 4] * ex + r[a * 4 + 1] * ey +
                                                      r[a * 4 + 2] * double(z));
                    int in = 0;
                    for (int s = 0; s < count; ++s)
                        in += x >= spans[s][0] && x < spans[s][0] + spans[s][2] &&
                              y >= spans[s][1] && y < spans[s][1] + spans[s][3];
                    const bool shows = anyVisible(visible, t, t);
                    seen += shows, missed += shows && in == 0, twice += in > 1;
                }
            }
    EXPECT_GT(seen, 1000);
    EXPECT_EQ(std::make_pair(missed, twice), std::make_pair(0, 0));
}
