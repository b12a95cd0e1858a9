#include "app/ExtensionProbe.h"

#include "platform/Extensions.h"
#include "platform/PalettedTexture.h"
#include "platform/Platform.h"

#include <cstdio>
#include <cstring>

namespace {

// An extension counts when the string lists it and its entry point is found.
template <typename Proc>
bool probe(const char* all, const char* name, const char* entryName, Proc& entry) {
    if (!hasExtension(all, name)) return false;
    entry = reinterpret_cast<Proc>(getGlProcAddress(entryName));
    return entry != nullptr;
}

} // namespace

void probeExtensions() {
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    std::printf("%s\n", all ? all : "");

    // The texture is uploaded in slabs, through the extension's second entry point.
    extensions.hasTexture3D =
        probe(all, "GL_EXT_texture3D", "glTexImage3DEXT", extensions.glTexImage3DEXT) &&
        probe(all, "GL_EXT_texture3D", "glTexSubImage3DEXT", extensions.glTexSubImage3DEXT);
    if (hasExtension(all, "GL_EXT_paletted_texture"))
        extensions.hasPalettedTexture =
            probe(all, "GL_EXT_paletted_texture", "glColorTableEXT", extensions.glColorTableEXT);
    else // our stand-in, where the driver can carry it
        extensions.hasPalettedTexture = installPalettedTextureLayer(all, extensions);
    extensions.hasBlendColor =
        probe(all, "GL_EXT_blend_color", "glBlendColorEXT", extensions.glBlendColorEXT);
    extensions.hasBlendMinmax =
        probe(all, "GL_EXT_blend_minmax", "glBlendEquationEXT", extensions.glBlendEquationEXT);
}
