// Brick textures: limits asked of the driver, builds through small staging
// slabs, the shared palette, and each slice drawn as one polygon per brick.
#include "render/BrickedVolume.h"

#include "platform/Extensions.h"
#include "platform/PalettedTexture.h"
#include "platform/Platform.h"
#include "platform/SystemMemory.h"
#include "render/SliceClip.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"
#include "volume/Staging.h"

#include <GL/glext.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool split = false;
BrickLimits brickLimits;
TextureBrickLayout layout; // of the current set
std::vector<GLuint> names; // x fastest, as the layout counts them

// Per frame: each brick's texture matrix and whether it may show anything.
float wholeMatrix[16];
std::vector<float> matrices;
std::vector<char> visible;

void deleteAll(std::vector<GLuint>& set) {
    if (!set.empty()) glDeleteTextures(GLsizei(set.size()), set.data());
    set.clear();
}

// Brick b's texture, filled slab by slab; false on a GL error.
bool uploadBrick(const Volume& volume, const TextureBrickLayout& l, int b, const TextureForm& form,
                 int texel, const TransferTable table, std::vector<uint8_t>& slab, GLuint name) {
    const int bx = b % l.count[0], by = b / l.count[0] % l.count[1],
              bz = b / l.count[0] / l.count[1];
    const int w = l.length(0, bx), h = l.length(1, by), d = l.length(2, bz);
    glBindTexture(GL_TEXTURE_3D, name);
    // The stand-in keeps one palette, on the first brick; the driver's own
    // extension has one per texture.
    if (form.pixelFormat == GL_COLOR_INDEX && (b == 0 || !palettedTextureLayerInstalled()))
        extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
    // A zero border stands in for the virtual texture's outer layer where the
    // brick meets it; inside, the brick's own edge texels are the shared ones.
    const GLenum wraps[3] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
    const int at[3] = {bx, by, bz};
    for (int a = 0; a < 3; ++a) {
        const bool outer = at[a] == 0 || at[a] + 1 == l.count[a];
        glTexParameteri(GL_TEXTURE_3D, wraps[a], outer ? GL_CLAMP_TO_BORDER : GL_CLAMP_TO_EDGE);
    }
    extensions.glTexImage3DEXT(GL_TEXTURE_3D, 0, form.internalFormat, w, h, d, 0, form.pixelFormat,
                               GL_UNSIGNED_BYTE, nullptr);
    const int planes = std::min(slabPlanes(w, h, texel), d);
    slab.resize(size_t(w) * h * planes * texel);
    for (int z = 0; z < d; z += planes) {
        const int n = std::min(planes, d - z);
        fillBrickSlab(l, volume.voxels(), bx, by, bz, z, z + n, texel, texel == 4 ? table : nullptr,
                      slab.data());
        extensions.glTexSubImage3DEXT(GL_TEXTURE_3D, 0, 0, 0, z, w, h, n, form.pixelFormat,
                                      GL_UNSIGNED_BYTE, slab.data());
    }
    // Drivers answer the proxy from sizes alone; what was stored is the answer.
    GLint stored = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH, &stored);
    return glGetError() == GL_NO_ERROR && stored == w;
}

} // namespace

void splitVolumeTextures(bool on, const BrickLimits& limits) {
    split = on;
    brickLimits = limits;
}

bool volumeTexturesSplit() {
    return split;
}

int texelBytes(TextureContent form) {
    return form == TextureContent::rgba ? 4 : 1;
}

BrickLimits driverBrickLimits(const int extent[3], TextureContent form, BrickLimits limits) {
    const TextureForm& f = textureForm(form);
    for (;;) {
        const TextureBrickLayout l = layOutBricks(extent, texelBytes(form), limits);
        if (l.bricks() == 0 || driverAccepts(f, l.largest(0), l.largest(1), l.largest(2)))
            return limits;
        const uint64_t largest = uint64_t(l.largest(0)) * uint64_t(l.largest(1)) *
                                 uint64_t(l.largest(2)) * uint64_t(texelBytes(form));
        limits.bytes = std::min(limits.bytes, largest) / 8 * 7;
    }
}

bool buildBrickedTextures(const Volume& volume, TextureContent content, const TransferTable table) {
    const TextureForm& form = textureForm(content);
    const int texel = texelBytes(content);
    const int extent[3] = {volume.width(), volume.height(), volume.depth()};
    const TextureBrickLayout next =
        layOutBricks(extent, texel, driverBrickLimits(extent, content, brickLimits));
    std::fflush(stdout);
    if (next.bricks() == 0) {
        std::fprintf(stderr, "Error: the driver refused every brick of the %dx%dx%d %s volume\n",
                     extent[0], extent[1], extent[2], form.name);
        return false;
    }
    // The current set stays until the new one is complete.
    const uint64_t needed = next.textureBytes(texel);
    const uint64_t available = availableMemory();
    if (needed > available) {
        std::fprintf(stderr,
                     "Error: not enough memory for the %s volume textures: %s needed, %s "
                     "available\n",
                     form.name, formatBytes(needed).c_str(), formatBytes(available).c_str());
        return false;
    }
    std::printf("%s", form.progressLine);
    std::printf("Split %dx%dx%d into %s\n", extent[0], extent[1], extent[2],
                describeLayout(next).c_str());
    GLint shown = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &shown);
    std::vector<GLuint> built(size_t(next.bricks()));
    glGenTextures(GLsizei(built.size()), built.data());
    std::vector<uint8_t> slab;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    while (glGetError() != GL_NO_ERROR) {
    }
    bool ok = true;
    for (int b = 0; b < next.bricks() && ok; ++b)
        ok = uploadBrick(volume, next, b, form, texel, table, slab, built[size_t(b)]);
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_3D, 0);
    if (!ok) {
        deleteAll(built);
        glBindTexture(GL_TEXTURE_3D, GLuint(shown));
        std::fflush(stdout);
        std::fprintf(stderr, "Error: the driver refused the %s volume textures (%s)\n", form.name,
                     formatBytes(needed).c_str());
        return false;
    }
    deleteAll(names);
    names.swap(built);
    layout = next;
    return true;
}

void uploadBrickedPalette(const TransferTable table) {
    const size_t uploads =
        palettedTextureLayerInstalled() ? std::min<size_t>(1, names.size()) : names.size();
    for (size_t b = 0; b < uploads; ++b) {
        glBindTexture(GL_TEXTURE_3D, names[b]);
        extensions.glColorTableEXT(GL_TEXTURE_3D, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE, table);
    }
}

GLuint firstBrickTexture() {
    return names.empty() ? 0 : names[0];
}

void beginBrickedSlices(GLenum filter, bool cut) {
    glGetFloatv(GL_TEXTURE_MATRIX, wholeMatrix);
    const int count = layout.bricks();
    matrices.resize(size_t(count) * 16);
    visible.assign(size_t(count), 1);
    for (int b = 0; b < count; ++b) {
        const int at[3] = {b % layout.count[0], b / layout.count[0] % layout.count[1],
                           b / layout.count[0] / layout.count[1]};
        // Brick coordinate = (t extent - first) / length: texel centres meet.
        float* m = &matrices[size_t(b) * 16];
        double low[3], high[3];
        for (int a = 0; a < 3; ++a) {
            const float n = float(layout.length(a, at[a]));
            const float scale = float(layout.extent[a]) / n;
            const float offset = -float(layout.first(a, at[a])) / n;
            for (int column = 0; column < 4; ++column)
                m[column * 4 + a] =
                    scale * wholeMatrix[column * 4 + a] + offset * wholeMatrix[column * 4 + 3];
            layout.drawnRange(a, at[a], low[a], high[a]);
            low[a] = std::max(low[a], 0.0), high[a] = std::min(high[a], 1.0);
        }
        for (int column = 0; column < 4; ++column)
            m[column * 4 + 3] = wholeMatrix[column * 4 + 3];
        if (cut) visible[size_t(b)] = anyVisible(sliceBox, low, high);
        glBindTexture(GL_TEXTURE_3D, names[size_t(b)]);
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GLint(filter));
        glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GLint(filter));
    }
    if (!names.empty()) beginPalettedLookup(names[0]);
}

void drawBrickedSlice(float z, bool cut, const float projection[16], int width, int height) {
    const float* centre = viewState.textureCentre;
    const float* scale = viewState.textureScale;
    const float* rotation = viewState.rotation;
    float polygon[maxSliceVertices][2], shown[maxSliceVertices][2];
    int spans[sliceTiles][4];
    glPushMatrix();
    glTranslatef(0, 0, z);
    for (int b = 0; b < layout.bricks(); ++b) {
        if (!visible[size_t(b)]) continue;
        const int at[3] = {b % layout.count[0], b / layout.count[0] % layout.count[1],
                           b / layout.count[0] / layout.count[1]};
        // The brick's part of the square; neighbours compute their shared
        // edge from the same plane, so the parts tile the square.
        VisibleBox cell, inside;
        cell.whole = inside.whole = false;
        for (int a = 0; a < 3; ++a) {
            double low, high;
            layout.drawnRange(a, at[a], low, high);
            cell.low[a] = float(low), cell.high[a] = float(high);
            inside.low[a] = std::max(cell.low[a], sliceBox.low[a]);
            inside.high[a] = std::min(cell.high[a], sliceBox.high[a]);
        }
        const int corners = slicePolygon(cell, centre, scale, rotation, z, polygon);
        if (corners == 0) continue;
        int count = 1;
        if (cut) {
            const int insideCorners = slicePolygon(inside, centre, scale, rotation, z, shown);
            if (insideCorners == 0) continue;
            int rect[4];
            const float eyeZ = z + viewState.distance;
            sliceScissor(shown, insideCorners, eyeZ, projection, width, height, rect);
            count = sliceSpans(sliceBox, centre, scale, rotation, z, eyeZ, projection, width,
                               height, rect, spans);
        }
        glBindTexture(GL_TEXTURE_3D, names[size_t(b)]);
        glMatrixMode(GL_TEXTURE);
        glLoadMatrixf(&matrices[size_t(b) * 16]);
        glMatrixMode(GL_MODELVIEW);
        for (int s = 0; s < count; ++s) {
            if (cut) glScissor(spans[s][0], spans[s][1], spans[s][2], spans[s][3]);
            glBegin(GL_POLYGON);
            for (int i = 0; i < corners; ++i)
                glVertex2f(polygon[i][0], polygon[i][1]);
            glEnd();
        }
    }
    glPopMatrix();
}

void endBrickedSlices() {
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixf(wholeMatrix);
    glMatrixMode(GL_MODELVIEW);
}
