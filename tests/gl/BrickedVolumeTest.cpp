// A volume split into bricks of at most 32 texels an axis draws the picture
// of its one texture: every operator, both filters, both texture forms, four
// turns, the drag's slice count, and sizes that are no multiple of the brick.
#include "render/BrickedVolume.h"
#include "GlTestContext.h"
#include "TestData.h"
#include "app/Window.h"
#include "gui/ControlPanel.h"
#include "gui/TransferFunctionEditor.h"
#include "platform/Extensions.h"
#include "render/Renderer.h"
#include "render/SliceClip.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

struct Difference {
    int lit = 0, differ = 0;
    double total = 0;
};

Difference compare(const std::vector<unsigned char>& one, const std::vector<unsigned char>& b) {
    Difference d;
    for (size_t p = 0; p < one.size(); p += 4) {
        int delta = 0;
        for (int c = 0; c < 3; ++c)
            delta += std::abs(int(one[p + c]) - int(b[p + c]));
        d.total += delta;
        d.lit += one[p] + one[p + 1] + one[p + 2] > 0;
        d.differ += delta > 0;
    }
    return d;
}

const BlendOperator operators[] = {BlendOperator::norm, BlendOperator::over, BlendOperator::att,
                                   BlendOperator::mip};
const float turns[4][4] = {
    {0, 0, 0, 1}, {30, 1, 1, 0}, {120, 0.3f, 1, 0.2f}, {200, 1, -0.5f, 0.7f}};

// The pictures of every operator, filter (and the drag's 53 nearest slices) and turn.
std::vector<std::vector<unsigned char>> pictures(const Volume& v, bool split, TextureContent form) {
    BrickLimits limits;
    limits.axis = 32;
    splitVolumeTextures(split, limits);
    const TransferTable& table = controlPanel->editor->table;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(form == TextureContent::rgba ? buildRgbaTexture(v, volumeTexture, table)
                                             : buildIndexTexture(v, volumeTexture, table));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("Split") != std::string::npos, split) << out;
    setSliceTextureContent(form, table);
    std::vector<std::vector<unsigned char>> shots;
    for (const BlendOperator op : operators)
        for (int filter = 0; filter < 3; ++filter)
            for (const auto& turn : turns) {
                viewState.blendOperator = op;
                viewState.filter = filter == 0 ? GL_LINEAR : GL_NEAREST;
                viewState.sliceCount = filter == 2 ? 53 : 80;
                glMatrixMode(GL_MODELVIEW);
                glLoadIdentity();
                glRotatef(turn[0], turn[1], turn[2], turn[3]);
                glGetFloatv(GL_MODELVIEW_MATRIX, viewState.rotation);
                display();
                shots.push_back(readPixels(256, 256));
            }
    splitVolumeTextures(false);
    return shots;
}

// A smooth, lopsided field of 100 x 64 x 20 voxels in a 128 x 64 x 32 block:
// five bricks along x, two along y, one along z. Along y the data fill the
// block, so the border's stand-in for the zero outer layer shows.
Volume* oddVolume() {
    std::vector<unsigned char> voxels(100 * 64 * 20);
    for (size_t i = 0; i < voxels.size(); ++i) {
        const double x = double(i % 100), y = double(i / 100 % 64), z = double(i / 6400);
        const double v = 128 + 90 * std::sin(x / 9) * std::cos(y / 7 + z / 5) + x * 0.4 - 40;
        voxels[i] = uint8_t(std::min(std::max(v, 0.0), 255.0));
    }
    Volume* odd = new Volume();
    odd->setVoxels(voxels.data(), 100, 64, 20);
    return odd;
}

} // namespace

// Nearest samples read the same texel from a brick as from the one texture,
// so the pictures agree but for single pixels where rounding of the brick's
// texture coordinates crosses a texel boundary. Linear samples weigh their
// texels by 8-bit fractions, which the same rounding moves by a step: many
// pixels differ slightly, and a few by much where a nearly transparent
// sample passes the alpha test in one picture only (mip shows its whole
// colour, and in the colour-index form a step can reach another entry).
TEST(BrickedVolume, DrawsThePictureOfOneTexture) {
    setUpViewer();
    reshape(256, 256);
    Volume* const neghip = volume;
    Volume* const odd = oddVolume();
    for (Volume* v : {neghip, odd}) {
        volume = v;
        for (int axis = 0; axis < 3; ++axis)
            viewState.textureScale[axis] = v->scale()[axis] * 0.5f;
        volumeBricks = computeBrickGrid(v->width(), v->height(), v->depth(), v->voxels());
        viewState.showOverlay = false;
        for (const TextureContent form : {TextureContent::index, TextureContent::rgba}) {
            if (form == TextureContent::index && !extensions.hasPalettedTexture) continue;
            const auto one = pictures(*v, false, form), bricked = pictures(*v, true, form);
            for (size_t i = 0; i < one.size(); ++i) {
                const Difference d = compare(one[i], bricked[i]);
                const bool nearest = i / 4 % 3 > 0;
                const std::string where = std::string(v == neghip ? "neghip" : "odd volume") +
                                          ", form " + std::to_string(int(form)) + ", picture " +
                                          std::to_string(i);
                EXPECT_GT(d.lit, 4000) << where;
                if (nearest)
                    EXPECT_LE(d.differ, 8) << where;
                else
                    EXPECT_LE(d.total / d.lit, 3.0) << where; // 0.5 to 2.3 seen
            }
        }
    }
    volume = neghip;
    delete odd;
}
