#include "platform/PalettedTexture.h"

// Placeholder until the layer lands: the program takes the RGBA path.
bool installPalettedTextureLayer(const char*, ExtensionSupport&) { return false; }
bool palettedTextureLayerInstalled() { return false; }
void beginPalettedLookup() {}
void endPalettedLookup() {}
