// Value ranges of blocks of voxels (bricks), and from them the box in texture
// coordinates outside which no fragment can pass the slice pass's alpha test.
#pragma once
#include "volume/Volume.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct BrickGrid {
    int voxels[3] = {0, 0, 0}; // padded volume size along x, y, z
    int size[3] = {1, 1, 1};   // voxels per brick along each axis
    int count[3] = {0, 0, 0};  // bricks along each axis
    // Smallest and largest texel value per brick, x fastest. A brick's range
    // also covers the next voxel on every axis, so that it holds all eight
    // texels a linear sample between its voxels reads, and 0 where it touches
    // the texture's zero border.
    std::vector<uint8_t> low, high;
};

// At most 32 bricks per axis, so deciding the box stays cheap at 1024^3.
// Given a histogram, the same pass over the voxels adds their counts to it.
BrickGrid computeBrickGrid(int width, int height, int depth, const uint8_t* voxels,
                           int histogram[256] = nullptr);

// Adds the number of voxels of each value among the first `count` to histogram.
void countHistogram(const uint8_t* voxels, size_t count, int histogram[256]);

// What the volume texture holds: raw values as alpha, the table baked in, or
// colour indices looked up in the table (after filtering with the stand-in).
enum class TextureContent { alpha, rgba, index };

// Texture-coordinate box, grown by one voxel, that holds every fragment that
// can pass. whole: fragments outside the volume can pass too (an opaque
// entry 0 in the colour-index form). empty: none can pass.
struct VisibleBox {
    bool whole = true;
    bool empty = false;
    float low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    // The grid's shape, and the visible bricks below each brick corner,
    // (count + 1)^3 entries with x fastest: any block of bricks in O(1).
    int voxels[3] = {0, 0, 0}, size[3] = {1, 1, 1}, count[3] = {0, 0, 0};
    std::vector<int> visibleBelow;
};

// Whether a fragment sampled between texture coordinates low and high (per
// axis) can pass, judged brick by brick from the voxels a filtered sample
// there reads; true for a whole box, false for an empty one.
bool anyVisible(const VisibleBox& box, const double low[3], const double high[3]);

// table is read only for the rgba and index forms.
VisibleBox decideVisibleBox(const BrickGrid& grid, TextureContent content,
                            const TransferTable table, float density, float intensity);
