// Block averages for the drag's copy. The rows of a block row are summed
// first, so that the inner loop is a vector add over whole rows of voxels; a
// 1024^3 volume takes about as long as reading its voxels once.
#include "volume/CoarseCopy.h"

#include "platform/Workers.h"

#include <algorithm>
#include <memory>
#include <new>

int coarseExtent(int n) {
    const int factor = (n + coarseSide - 1) / coarseSide;
    return factor <= 1 ? n : (n + factor - 1) / factor;
}

namespace {

// Sums of the rows of one block row: 16-bit where a column of the block
// cannot pass 65535 (twice the bytes a vector add takes), else 32-bit.
template <typename Sum>
void addRows(const uint8_t* voxels, size_t w, size_t plane, size_t y0, size_t y1, size_t z0,
             size_t z1, Sum* sums) {
    std::fill(sums, sums + w, Sum(0));
    for (size_t z = z0; z < z1; ++z)
        for (size_t y = y0; y < y1; ++y) {
            const uint8_t* row = voxels + w * y + plane * z;
            for (size_t x = 0; x < w; ++x)
                sums[x] = Sum(sums[x] + row[x]);
        }
}

template <typename Sum>
void averageRow(const Sum* sums, const int n[3], const int m[3], uint64_t rows, uint8_t* dst) {
    for (size_t i = 0; i < size_t(m[0]); ++i) {
        const size_t x0 = size_t(uint64_t(i) * n[0] / m[0]),
                     x1 = size_t(uint64_t(i + 1) * n[0] / m[0]);
        uint64_t sum = 0;
        for (size_t x = x0; x < x1; ++x)
            sum += sums[x];
        const uint64_t count = uint64_t(x1 - x0) * rows;
        dst[i] = uint8_t((sum + count / 2) / count);
    }
}

} // namespace

bool averageBlocks(const int n[3], const uint8_t* voxels, const int m[3], uint8_t* out) {
    auto first = [&](int axis, size_t j) { return size_t(uint64_t(j) * n[axis] / m[axis]); };
    const size_t w = size_t(n[0]), plane = w * size_t(n[1]);
    // A row of sums of each width for each of two threads.
    const std::unique_ptr<uint32_t[]> wide(new (std::nothrow) uint32_t[2 * w]);
    const std::unique_ptr<uint16_t[]> narrow(new (std::nothrow) uint16_t[2 * w]);
    if (!wide || !narrow) return false;
    // Each plane of the copy is one item: from 4 Mi voxels on, two threads.
    shareWork(size_t(m[2]), plane * size_t(n[2]) >= (size_t(4) << 20), [&](int worker, size_t k) {
        const size_t z0 = first(2, k), z1 = first(2, k + 1);
        for (size_t j = 0; j < size_t(m[1]); ++j) {
            const size_t y0 = first(1, j), y1 = first(1, j + 1);
            const uint64_t rows = uint64_t(y1 - y0) * (z1 - z0);
            uint8_t* dst = out + size_t(m[0]) * (j + size_t(m[1]) * k);
            if (rows <= 257) {
                uint16_t* sums = narrow.get() + size_t(worker) * w;
                addRows(voxels, w, plane, y0, y1, z0, z1, sums);
                averageRow(sums, n, m, rows, dst);
            } else {
                uint32_t* sums = wide.get() + size_t(worker) * w;
                addRows(voxels, w, plane, y0, y1, z0, z1, sums);
                averageRow(sums, n, m, rows, dst);
            }
        }
    });
    return true;
}
