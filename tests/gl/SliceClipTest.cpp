// Slices cut to the visible bricks give exactly the pixels of whole squares.
#include "render/SliceClip.h"
#include "GlTestContext.h"
#include "TestData.h"
#include "app/Window.h"
#include "gui/ControlPanel.h"
#include "gui/TransferFunctionEditor.h"
#include "render/Renderer.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

// An off-centre ball in a flat, padded volume: 200 x 150 x 12 in 256 x 256 x 16.
static Volume* flatBall() {
    std::vector<unsigned char> voxels(200 * 150 * 12);
    for (size_t i = 0; i < voxels.size(); ++i) {
        const int x = int(i % 200) - 120, y = int(i / 200 % 150) - 60, z = int(i / 30000) - 5;
        const int r2 = x * x + y * y + 100 * z * z;
        voxels[i] = r2 < 2500 ? uint8_t(250 - r2 / 10) : 0;
    }
    TempFile file(voxels);
    Volume* flat = new Volume();
    flat->load(file.c_str(), 200, 150, 12, true);
    return flat;
}

// The driver keeps the back buffer through display's swap.
static std::vector<unsigned char> frame(bool whole) {
    viewState.wholeSlices = whole;
    display();
    return readPixels(256, 256);
}

TEST(SliceClip, CutSlicesDrawExactlyTheWholeSquaresPixels) {
    setUpViewer();
    reshape(256, 256);
    Volume* const neghip = volume;
    const float rotations[][4] = {{0, 0, 0, 1}, {90, 0, 1, 0}, {37, 1, 2, 3}, {-60, 1, 0, 0.5f}};
    using TC = TextureContent;
    viewState.showOverlay = false; // the slices alone
    int cut = 0, shown = 0, run = 0;
    for (Volume* v : {neghip, flatBall()}) {
        volume = v;
        for (int axis = 0; axis < 3; ++axis) {
            viewState.textureScale[axis] = v->scale()[axis] * 0.5f;
            // Off the block's centre, as skorel-open places its data.
            viewState.textureCentre[axis] = v == neghip ? 0.5f : 0.47f + 0.03f * float(axis);
        }
        volumeBricks = computeBrickGrid(v->width(), v->height(), v->depth(), v->voxels());
        const TC contents[] = {TC::index, TC::rgba, TC::alpha, TC::index, TC::rgba};
        for (const TC& content : contents) {
            const bool raised = &content >= contents + 3; // entry 0, and the padded block, show
            TransferTable table;
            std::memcpy(table, controlPanel->editor->table, sizeof table);
            if (raised) table[0][3] = 60;
            viewState.useTf = content != TC::alpha;
            ASSERT_TRUE(content == TC::alpha  ? buildAlphaTexture(*v, volumeTexture)
                        : content == TC::rgba ? buildRgbaTexture(*v, volumeTexture, table)
                                              : buildIndexTexture(*v, volumeTexture, table));
            setSliceTextureContent(content, table);
            EXPECT_EQ(sliceBox.whole, content == TC::index && raised);
            for (const BlendOperator op :
                 {BlendOperator::norm, BlendOperator::over, BlendOperator::att, BlendOperator::mip})
                for (const GLenum filter : {GL_LINEAR, GL_NEAREST}) {
                    viewState.blendOperator = op;
                    viewState.filter = filter;
                    const float* r = rotations[run++ % 4];
                    glMatrixMode(GL_MODELVIEW);
                    glLoadIdentity();
                    glRotatef(r[0], r[1], r[2], r[3]);
                    glGetFloatv(GL_MODELVIEW_MATRIX, viewState.rotation);
                    const auto expected = frame(true);
                    cut += !sliceBox.whole;
                    shown += std::count(expected.begin(), expected.end(), 0) < 256 * 256 * 4;
                    ASSERT_TRUE(frame(false) == expected)
                        << (v == neghip ? "neghip" : "flat ball") << ", form " << int(content)
                        << raised << ", operator " << int(op) << ", filter " << filter
                        << ", rotation " << r[0];
                }
        }
    }
    // Four in five pictures cut, and every one shows some of the volume.
    EXPECT_EQ(std::make_pair(cut, shown), std::make_pair(run * 4 / 5, run));
    delete volume;
    volume = neghip;
    viewState = ViewState();
}
