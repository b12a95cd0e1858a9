// Splitting the virtual texture into bricks, filling their staging slabs, and
// the memory that showing a volume takes.
#include "volume/TextureBricks.h"
#include "volume/Staging.h"

#include "volume/Volume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int TextureBrickLayout::largest(int axis) const {
    int most = 0;
    for (int i = 0; i < count[axis]; ++i)
        most = std::max(most, length(axis, i));
    return most;
}

uint64_t TextureBrickLayout::textureBytes(int texelBytes) const {
    // Lengths along one axis do not depend on the others.
    uint64_t bytes = uint64_t(texelBytes);
    for (int a = 0; a < 3; ++a) {
        uint64_t sum = 0;
        for (int i = 0; i < count[a]; ++i)
            sum += uint64_t(length(a, i));
        bytes *= sum;
    }
    return bytes;
}

void TextureBrickLayout::drawnRange(int axis, int i, double& low, double& high) const {
    // A linear sample at coordinate t reads texels floor(t n - 0.5) and the
    // next: brick i reads both of its own from its first texel's centre on.
    const double n = extent[axis];
    low = i == 0 ? -1e30 : (cut[axis][i] + 0.5) / n;
    high = i + 1 == count[axis] ? 1e30 : (cut[axis][i + 1] + 0.5) / n;
}

namespace {

// Stored texels along an axis: all but the outermost layer, or the one
// texel of an axis of 2 (which the fill leaves 0).
int storedTexels(int extent) {
    return std::max(extent - 2, 1);
}

// Longest brick when `stored` texels are cut into k that share their ends.
int longestBrick(int stored, int k) {
    return stored <= 1 ? 1 : (stored - 1 + k - 1) / k + 1;
}

} // namespace

TextureBrickLayout layOutBricks(const int extent[3], int texelBytes, const BrickLimits& limits) {
    TextureBrickLayout layout;
    int k[3];
    for (int a = 0; a < 3; ++a) {
        layout.extent[a] = extent[a];
        const int stored = storedTexels(extent[a]);
        if (limits.axis < 2 && stored > 1) return layout;
        k[a] = stored <= limits.axis ? 1 : (stored - 2) / (limits.axis - 1) + 1;
    }
    for (;;) {
        uint64_t bytes = uint64_t(texelBytes);
        int longest = 0;
        for (int a = 0; a < 3; ++a) {
            const int n = longestBrick(storedTexels(extent[a]), k[a]);
            bytes *= uint64_t(n);
            if (n > longestBrick(storedTexels(extent[longest]), k[longest])) longest = a;
        }
        if (bytes <= limits.bytes) break;
        if (longestBrick(storedTexels(extent[longest]), k[longest]) == 1) return layout;
        ++k[longest];
    }
    for (int a = 0; a < 3; ++a) {
        if (k[a] > TextureBrickLayout::maxCount) return TextureBrickLayout();
        const int stored = storedTexels(extent[a]);
        layout.count[a] = k[a];
        // Balanced cuts from texel 1 to texel stored: lengths differ by one at most.
        for (int i = 0; i <= k[a]; ++i)
            layout.cut[a][i] = 1 + int(int64_t(stored - 1) * i / k[a]);
    }
    return layout;
}

std::string describeLayout(const TextureBrickLayout& layout) {
    char text[120];
    std::snprintf(text, sizeof text, "%d x %d x %d textures of %d x %d x %d", layout.count[0],
                  layout.count[1], layout.count[2], layout.largest(0), layout.largest(1),
                  layout.largest(2));
    return text;
}

void fillBrickSlab(const TextureBrickLayout& layout, const uint8_t* voxels, int bx, int by, int bz,
                   int z0, int z1, int texelBytes, const uint8_t (*table)[4], uint8_t* dst) {
    const size_t nx = size_t(layout.extent[0]), ny = size_t(layout.extent[1]);
    const int x0 = layout.first(0, bx), y0 = layout.first(1, by), zFirst = layout.first(2, bz);
    const int w = layout.length(0, bx), h = layout.length(1, by);
    auto outer = [&](int a, int v) { return v == 0 || v == layout.extent[a] - 1; };
    for (int z = z0; z < z1; ++z)
        for (int y = 0; y < h; ++y) {
            uint8_t* out = dst + (size_t(z - z0) * h + y) * w * texelBytes;
            const int vy = y0 + y, vz = zFirst + z;
            if (outer(1, vy) || outer(2, vz)) {
                std::memset(out, 0, size_t(w) * texelBytes);
                continue;
            }
            const uint8_t* in = voxels + x0 + nx * (vy + ny * vz);
            if (table)
                for (int x = 0; x < w; ++x)
                    std::memcpy(out + 4 * x, table[in[x]], 4);
            else
                std::memcpy(out, in, size_t(w));
            for (const int x : {0, w - 1})
                if (outer(0, x0 + x)) std::memset(out + x * texelBytes, 0, texelBytes);
        }
}

bool needsBricks(const int extent[3], int texelBytes, const BrickLimits& limits) {
    const int axis = std::min(limits.axis, 1024);
    const uint64_t texels = uint64_t(extent[0]) * uint64_t(extent[1]) * uint64_t(extent[2]);
    return extent[0] > axis || extent[1] > axis || extent[2] > axis ||
           texels * uint64_t(texelBytes) > limits.bytes;
}

uint64_t bytesToShow(const int n[3], int texelBytes, const BrickLimits& limits) {
    int extent[3];
    for (int a = 0; a < 3; ++a)
        extent[a] = int(padToExtent(uint32_t(n[a])));
    const uint64_t block = uint64_t(extent[0]) * uint64_t(extent[1]) * uint64_t(extent[2]);
    // Textures are filled through one staging slab, a brick's or the whole one's.
    const auto slab = [texelBytes](int w, int h, int d) {
        return stagingBytes(w, h, std::min(slabPlanes(w, h, texelBytes), d), texelBytes);
    };
    if (!needsBricks(extent, texelBytes, limits))
        return block + block * texelBytes + slab(extent[0], extent[1], extent[2]);
    const TextureBrickLayout layout = layOutBricks(extent, texelBytes, limits);
    if (layout.bricks() == 0) return UINT64_MAX;
    return block + layout.textureBytes(texelBytes) +
           slab(layout.largest(0), layout.largest(1), layout.largest(2));
}

int reductionToFit(const int n[3], int texelBytes, const BrickLimits& limits, uint64_t available) {
    for (int factor = 2; factor <= 64; ++factor) {
        const int reduced[3] = {(n[0] + factor - 1) / factor, (n[1] + factor - 1) / factor,
                                (n[2] + factor - 1) / factor};
        if (bytesToShow(reduced, texelBytes, limits) <= available) return factor;
    }
    return 0;
}

std::string formatBytes(uint64_t bytes) {
    char text[40];
    const double gib = double(bytes) / double(uint64_t(1) << 30);
    if (gib >= 1.0)
        std::snprintf(text, sizeof text, "%.1f GiB", gib);
    else
        std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / double(1 << 20));
    return text;
}
