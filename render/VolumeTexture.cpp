// Volume texture builders: a new texture filled slab by slab from the voxels
// and checked before it replaces the old one; the drag's smaller copy, made
// at its first use; and the colour-index form's palette.
#include "render/VolumeTexture.h"

#include "platform/Extensions.h"
#include "platform/Memory.h"
#include "platform/PalettedTexture.h"
#include "render/BrickedVolume.h"
#include "volume/CoarseCopy.h"
#include "volume/Staging.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

GLuint volumeTexture = 0;

namespace {

// clang-format off
const TextureForm alphaForm = {"alpha", "Loading texture alpha\n", GL_ALPHA8, GL_ALPHA, 1,
                               TextureContent::alpha};
const TextureForm rgbaForm = {"RGBA", "Loading transfer function texture\n", GL_RGBA8, GL_RGBA, 4,
                              TextureContent::rgba};
const TextureForm indexForm = {"colour-index", "Loading transfer function texture\n",
                               GL_COLOR_INDEX8_EXT, GL_COLOR_INDEX, 1, TextureContent::index};
// clang-format on

// Voxels to build a texture from: the volume's block or the drag's copy.
struct Block {
    int w, h, d;
    const uint8_t* voxels;
};

void reportRefused(const TextureForm& form, int w, int h, int d) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: the driver refused a %dx%dx%d %s volume texture (%llu bytes)\n", w,
                 h, d, form.name,
                 static_cast<unsigned long long>(stagingBytes(w, h, d, form.texelBytes)));
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
// on stderr where `report` (the progress line too).
bool buildTexture(const Block& block, GLuint& current, const TextureForm& form,
                  const TransferTable table, bool report) {
    const int w = block.w, h = block.h, d = block.d;
    if (!driverAccepts(form, w, h, d)) {
        if (report) reportRefused(form, w, h, d);
        return false;
    }
    // One slab at a time: no copy of the whole texture beside the voxel block.
    const int planes = std::min(slabPlanes(w, h, form.texelBytes), d);
    const size_t bytes = size_t(stagingBytes(w, h, planes, form.texelBytes));
    const std::unique_ptr<uint8_t, LargeDeleter> staging(
        static_cast<uint8_t*>(allocateLarge(bytes)), LargeDeleter{bytes});
    if (!staging) {
        if (!report) return false;
        std::fflush(stdout);
        std::fprintf(stderr, "Error: not enough memory to build the volume texture (%llu bytes)\n",
                     static_cast<unsigned long long>(bytes));
        return false;
    }
    if (report) std::printf("%s", form.progressLine);

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
            fillRgbaStaging(w, h, d, block.voxels, table, z, n, staging.get());
        else
            fillAlphaStaging(w, h, d, block.voxels, z, n, staging.get());
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
        if (report) reportRefused(form, w, h, d);
        return false;
    }
    if (glIsTexture(current)) glDeleteTextures(1, &current);
    current = name;
    return true;
}

// The drag's copy: the form and table of the last build, the copy's voxels
// (kept while the volume's block stays) and its texture (until the next build).
struct DragCopy {
    const Volume* volume = nullptr;
    const TextureForm* form = nullptr;
    TransferTable table = {};
    uint64_t serial = 0; // the volume block's that voxels were averaged from
    int size[3] = {0, 0, 0};
    std::unique_ptr<uint8_t[]> voxels;
    GLuint name = 0;
    bool tried = false; // since the last build: a refused copy is not asked for again
} copy;

bool build(const Volume& volume, GLuint& name, const TextureForm& form, const TransferTable table) {
    const bool built =
        volumeTexturesSplit()
            ? buildBrickedTextures(volume, form.content, table)
            : buildTexture({volume.width(), volume.height(), volume.depth(), volume.voxels()}, name,
                           form, table, true);
    if (!built) return false;
    if (glIsTexture(copy.name)) glDeleteTextures(1, &copy.name);
    copy.name = 0, copy.tried = false;
    copy.volume = &volume, copy.form = &form;
    if (table) std::memcpy(copy.table, table, sizeof copy.table);
    return true;
}

// The copy's voxels for the volume of the last build; false where the volume
// is no larger than its copy would be, or memory runs out.
bool averageVolume() {
    const Volume& v = *copy.volume;
    const int n[3] = {v.width(), v.height(), v.depth()};
    const int m[3] = {coarseExtent(n[0]), coarseExtent(n[1]), coarseExtent(n[2])};
    if (m[0] == n[0] && m[1] == n[1] && m[2] == n[2]) return false;
    if (copy.voxels && copy.serial == v.blockSerial()) return true;
    copy.voxels.reset(new (std::nothrow) uint8_t[size_t(m[0]) * m[1] * m[2]]);
    if (!copy.voxels || !averageBlocks(n, v.voxels(), m, copy.voxels.get())) {
        copy.voxels.reset();
        return false;
    }
    std::copy(m, m + 3, copy.size);
    copy.serial = v.blockSerial();
    return true;
}

} // namespace

const TextureForm& textureForm(TextureContent content) {
    return content == TextureContent::alpha  ? alphaForm
           : content == TextureContent::rgba ? rgbaForm
                                             : indexForm;
}

bool driverAccepts(const TextureForm& form, int w, int h, int d) {
    extensions.glTexImage3DEXT(GL_PROXY_TEXTURE_3D, 0, form.internalFormat, w, h, d, 0,
                               form.pixelFormat, GL_UNSIGNED_BYTE, nullptr);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &width);
    return width == w;
}

GLuint dragCopyTexture() {
    if (copy.tried || !copy.volume) return copy.name;
    copy.tried = true;
    // No lines: the copy is an aid to the drag, and the volume texture stands in for it.
    if (averageVolume())
        buildTexture({copy.size[0], copy.size[1], copy.size[2], copy.voxels.get()}, copy.name,
                     *copy.form, copy.table, false);
    return copy.name;
}

GLuint paletteTexture() {
    return volumeTexturesSplit() ? firstBrickTexture() : volumeTexture;
}

bool buildAlphaTexture(const Volume& volume, GLuint& name) {
    return build(volume, name, alphaForm, nullptr);
}

bool buildRgbaTexture(const Volume& volume, GLuint& name, const TransferTable table) {
    return build(volume, name, rgbaForm, table);
}

bool buildIndexTexture(const Volume& volume, GLuint& name, const TransferTable table) {
    return build(volume, name, indexForm, table);
}

void uploadPalette(const TransferTable table) {
    if (copy.form == &indexForm) std::memcpy(copy.table, table, sizeof copy.table);
    if (volumeTexturesSplit()) {
        uploadBrickedPalette(table);
    } else {
        glBindTexture(GL_TEXTURE_3D, volumeTexture);
        extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
    }
    // The stand-in looks the copy up in paletteTexture's palette; the driver's
    // own extension keeps a palette per texture.
    if (copy.name == 0 || palettedTextureLayerInstalled()) return;
    glBindTexture(GL_TEXTURE_3D, copy.name);
    extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
}
