// Staging slabs of the volume texture: planes of the voxels with a zero
// outermost layer, laid out as the texture's texels. No GL needed to fill them.
#pragma once
#include "volume/Volume.h"

#include <cstdint>

// Bytes of a staging buffer of width x height x depth texels of texelBytes each.
uint64_t stagingBytes(int width, int height, int depth, int texelBytes);

// Planes of the texture per staging slab: a few MiB, at least one plane.
int slabPlanes(int width, int height, int texelBytes);

// Fill dst with `planes` planes of the texture (width x height x depth texels,
// x fastest, every size at least 2) from firstPlane on, from the voxels with a
// zero outermost layer: one byte per texel, the voxel.
void fillAlphaStaging(int width, int height, int depth, const uint8_t* voxels, int firstPlane,
                      int planes, uint8_t* dst);

// As fillAlphaStaging, four bytes per texel: the table's entry for the voxel.
void fillRgbaStaging(int width, int height, int depth, const uint8_t* voxels,
                     const TransferTable table, int firstPlane, int planes, uint8_t* dst);
