#include "app/Extensions.h"

#include "platform/PalettedTexture.h"
#include "platform/Platform.h"

#include <cstdio>
#include <cstring>

ExtensionSupport extensions;

bool hasExtension(const char* extensionString, const char* name) {
    if (!extensionString || !name || !*name) return false;
    const size_t n = std::strlen(name);
    for (const char* at = std::strstr(extensionString, name); at;
         at = std::strstr(at + 1, name)) {
        const bool startsName = at == extensionString || at[-1] == ' ';
        const bool endsName = at[n] == ' ' || at[n] == '\0';
        if (startsName && endsName) return true;
    }
    return false;
}

namespace {

template <typename Proc> Proc entryPoint(const char* name) {
    return reinterpret_cast<Proc>(getGlProcAddress(name));
}

} // namespace

void probeExtensions() {
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    std::printf("%s\n", all ? all : "");

    // An extension whose entry point cannot be found counts as absent.
    if (hasExtension(all, "GL_EXT_texture3D")) {
        extensions.glTexImage3DEXT = entryPoint<TexImage3DProc>("glTexImage3DEXT");
        extensions.hasTexture3D = extensions.glTexImage3DEXT != nullptr;
    }
    if (hasExtension(all, "GL_EXT_paletted_texture")) {
        extensions.glColorTableEXT = entryPoint<ColorTableProc>("glColorTableEXT");
        extensions.hasPalettedTexture = extensions.glColorTableEXT != nullptr;
    } else {
        extensions.hasPalettedTexture = installPalettedTextureLayer(all, extensions);
    }
    if (hasExtension(all, "GL_EXT_blend_color")) {
        extensions.glBlendColorEXT = entryPoint<BlendColorProc>("glBlendColorEXT");
        extensions.hasBlendColor = extensions.glBlendColorEXT != nullptr;
    }
    if (hasExtension(all, "GL_EXT_blend_minmax")) {
        extensions.glBlendEquationEXT = entryPoint<BlendEquationProc>("glBlendEquationEXT");
        extensions.hasBlendMinmax = extensions.glBlendEquationEXT != nullptr;
    }
}
