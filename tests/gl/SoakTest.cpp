// A long session in one process, through the real callbacks: thousands of
// editor drags with palette uploads, texture rebuilds and page switches must
// leave one volume texture, one histogram list and a flat resident size.
#include "GlTestContext.h"
#include "TestVolume.h"
#include "app/Application.h"
#include "app/ExtensionProbe.h"
#include "commands/Commands.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/Navigation.h"
#include "render/Renderer.h"
#include "render/ViewState.h"
#include "volume/VolumeTexture.h"

#include <GL/freeglut.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string word; status >> word;)
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return -1;
}

// GL names in use up to `last`, found by asking about each.
int liveNames(GLboolean (*isName)(GLuint), GLuint last) {
    int count = 0;
    for (GLuint n = 1; n <= last; ++n)
        count += isName(n) == GL_TRUE;
    return count;
}
GLboolean isTexture(GLuint n) {
    return glIsTexture(n);
}
GLboolean isList(GLuint n) {
    return glIsList(n);
}

class Soak : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureGlContext();
        probeExtensions();
        volume = loadTestVolume(32, 32, 16).release(); // program-wide, never freed
        ASSERT_NE(volume, nullptr);
        mouseState = new MouseState();
        buildControlPanel();
        ASSERT_TRUE(buildInitialTexture());
        height = glutGet(GLUT_WINDOW_HEIGHT);
    }
    // Presses control point 2's handle, drags it `moves` times back and
    // forth inside the editor and releases it.
    void dragControlPoint(int moves) {
        if (controlPanel->page != menuPage)
            handleCommand(menuCommand); // the editor is on the menu page
        TransferFunctionEditor& editor = *controlPanel->editor;
        const ControlPoint p = editor.controlPoints[2];
        const int x = editor.x + p.x, y = height - (editor.y + p.y + 10);
        mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
        ASSERT_EQ(editor.dragMode, pointDrag + 2);
        for (int i = 0; i < moves; ++i) {
            const int step = i % 2 ? -3 : 3;
            motion(x + step, y - step);
        }
        mouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
    }

    // Alpha, RGBA and colour-index forms in turn, ending on the alpha form.
    void rebuildTextures(int count) {
        const TransferTable& table = controlPanel->editor->table;
        int failed = 0;
        testing::internal::CaptureStdout(); // a progress line each
        for (int i = count - 1; i >= 0; --i) {
            const GLuint before = volumeTexture[0];
            const bool built = i % 3 == 0   ? volume->buildAlphaTexture(volumeTexture, 0)
                               : i % 3 == 1 ? volume->buildRgbaTexture(volumeTexture, 0, table)
                                            : volume->buildIndexTexture(volumeTexture, 0, table);
            failed += !built;
            lastTextureName = std::max({lastTextureName, before, volumeTexture[0]});
        }
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(failed, 0);
    }

    void switchPages(int count) {
        for (int i = 0; i < count; ++i) {
            handleCommand(i % 2 ? infosCommand : menuCommand);
            if (i % 50 == 0) display();
        }
    }

    int height = 0;
    GLuint lastTextureName = 0;
};

} // namespace

TEST_F(Soak, LongSessionKeepsOneTextureOneListAndFlatMemory) {
    // One round of everything first: caches and pools the driver fills once.
    dragControlPoint(500);
    rebuildTextures(60);
    switchPages(100);
    display();
    const long before = residentKiB();
    ASSERT_GT(before, 0);
    const GLuint firstList = controlPanel->editor->histogramList;

    for (int round = 0; round < 20; ++round) {
        dragControlPoint(500);
        display();
        handleCommand(initTfCommand); // compiles the histogram list again
    }
    rebuildTextures(1000);
    switchPages(1000);
    display();
    glFinish();
    [[maybe_unused]] const long after = residentKiB();

    const TransferFunctionEditor& editor = *controlPanel->editor;
    EXPECT_EQ(editor.controlPoints[2].x, 102); // Init TF put it back

    ASSERT_TRUE(glIsTexture(volumeTexture[0]));
    // The last form is alpha: no palette may survive its index texture.
    EXPECT_EQ(liveNames(isTexture, lastTextureName + 64), 1);
    EXPECT_FALSE(glIsList(firstList) && firstList != editor.histogramList);
    EXPECT_TRUE(glIsList(editor.histogramList));
    EXPECT_EQ(liveNames(isList, std::max(editor.histogramList, firstList) + 64), 1);
    // A leaked staging buffer or texture per rebuild would be 16 MiB or more.
    // AddressSanitizer holds freed blocks back, so only plain builds measure.
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(after - before, 8 * 1024) << "resident KiB " << before << " -> " << after;
#endif
}
