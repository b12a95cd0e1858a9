// Slices cut to the visible bricks give exactly the pixels of whole squares.
#include "render/SliceClip.h"
#include "TempFile.h"
#include "ViewerSetup.h"
#include "app/Window.h"
#include "render/Renderer.h"
#include "tf/TransferFunctionEditor.h"
#include "volume/VolumeTexture.h"

#include <GL/freeglut.h>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

// An off-centre ball in a flat, padded volume (200 x 150 x 12 in 256 x 256 x 16):
// empty space on every side, and a padded block.
std::unique_ptr<Volume> flatBall() {
    std::vector<unsigned char> voxels(200 * 150 * 12);
    for (int z = 0; z < 12; ++z)
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x) {
                const int r2 =
                    (x - 120) * (x - 120) + (y - 60) * (y - 60) + 100 * (z - 5) * (z - 5);
                voxels[size_t(x + 200 * (y + 150 * z))] = r2 < 2500 ? uint8_t(250 - r2 / 10) : 0;
            }
    TempFile file(voxels);
    std::unique_ptr<Volume> flat(new Volume());
    flat->load(file.c_str(), 200, 150, 12, true);
    return flat;
}

enum class Form { index, rgba, alpha };

struct Rotation {
    float degrees, x, y, z;
};

// The driver keeps the back buffer through display's swap.
std::vector<unsigned char> frame(bool whole) {
    viewState.wholeSlices = whole;
    display();
    return readPixels(256, 256);
}

} // namespace

TEST(SliceClip, CutSlicesDrawExactlyTheWholeSquaresPixels) {
    setUpViewer();
    Volume* const neghip = volume;
    const std::unique_ptr<Volume> flat = flatBall();
    RadioButton* const operators[] = {controlPanel->normRadio, controlPanel->overRadio,
                                      controlPanel->attRadio, controlPanel->mipRadio};
    const Rotation rotations[] = {{0, 0, 0, 1}, {90, 0, 1, 0}, {37, 1, 2, 3}, {-60, 1, 0, 0.5f}};
    viewState.showOverlay = false; // the slices alone
    reshape(256, 256);
    int cut = 0, shown = 0, run = 0;
    for (Volume* v : {neghip, flat.get()}) {
        volume = v;
        for (int axis = 0; axis < 3; ++axis)
            viewState.textureScale[axis] = v->scale()[axis] * 0.5f;
        volumeBricks = computeBrickGrid(v->width(), v->height(), v->depth(), v->voxels());
        for (const Form form : {Form::index, Form::rgba, Form::alpha})
            for (const bool raised : {false, true}) {
                if (form == Form::alpha && raised) continue;
                TransferTable table;
                std::memcpy(table, controlPanel->editor->table, sizeof table);
                if (raised) table[0][3] = 60; // the padded block shows
                controlPanel->useTfCheckBox->setChecked(form != Form::alpha);
                if (form == Form::index) {
                    v->buildIndexTexture(volumeTexture, 0, table);
                    setSliceTextureContent(TextureContent::index, table);
                } else if (form == Form::rgba) {
                    v->buildRgbaTexture(volumeTexture, 0, table);
                    setSliceTextureContent(TextureContent::rgba, table);
                } else {
                    v->buildAlphaTexture(volumeTexture, 0);
                    setSliceTextureContent(TextureContent::alpha, nullptr);
                }
                for (RadioButton* op : operators)
                    for (const GLenum filter : {GL_LINEAR, GL_NEAREST}) {
                        if (!op->enabled) continue;
                        op->select(true);
                        viewState.filter = filter;
                        const Rotation& r = rotations[run++ % 4];
                        glMatrixMode(GL_MODELVIEW);
                        glLoadIdentity();
                        glRotatef(r.degrees, r.x, r.y, r.z);
                        glGetFloatv(GL_MODELVIEW_MATRIX, viewState.rotation);
                        const auto expected = frame(true);
                        const auto got = frame(false);
                        cut += !sliceBox.whole;
                        shown += std::count(expected.begin(), expected.end(), 0) <
                                 std::ptrdiff_t(expected.size());
                        EXPECT_EQ(sliceBox.whole, raised && form == Form::index);
                        ASSERT_TRUE(got == expected)
                            << "volume " << v->width() << "x" << v->height() << "x" << v->depth()
                            << ", form " << int(form) << (raised ? " raised entry 0" : "")
                            << ", operator " << op->text << ", filter " << filter << ", rotation "
                            << r.degrees;
                    }
            }
    }
    EXPECT_GT(cut, run / 2);
    EXPECT_EQ(shown, run); // every picture shows some of the volume
    volume = neghip;
    viewState = ViewState();
}
