// Brick value ranges and the histogram (one pass over the voxels at start-up)
// and the visible box decided from them whenever the table or the thresholds
// change.
#include "volume/Bricks.h"

#include "platform/Workers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const int maxBricksPerAxis = 32;

// From this many voxels a second thread saves more than it costs to start.
const size_t splitCount = size_t(4) << 20;

// low = min(low, rows) and high = max(high, rows) over `count` rows of n
// bytes, column by column, 16 columns at a time in vector registers.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));

void fold(const uint8_t* rows, int count, size_t n, uint8_t* low, uint8_t* high) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        Bytes16 lo, hi;
        std::memcpy(&lo, low + i, 16);
        std::memcpy(&hi, high + i, 16);
        for (int r = 0; r < count; ++r) {
            Bytes16 v;
            std::memcpy(&v, rows + n * r + i, 16);
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
        std::memcpy(low + i, &lo, 16);
        std::memcpy(high + i, &hi, 16);
    }
    for (; i < n; ++i)
        for (int r = 0; r < count; ++r) {
            low[i] = std::min(low[i], rows[n * r + i]);
            high[i] = std::max(high[i], rows[n * r + i]);
        }
}

// Four tables, so that mixed values are four independent chains of increments
// instead of one that waits on each store. A 32-byte chunk of one value (the
// empty space around most objects) is one addition, to the tables in turn.
void countInto(const uint8_t* voxels, size_t count, uint32_t parts[4][256]) {
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        uint64_t words[4];
        std::memcpy(words, voxels + i, 32);
        const uint64_t first = (words[0] & 255) * 0x0101010101010101u;
        const uint64_t differ =
            (words[0] ^ first) | (words[1] ^ first) | (words[2] ^ first) | (words[3] ^ first);
        if (differ == 0) {
            parts[(i >> 5) & 3][voxels[i]] += 32;
            continue;
        }
        for (const uint64_t word : words) {
            ++parts[0][word & 255];
            ++parts[1][(word >> 8) & 255];
            ++parts[2][(word >> 16) & 255];
            ++parts[3][(word >> 24) & 255];
            ++parts[0][(word >> 32) & 255];
            ++parts[1][(word >> 40) & 255];
            ++parts[2][(word >> 48) & 255];
            ++parts[3][word >> 56];
        }
    }
    for (; i < count; ++i)
        ++parts[0][voxels[i]];
}

// Voxels a thread counts at a time.
const size_t countChunk = size_t(1) << 18;

// The two workers' tables into the histogram, held at INT_MAX: the empty
// space of a volume of several GiB holds more voxels than an int counts.
void addCounts(const uint32_t parts[2][4][256], int histogram[256]) {
    for (int v = 0; v < 256; ++v) {
        int64_t sum = histogram[v];
        for (int worker = 0; worker < 2; ++worker)
            for (int t = 0; t < 4; ++t)
                sum += parts[worker][t][v];
        histogram[v] = int(std::min<int64_t>(sum, INT32_MAX));
    }
}

} // namespace

void countHistogram(const uint8_t* voxels, size_t count, int histogram[256]) {
    alignas(64) uint32_t parts[2][4][256] = {}; // no cache line shared by the workers
    shareWork((count + countChunk - 1) / countChunk, count >= splitCount,
              [&](int worker, size_t chunk) {
                  const size_t at = chunk * countChunk;
                  countInto(voxels + at, std::min(countChunk, count - at), parts[worker]);
              });
    addCounts(parts, histogram);
}

namespace {

// The grid's sizes, with every range still empty; no bricks for an empty axis.
BrickGrid brickShape(int width, int height, int depth) {
    BrickGrid grid;
    const int n[3] = {width, height, depth};
    for (int a = 0; a < 3; ++a) {
        if (n[a] <= 0) return BrickGrid();
        grid.voxels[a] = n[a];
        grid.size[a] = std::max(1, n[a] / maxBricksPerAxis);
        grid.count[a] = (n[a] + grid.size[a] - 1) / grid.size[a];
    }
    grid.low.assign(size_t(grid.count[0]) * grid.count[1] * grid.count[2], 255);
    grid.high.assign(grid.low.size(), 0);
    return grid;
}

// Each brick's range of voxel values and, given a histogram, the voxels'
// counts added to it in the same pass.
void rangeBricks(BrickGrid& grid, const uint8_t* voxels, int histogram[256]) {
    const int width = grid.voxels[0], height = grid.voxels[1], depth = grid.voxels[2];
    const int cx = grid.count[0], cy = grid.count[1], cz = grid.count[2];
    // Per layer of bricks along z: fold the rows of each brick row, plane by
    // plane, into its running minimum and maximum, then reduce along x. Brick
    // b's rows and planes run from b * size to (b + 1) * size or the last.
    const size_t w = size_t(width);
    std::vector<uint8_t> rowLows[2], rowHighs[2]; // one pair per worker
    alignas(64) uint32_t parts[2][4][256] = {};   // and its histogram tables
    auto rangeLayer = [&](int worker, size_t layer) {
        rowLows[worker].assign(size_t(cy) * w, 255);
        rowHighs[worker].assign(size_t(cy) * w, 0);
        uint8_t* const rowLow = rowLows[worker].data();
        uint8_t* const rowHigh = rowHighs[worker].data();
        const int bz = int(layer);
        const int z0 = bz * grid.size[2], z1 = std::min(z0 + grid.size[2], depth - 1);
        for (int z = z0; z <= z1; ++z) {
            const uint8_t* plane = voxels + w * size_t(height) * z;
            for (int by = 0; by < cy; ++by) {
                const int y0 = by * grid.size[1], y1 = std::min(y0 + grid.size[1], height - 1);
                fold(plane + w * size_t(y0), y1 - y0 + 1, w, rowLow + size_t(by) * w,
                     rowHigh + size_t(by) * w);
            }
            // Counted while still in cache; the plane shared with the next
            // layer is that layer's to count.
            if (histogram && z < z0 + grid.size[2])
                countInto(plane, w * size_t(height), parts[worker]);
        }
        for (int by = 0; by < cy; ++by)
            for (int bx = 0; bx < cx; ++bx) {
                const int x0 = bx * grid.size[0], x1 = std::min(x0 + grid.size[0], width - 1);
                const size_t at = size_t(bx) + size_t(cx) * (size_t(by) + size_t(cy) * bz);
                const uint8_t* lo = rowLow + size_t(by) * w;
                const uint8_t* hi = rowHigh + size_t(by) * w;
                grid.low[at] = *std::min_element(lo + x0, lo + x1 + 1);
                grid.high[at] = *std::max_element(hi + x0, hi + x1 + 1);
            }
    };
    // Layers write disjoint bricks, so two threads may take them in any order.
    shareWork(size_t(cz), size_t(width) * height * depth >= splitCount, rangeLayer);
    if (histogram) addCounts(parts, histogram);
}

// The texture's outermost layer is 0 whatever the voxels hold there.
void lowerBorderBricks(BrickGrid& grid) {
    const int cx = grid.count[0], cy = grid.count[1], cz = grid.count[2];
    auto touchesBorder = [&grid](int axis, int b) {
        const int first = b * grid.size[axis];
        return first == 0 || first + grid.size[axis] >= grid.voxels[axis] - 1;
    };
    for (int z = 0; z < cz; ++z)
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                if (touchesBorder(0, x) || touchesBorder(1, y) || touchesBorder(2, z))
                    grid.low[size_t(x) + size_t(cx) * (size_t(y) + size_t(cy) * z)] = 0;
}

} // namespace

BrickGrid computeBrickGrid(int width, int height, int depth, const uint8_t* voxels,
                           int histogram[256]) {
    BrickGrid grid = brickShape(width, height, depth);
    if (grid.low.empty()) return grid;
    rangeBricks(grid, voxels, histogram);
    lowerBorderBricks(grid);
    return grid;
}

VisibleBox decideVisibleBox(const BrickGrid& grid, TextureContent content,
                            const TransferTable table, float density, float intensity) {
    VisibleBox box;
    if (grid.low.empty()) return box;
    box.whole = false;
    // Modulation by an alpha of 0 leaves nothing above any reference.
    if (intensity == 0.0f) {
        box.empty = true;
        return box;
    }
    // passing[v]: a texel value v can give a fragment that passes. Without
    // the table the test compares intensity * v / 255 with density *
    // intensity; two steps of slack cover 8-bit rounding of both sides.
    bool passing[256];
    const double reference = double(density) * double(intensity) * 255.0;
    for (int v = 0; v < 256; ++v)
        passing[v] = content == TextureContent::alpha ? double(intensity) * v + 2.0 > reference
                                                      : table[v][3] > 0;
    // Clamping makes everything outside the volume sample entry 0.
    if (content == TextureContent::index && (passing[0] || passing[1])) {
        box.whole = true;
        return box;
    }
    int below[257] = {0}; // passing values under v
    for (int v = 0; v < 256; ++v)
        below[v + 1] = below[v] + (passing[v] ? 1 : 0);

    int first[3] = {grid.count[0], grid.count[1], grid.count[2]}, last[3] = {-1, -1, -1};
    const size_t nx = size_t(grid.count[0]) + 1, ny = size_t(grid.count[1]) + 1;
    std::vector<int>& below3 = box.visibleBelow;
    below3.assign(nx * ny * (size_t(grid.count[2]) + 1), 0);
    for (int a = 0; a < 3; ++a) {
        box.voxels[a] = grid.voxels[a];
        box.size[a] = grid.size[a];
        box.count[a] = grid.count[a];
    }
    size_t i = 0;
    for (int z = 0; z < grid.count[2]; ++z)
        for (int y = 0; y < grid.count[1]; ++y)
            for (int x = 0; x < grid.count[0]; ++x, ++i) {
                // One value either side: filtering and the index lookup round.
                const int lo = std::max(int(grid.low[i]) - 1, 0);
                const int hi = std::min(int(grid.high[i]) + 1, 255);
                if (below[hi + 1] == below[lo]) continue;
                below3[size_t(x + 1) + nx * (size_t(y + 1) + ny * size_t(z + 1))] = 1;
                const int b[3] = {x, y, z};
                for (int a = 0; a < 3; ++a) {
                    first[a] = std::min(first[a], b[a]);
                    last[a] = std::max(last[a], b[a]);
                }
            }
    if (last[0] < 0) {
        box.empty = true;
        return box;
    }
    // Prefix sums along x, then y, then z.
    const size_t nz = size_t(grid.count[2]) + 1;
    for (size_t z = 0; z < nz; ++z)
        for (size_t y = 0; y < ny; ++y)
            for (size_t x = 1; x < nx; ++x)
                below3[x + nx * (y + ny * z)] += below3[x - 1 + nx * (y + ny * z)];
    for (size_t z = 0; z < nz; ++z)
        for (size_t y = 1; y < ny; ++y)
            for (size_t x = 0; x < nx; ++x)
                below3[x + nx * (y + ny * z)] += below3[x + nx * (y - 1 + ny * z)];
    for (size_t z = 1; z < nz; ++z)
        for (size_t k = 0; k < nx * ny; ++k)
            below3[k + nx * ny * z] += below3[k + nx * ny * (z - 1)];
    // A sample reads voxels i and i + 1 around texture coordinate
    // (i + 0.5) / n; one more voxel either side covers rounding.
    for (int a = 0; a < 3; ++a) {
        const float n = float(grid.voxels[a]);
        const int lowVoxel = first[a] * grid.size[a];
        const int highVoxel = std::min((last[a] + 1) * grid.size[a], grid.voxels[a]) - 1;
        box.low[a] = float(lowVoxel - 1) / n;
        box.high[a] = float(highVoxel + 3) / n;
    }
    return box;
}

bool anyVisible(const VisibleBox& box, const double low[3], const double high[3]) {
    if (box.whole || box.empty || box.visibleBelow.empty()) return !box.empty;
    // Drivers may carry t n with as few as 8 fraction bits.
    const double rounding = 1.0 / 64;
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
        // Linear filtering reads voxel floor(t n - 0.5) and the next; nearest
        // reads floor(t n), which lies among those. Clamping keeps
        // coordinates outside on the edge.
        const int n = box.voxels[a];
        const double lowVoxel = std::floor(low[a] * n - 0.5 - rounding);
        const double highVoxel = std::floor(high[a] * n - 0.5 + rounding) + 1;
        first[a] = int(std::min(std::max(lowVoxel, 0.0), double(n - 1))) / box.size[a];
        last[a] = int(std::min(std::max(highVoxel, 0.0), double(n - 1))) / box.size[a] + 1;
    }
    const size_t nx = size_t(box.count[0]) + 1, ny = size_t(box.count[1]) + 1;
    auto at = [&](int x, int y, int z) {
        return box.visibleBelow[size_t(x) + nx * (size_t(y) + ny * size_t(z))];
    };
    const int sum = at(last[0], last[1], last[2]) - at(first[0], last[1], last[2]) -
                    at(last[0], first[1], last[2]) - at(last[0], last[1], first[2]) +
                    at(first[0], first[1], last[2]) + at(first[0], last[1], first[2]) +
                    at(last[0], first[1], first[2]) - at(first[0], first[1], first[2]);
    return sum > 0;
}
