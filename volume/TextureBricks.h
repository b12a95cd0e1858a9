// How a padded volume too large for one 3D texture is split into several
// (bricks), and what showing it costs in memory. No GL: the limits come in.
//
// The padded block is seen as one virtual texture of extent[a] texels per
// axis whose outermost layer is zero. Bricks store only the texels inside
// that layer, 1 to extent - 2; a zero border colour stands in for it. Bricks
// next to each other share one texel, so that a linear sample between any two
// texels reads both from one brick.
#pragma once
#include <cstdint>
#include <string>

struct BrickLimits {
    int axis = 1024;                    // texels along any axis
    uint64_t bytes = uint64_t(1) << 30; // per texture
};

struct TextureBrickLayout {
    int extent[3] = {0, 0, 0}; // the virtual texture (the padded block)
    int count[3] = {0, 0, 0};  // bricks along each axis
    // Brick i along axis a holds texels first(a, i) to first(a, i + 1), both
    // included; cut[a][count[a]] is the last stored texel.
    static const int maxCount = 1024;
    int cut[3][maxCount + 1] = {};

    int first(int axis, int i) const { return cut[axis][i]; }
    int length(int axis, int i) const { return cut[axis][i + 1] - cut[axis][i] + 1; }
    int largest(int axis) const;
    int bricks() const { return count[0] * count[1] * count[2]; }
    // Bytes of every brick's texels together.
    uint64_t textureBytes(int texelBytes) const;
    // The part of the virtual texture's coordinates [0, 1] that brick i draws:
    // from the centre of its first texel to that of the next brick's, open
    // towards the outside on the first and last.
    void drawnRange(int axis, int i, double& low, double& high) const;
};

// Fewest bricks along each axis within the axis limit, then more along the
// axis of the longest bricks until one brick fits the byte limit. count 0
// when even one texel per brick is too much or an axis needs more than
// maxCount bricks.
TextureBrickLayout layOutBricks(const int extent[3], int texelBytes, const BrickLimits& limits);

// "2 x 2 x 1 textures of 1025 x 1025 x 1022" (the largest brick).
std::string describeLayout(const TextureBrickLayout& layout);

// Fills dst with brick (bx, by, bz)'s texels of planes z0 to z1 - 1 (its own
// plane numbers, from 0), x fastest, texelBytes each: the voxel, or with a
// table its four bytes. Texels on the virtual texture's outermost layer stay 0.
void fillBrickSlab(const TextureBrickLayout& layout, const uint8_t* voxels, int bx, int by, int bz,
                   int z0, int z1, int texelBytes, const uint8_t (*table)[4], uint8_t* dst);

// Whether a virtual texture of these extents passes the limits as one
// texture (an axis over 1024 always does: one texture keeps the padding's).
bool needsBricks(const int extent[3], int texelBytes, const BrickLimits& limits);

// What showing a volume of data sizes n holds at once: the padded voxel
// block, the textures and one staging slab.
uint64_t bytesToShow(const int n[3], int texelBytes, const BrickLimits& limits);

// The smallest whole factor per axis (2 to 64) whose reduced volume needs at
// most `available` bytes, or 0 when none does.
int reductionToFit(const int n[3], int texelBytes, const BrickLimits& limits, uint64_t available);

// "7.9 GiB", "512.0 MiB".
std::string formatBytes(uint64_t bytes);
