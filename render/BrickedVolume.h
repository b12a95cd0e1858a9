// A volume past one texture's limits, as several 3D textures (bricks, laid
// out by volume/TextureBricks), and its slices drawn brick by brick. Each
// build makes a whole new set beside the current one, as VolumeTexture does.
#pragma once
#include "volume/Bricks.h"
#include "volume/TextureBricks.h"

#include <GL/gl.h>

// Start-up's choice: from now on every texture build and palette upload goes
// to bricks cut within these limits (bytes as the driver's proxy allows), or
// with split false to the one texture again.
void splitVolumeTextures(bool split, const BrickLimits& limits = BrickLimits());
bool volumeTexturesSplit();

// Bytes per texel of a texture form.
int texelBytes(TextureContent form);

// limits with the byte limit lowered, an eighth at a time, until the driver's
// proxy takes the largest brick of the layout of extent in the form.
BrickLimits driverBrickLimits(const int extent[3], TextureContent form, BrickLimits limits);

// Replaces the bricks with a new set in the form (table unused for alpha);
// false, the old set kept, with one line on stderr when memory or the driver
// refuses. Prints how the volume was split.
bool buildBrickedTextures(const Volume& volume, TextureContent form, const TransferTable table);

// One palette for every brick (the stand-in's: all bricks look up the first
// brick's), so an edit is one upload.
void uploadBrickedPalette(const TransferTable table);
// The first brick's texture, which holds the stand-in's palette; 0 without bricks.
GLuint firstBrickTexture();

// The slice pass, around its loop: begin takes the texture matrix loaded for
// the whole volume and the frame's filter; each slice then draws the part of
// its square in each brick, under the slice box's scissor spans when cut.
void beginBrickedSlices(GLenum filter, bool cut);
void drawBrickedSlice(float z, bool cut, const float projection[16], int width, int height);
void endBrickedSlices();
