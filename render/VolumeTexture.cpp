// Volume texture builders: a new texture filled slab by slab from the voxels
// and checked before it replaces the old one; and the colour-index form's palette.
#include "render/VolumeTexture.h"

#include "platform/Extensions.h"
#include "platform/Memory.h"
#include "render/BrickedVolume.h"
#include "volume/Staging.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

GLuint volumeTexture = 0;

namespace {

struct TextureForm {
    const char* name; // for the refusal line
    const char* progressLine;
    GLenum internalFormat;
    GLenum pixelFormat;
    int texelBytes;
};

const TextureForm alphaForm = {"alpha", "Loading texture alpha\n", GL_ALPHA8, GL_ALPHA, 1};
const TextureForm rgbaForm = {"RGBA", "Loading transfer function texture\n", GL_RGBA8, GL_RGBA, 4};
const TextureForm indexForm = {"colour-index", "Loading transfer function texture\n",
                               GL_COLOR_INDEX8_EXT, GL_COLOR_INDEX, 1};

void reportRefused(const TextureForm& form, int w, int h, int d) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: the driver refused a %dx%dx%d %s volume texture (%llu bytes)\n", w,
                 h, d, form.name,
                 static_cast<unsigned long long>(stagingBytes(w, h, d, form.texelBytes)));
}

// Asks the driver, through the proxy target, whether it would take the texture.
bool driverAccepts(const TextureForm& form, int w, int h, int d) {
    extensions.glTexImage3DEXT(GL_PROXY_TEXTURE_3D, 0, form.internalFormat, w, h, d, 0,
                               form.pixelFormat, GL_UNSIGNED_BYTE, nullptr);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &width);
    return width == w;
}

void clearGlErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

struct LargeDeleter {
    size_t bytes;
    void operator()(uint8_t* p) const { freeLarge(p, bytes); }
};

// Replaces `current` with a new texture in the given form (table unused for
// the alpha form). Keeps the current texture, still bound, when memory runs
// out or the driver refuses the size or the upload; false then, with one line
// on stderr.
bool buildTexture(const Volume& volume, GLuint& current, const TextureForm& form,
                  const TransferTable table) {
    const int w = volume.width(), h = volume.height(), d = volume.depth();
    if (!driverAccepts(form, w, h, d)) {
        reportRefused(form, w, h, d);
        return false;
    }
    // One slab at a time: no copy of the whole texture beside the voxel block.
    const int planes = std::min(slabPlanes(w, h, form.texelBytes), d);
    const size_t bytes = size_t(stagingBytes(w, h, planes, form.texelBytes));
    const std::unique_ptr<uint8_t, LargeDeleter> staging(
        static_cast<uint8_t*>(allocateLarge(bytes)), LargeDeleter{bytes});
    if (!staging) {
        std::fflush(stdout);
        std::fprintf(stderr, "Error: not enough memory to build the volume texture (%llu bytes)\n",
                     static_cast<unsigned long long>(bytes));
        return false;
    }
    std::printf("%s", form.progressLine);

    // The new texture is built beside the current one, which goes only once
    // the new one holds the voxels: drivers answer the proxy from sizes alone
    // and may run out of memory at the upload itself.
    GLint shown = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &shown);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_3D, name);
    if (form.pixelFormat == GL_COLOR_INDEX)
        extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

    // Rows are packed without gaps; a width of 2 would otherwise be read as 4.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    clearGlErrors();
    extensions.glTexImage3DEXT(GL_TEXTURE_3D, 0, form.internalFormat, w, h, d, 0, form.pixelFormat,
                               GL_UNSIGNED_BYTE, nullptr);
    GLenum error = glGetError();
    for (int z = 0; z < d && error == GL_NO_ERROR; z += planes) {
        const int n = std::min(planes, d - z);
        if (form.texelBytes == 4)
            fillRgbaStaging(w, h, d, volume.voxels(), table, z, n, staging.get());
        else
            fillAlphaStaging(w, h, d, volume.voxels(), z, n, staging.get());
        extensions.glTexSubImage3DEXT(GL_TEXTURE_3D, 0, 0, 0, z, w, h, n, form.pixelFormat,
                                      GL_UNSIGNED_BYTE, staging.get());
        error = glGetError();
    }
    glPopClientAttrib();
    GLint stored = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &stored);
    if (error != GL_NO_ERROR || glGetError() != GL_NO_ERROR || stored != w) {
        glDeleteTextures(1, &name);
        glBindTexture(GL_TEXTURE_3D, GLuint(shown));
        reportRefused(form, w, h, d);
        return false;
    }
    if (glIsTexture(current)) glDeleteTextures(1, &current);
    current = name;
    return true;
}

} // namespace

bool buildAlphaTexture(const Volume& volume, GLuint& name) {
    if (volumeTexturesSplit()) return buildBrickedTextures(volume, TextureContent::alpha, nullptr);
    return buildTexture(volume, name, alphaForm, nullptr);
}

bool buildRgbaTexture(const Volume& volume, GLuint& name, const TransferTable table) {
    if (volumeTexturesSplit()) return buildBrickedTextures(volume, TextureContent::rgba, table);
    return buildTexture(volume, name, rgbaForm, table);
}

bool buildIndexTexture(const Volume& volume, GLuint& name, const TransferTable table) {
    if (volumeTexturesSplit()) return buildBrickedTextures(volume, TextureContent::index, table);
    return buildTexture(volume, name, indexForm, table);
}

void uploadPalette(const TransferTable table) {
    if (volumeTexturesSplit()) return uploadBrickedPalette(table);
    glBindTexture(GL_TEXTURE_3D, volumeTexture);
    extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
}
