// The one 3D texture of the volume in its three forms, and the colour-index
// form's palette. Each build leaves the current texture in place on failure.
#pragma once
#include "render/SliceClip.h"
#include "volume/Volume.h"

#include <GL/gl.h>

// A texture form: its name in refusal lines, the builder's progress line and
// the GL formats of its texels.
struct TextureForm {
    const char* name;
    const char* progressLine;
    GLenum internalFormat;
    GLenum pixelFormat;
    int texelBytes;
    TextureContent content;
};
const TextureForm& textureForm(TextureContent content);
// Asks the driver, through the proxy target, whether it would take the texture.
bool driverAccepts(const TextureForm& form, int w, int h, int d);

// GL name of the volume texture.
extern GLuint volumeTexture;

// Each replaces the texture named `name` with a new one built from the volume.
bool buildAlphaTexture(const Volume& volume, GLuint& name);
bool buildRgbaTexture(const Volume& volume, GLuint& name, const TransferTable table);
bool buildIndexTexture(const Volume& volume, GLuint& name, const TransferTable table);

// Loads the table as the palette of volumeTexture (colour-index form only).
void uploadPalette(const TransferTable table);

// The drag's smaller copy of the volume (volume/CoarseCopy: at most
// coarseSide a side, the same box and texture coordinates), in the form and
// palette of the last build. Made at its first call after each build, from
// that build's volume (which must still live), and kept until the next;
// 0 where the volume is no larger than its copy or the copy was refused.
GLuint dragCopyTexture();

// The texture whose palette the colour-index stand-in looks up, the drag's
// copy's included: volumeTexture's, or the first brick's.
GLuint paletteTexture();
