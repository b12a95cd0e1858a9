// The one 3D texture of the volume, its palette, and the staging fills the
// three builders of Volume (buildAlphaTexture, buildRgbaTexture,
// buildIndexTexture) upload. The fills need no GL context.
#pragma once
#include "volume/Volume.h"

#include <cstdint>

// GL name of the volume texture; every caller passes it with index 0.
extern GLuint volumeTexture[1];

// Loads the table as the palette of volumeTexture (colour-index form only).
void uploadPalette(const TransferTable table);

// Bytes of a staging buffer of width x height x depth texels of texelBytes each.
uint64_t stagingBytes(int width, int height, int depth, int texelBytes);

// Fill dst (width x height x depth texels, x fastest, every size at least 2)
// from the voxels with a zero outermost layer: one byte per texel, the voxel.
void fillAlphaStaging(int width, int height, int depth, const uint8_t* voxels, uint8_t* dst);

// As fillAlphaStaging, four bytes per texel: the table's entry for the voxel.
void fillRgbaStaging(int width, int height, int depth, const uint8_t* voxels,
                     const TransferTable table, uint8_t* dst);
