// Volume texture builders: staging fills, then a new texture uploaded and
// checked before it replaces the old one; and the colour-index form's palette.
#include "volume/VolumeTexture.h"

#include "platform/Extensions.h"
#include "platform/Memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

GLuint volumeTexture[1] = {0};

uint64_t stagingBytes(int width, int height, int depth, int texelBytes) {
    return uint64_t(width) * uint64_t(height) * uint64_t(depth) * uint64_t(texelBytes);
}

namespace {

// The border is whole planes, whole rows and the first and last texel of each
// remaining row; copyRow fills the inner texels of a row from its voxels.
template <typename CopyRow>
void fillStaging(int width, int height, int depth, const uint8_t* voxels, uint8_t* dst,
                 size_t texelBytes, CopyRow copyRow) {
    const size_t w = size_t(width), h = size_t(height), d = size_t(depth);
    const size_t rowBytes = w * texelBytes, planeBytes = rowBytes * h;
    for (size_t z = 0; z < d; ++z) {
        uint8_t* plane = dst + z * planeBytes;
        if (z == 0 || z == d - 1) {
            std::memset(plane, 0, planeBytes);
            continue;
        }
        std::memset(plane, 0, rowBytes);
        for (size_t y = 1; y + 1 < h; ++y) {
            uint8_t* row = plane + y * rowBytes;
            std::memset(row, 0, texelBytes);
            copyRow(row + texelBytes, voxels + w * (y + h * z) + 1, w - 2);
            std::memset(row + rowBytes - texelBytes, 0, texelBytes);
        }
        std::memset(plane + (h - 1) * rowBytes, 0, rowBytes);
    }
}

} // namespace

void fillAlphaStaging(int width, int height, int depth, const uint8_t* voxels, uint8_t* dst) {
    fillStaging(width, height, depth, voxels, dst, 1,
                [](uint8_t* out, const uint8_t* in, size_t n) { std::memcpy(out, in, n); });
}

void fillRgbaStaging(int width, int height, int depth, const uint8_t* voxels,
                     const TransferTable table, uint8_t* dst) {
    fillStaging(width, height, depth, voxels, dst, 4,
                [table](uint8_t* out, const uint8_t* in, size_t n) {
                    for (size_t i = 0; i < n; ++i)
                        std::memcpy(out + 4 * i, table[in[i]], 4);
                });
}

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

// Replaces names[index] with a new texture in the given form (table unused for
// the alpha form). Keeps the current texture, still bound, when memory runs
// out or the driver refuses the size or the upload; false then, with one line
// on stderr.
bool buildTexture(const Volume& volume, GLuint* names, int index, const TextureForm& form,
                  const TransferTable table) {
    const int w = volume.width(), h = volume.height(), d = volume.depth();
    if (!driverAccepts(form, w, h, d)) {
        reportRefused(form, w, h, d);
        return false;
    }
    const uint64_t bytes = stagingBytes(w, h, d, form.texelBytes);
    std::unique_ptr<uint8_t, LargeDeleter> staging(nullptr, LargeDeleter{size_t(bytes)});
    if (bytes <= SIZE_MAX) staging.reset(static_cast<uint8_t*>(allocateLarge(size_t(bytes))));
    if (!staging) {
        std::fflush(stdout);
        std::fprintf(stderr, "Error: not enough memory to build the volume texture (%llu bytes)\n",
                     static_cast<unsigned long long>(bytes));
        return false;
    }
    std::printf("%s", form.progressLine);

    if (form.texelBytes == 4)
        fillRgbaStaging(w, h, d, volume.voxels(), table, staging.get());
    else
        fillAlphaStaging(w, h, d, volume.voxels(), staging.get());

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
                               GL_UNSIGNED_BYTE, staging.get());
    glPopClientAttrib();
    GLint stored = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &stored);
    if (glGetError() != GL_NO_ERROR || stored != w) {
        glDeleteTextures(1, &name);
        glBindTexture(GL_TEXTURE_3D, GLuint(shown));
        reportRefused(form, w, h, d);
        return false;
    }
    if (glIsTexture(names[index])) glDeleteTextures(1, &names[index]);
    names[index] = name;
    return true;
}

} // namespace

bool Volume::buildAlphaTexture(GLuint* names, int index) const {
    return buildTexture(*this, names, index, alphaForm, nullptr);
}

bool Volume::buildRgbaTexture(GLuint* names, int index, const TransferTable table) const {
    return buildTexture(*this, names, index, rgbaForm, table);
}

bool Volume::buildIndexTexture(GLuint* names, int index, const TransferTable table) const {
    return buildTexture(*this, names, index, indexForm, table);
}

void uploadPalette(const TransferTable table) {
    glBindTexture(GL_TEXTURE_3D, volumeTexture[0]);
    extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
}
