// Stand-in for GL_EXT_paletted_texture on drivers that lack it but offer
// GL_ARB_fragment_program: colour indices live in a one-byte 3D texture and a
// fragment program looks them up in a 256-entry palette texture on unit 1.
#pragma once
#include "platform/Extensions.h"

// Called by probeExtensions when the driver lacks the real extension. When the
// layer can stand in, it installs its own glColorTableEXT (and wraps the 3D
// uploads for colour-index data) in `ext` and returns true.
bool installPalettedTextureLayer(const char* extensionString, ExtensionSupport& ext);

// True once the layer has been installed.
bool palettedTextureLayerInstalled();

// The slice pass switches the palette lookup on around the slices and off
// after. Call begin with the name of the volume texture, bound to
// GL_TEXTURE_3D on unit 0; it does nothing unless that texture holds colour
// indices of the layer.
void beginPalettedLookup(GLuint texture);
void endPalettedLookup();
