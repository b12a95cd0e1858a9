#include "GlTestContext.h"

#include "app/ExtensionProbe.h"
#include "platform/Extensions.h"
#include "platform/PalettedTexture.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(NoFragmentProgram, PalettedTexturesStayOff) {
    // Read when the context is made, so it must come first.
    setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_program", 1);
    ensureGlContext();
    probeExtensions();
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_FALSE(hasExtension(all, "GL_ARB_fragment_program"));
    if (hasExtension(all, "GL_EXT_paletted_texture")) GTEST_SKIP() << "real extension present";
    EXPECT_FALSE(extensions.hasPalettedTexture || palettedTextureLayerInstalled());
    EXPECT_EQ(extensions.glColorTableEXT, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(extensions.glTexImage3DEXT),
              getGlProcAddress("glTexImage3DEXT"));
}
