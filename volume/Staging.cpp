// Staging fills of the volume texture, uploaded by render/VolumeTexture.cpp.
#include "volume/Staging.h"

#include <algorithm>
#include <cstring>

uint64_t stagingBytes(int width, int height, int depth, int texelBytes) {
    return uint64_t(width) * uint64_t(height) * uint64_t(depth) * uint64_t(texelBytes);
}

int slabPlanes(int width, int height, int texelBytes) {
    // Small enough to stay in cache between the fill and the driver's copy.
    const uint64_t slabBytes = uint64_t(2) << 20;
    const uint64_t planeBytes = stagingBytes(width, height, 1, texelBytes);
    return int(std::max<uint64_t>(1, slabBytes / std::max<uint64_t>(planeBytes, 1)));
}

namespace {

// The border is whole planes, whole rows and the first and last texel of each
// remaining row; copyRow fills the inner texels of a row from its voxels.
template <typename CopyRow>
void fillStaging(int width, int height, int depth, const uint8_t* voxels, int firstPlane,
                 int planes, uint8_t* dst, size_t texelBytes, CopyRow copyRow) {
    const size_t w = size_t(width), h = size_t(height), d = size_t(depth);
    const size_t rowBytes = w * texelBytes, planeBytes = rowBytes * h;
    const size_t first = size_t(firstPlane), end = first + size_t(planes);
    for (size_t z = first; z < end; ++z) {
        uint8_t* plane = dst + (z - first) * planeBytes;
        if (z == 0 || z == d - 1) {
            std::memset(plane, 0, planeBytes);
            continue;
        }
        std::memset(plane, 0, rowBytes);
        for (size_t y = 1; y + 1 < h; ++y) {
            uint8_t* row = plane + y * rowBytes;
            std::memset(row, 0, texelBytes);
            copyRow(row + texelBytes, voxels + w * (y + h * z) + 1, w - 2);
            std::memset(row + rowBytes - texelBytes, 0, texelBytes);
        }
        std::memset(plane + (h - 1) * rowBytes, 0, rowBytes);
    }
}

} // namespace

void fillAlphaStaging(int width, int height, int depth, const uint8_t* voxels, int firstPlane,
                      int planes, uint8_t* dst) {
    fillStaging(width, height, depth, voxels, firstPlane, planes, dst, 1,
                [](uint8_t* out, const uint8_t* in, size_t n) { std::memcpy(out, in, n); });
}

void fillRgbaStaging(int width, int height, int depth, const uint8_t* voxels,
                     const TransferTable table, int firstPlane, int planes, uint8_t* dst) {
    fillStaging(width, height, depth, voxels, firstPlane, planes, dst, 4,
                [table](uint8_t* out, const uint8_t* in, size_t n) {
                    for (size_t i = 0; i < n; ++i)
                        std::memcpy(out + 4 * i, table[in[i]], 4);
                });
}
