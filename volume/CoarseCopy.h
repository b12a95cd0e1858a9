// The drag's smaller copy of the volume: block averages of the voxels over
// the same box, so that the same texture coordinates address both. No GL.
#pragma once
#include <cstdint>

// Longest side of the copy: at 256 its texels stay in the caches.
const int coarseSide = 256;

// Voxels of the copy along an axis of n: n itself up to coarseSide, else n
// divided by the smallest whole factor that brings it to coarseSide or under,
// rounded up.
int coarseExtent(int n);

// out (m[0] x m[1] x m[2], x fastest) from the n[0] x n[1] x n[2] voxels,
// each m[a] from 1 to n[a]: voxel j along an axis averages the voxels
// floor(j n / m) to floor((j + 1) n / m) - 1, the part of the box it covers;
// rounded to nearest, halves up. False without memory for two rows of sums.
bool averageBlocks(const int n[3], const uint8_t* voxels, const int m[3], uint8_t* out);
