#include "app/Extensions.h"

#include "platform/PalettedTexture.h"
#include "platform/Platform.h"

#include <cstdio>
#include <cstring>

ExtensionSupport extensions;

bool hasExtension(const char* extensionString, const char* name) {
    if (!extensionString || !name || !*name) return false;
    const size_t n = std::strlen(name);
    for (const char* at = std::strstr(extensionString, name); at; at = std::strstr(at + 1, name)) {
        const bool startsName = at == extensionString || at[-1] == ' ';
        const bool endsName = at[n] == ' ' || at[n] == '\0';
        if (startsName && endsName) return true;
    }
    return false;
}

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

    extensions.hasTexture3D =
        probe(all, "GL_EXT_texture3D", "glTexImage3DEXT", extensions.glTexImage3DEXT);
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
