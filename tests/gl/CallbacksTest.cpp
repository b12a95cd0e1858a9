// The GLUT callbacks and the commands over the program's real objects: keys,
// panel commands and their labels, pages, the order in which widgets see a
// press, the transfer-function commands, trackball and zoom.
#include "GlTestContext.h"
#include "app/Window.h"
#include "commands/Commands.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/BrickedVolume.h"
#include "render/Navigation.h"
#include "render/Renderer.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"

#include <GL/freeglut.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace {

const int left = 0, down = 0, up = 1;

bool isIdentity(const float m[16]) {
    return std::equal(m, m + 16, ViewState().rotation);
}

class Callbacks : public ::testing::Test {
  protected:
    void SetUp() override { setUpViewer(); }
    // A left press and release in the middle of a box, panel coordinates.
    void click(const Box& b) {
        panel().onMouse(left, down, b.x + b.width / 2, b.y + b.height / 2);
        panel().onMouse(left, up, b.x + b.width / 2, b.y + b.height / 2);
    }
    ControlPanel& panel() { return *controlPanel; } // made afresh for each test
    TransferFunctionEditor& editor() { return *controlPanel->editor; }
};

} // namespace

// Density buttons work only without the transfer function.
TEST_F(Callbacks, StartUpLabelsAndControlsTheDriverRulesOut) {
    EXPECT_STREQ(panel().sizeLabel->text, "Size: 64x64x64");
    click(panel().densityMinusButton->box());
    click(panel().useTfCheckBox->box());
    click(panel().densityMinusButton->box());
    EXPECT_FLOAT_EQ(viewState.density, 0.05f);
    EXPECT_EQ(std::vector<bool>({panel().applyTfButton->enabled, panel().attRadio->enabled,
                                 panel().mipRadio->enabled}),
              std::vector<bool>({!extensions.hasPalettedTexture, extensions.hasBlendColor,
                                 extensions.hasBlendMinmax}));
}

// Each key and command from the start-up values; only the changed value's
// label is written.
TEST_F(Callbacks, KeysAndCommandsMoveTheirValuesAndLabels) {
    const struct {
        unsigned char key;
        int command;
        float intensity, density;
        int slices;
    } rows[] = {
        // clang-format off
        {'a', 0, 0.21f, 0.1f, 80}, {'A', 0, 0.21f, 0.1f, 80}, {'q', 0, 0.19f, 0.1f, 80},
        {'z', 0, 0.2f, 0.11f, 80}, {'S', 0, 0.2f, 0.09f, 80}, {'e', 0, 0.2f, 0.1f, 90},
        {'D', 0, 0.2f, 0.1f, 70},  {' ', 0, 0.2f, 0.1f, 80},  {'x', 0, 0.2f, 0.1f, 80},
        {0, intensityPlusCommand, 0.25f, 0.1f, 80}, {0, intensityMinusCommand, 0.15f, 0.1f, 80},
        {0, densityPlusCommand, 0.2f, 0.15f, 80},   {0, densityMinusCommand, 0.2f, 0.05f, 80},
        {0, slicesPlusCommand, 0.2f, 0.1f, 90},     {0, slicesMinusCommand, 0.2f, 0.1f, 70},
        {0, noCommand, 0.2f, 0.1f, 80},             {0, 93, 0.2f, 0.1f, 80},
        // clang-format on
    };
    Label* const labels[] = {panel().intensityLabel, panel().densityLabel, panel().slicesLabel};
    for (const auto& row : rows) {
        viewState = ViewState();
        for (Label* l : labels)
            l->setText("-");
        row.key ? keyboard(row.key, 0, 0) : handleCommand(row.command);
        const std::string what =
            row.key ? std::string(1, char(row.key)) : std::to_string(row.command);
        EXPECT_FLOAT_EQ(viewState.intensity, row.intensity) << what;
        EXPECT_FLOAT_EQ(viewState.density, row.density) << what;
        EXPECT_EQ(viewState.sliceCount, row.slices) << what;
        EXPECT_EQ(viewState.showOverlay, row.key != ' ') << what;
        char text[3][64];
        std::snprintf(text[0], 64, "Intensity: %.2f", double(row.intensity));
        std::snprintf(text[1], 64, "Density: %.2f", double(row.density));
        std::snprintf(text[2], 64, "Slices: %d", row.slices);
        const bool changed[] = {row.intensity != 0.2f, row.density != 0.1f, row.slices != 80};
        for (int k = 0; k < 3; ++k)
            EXPECT_STREQ(labels[k]->text, changed[k] ? text[k] : "-") << what;
    }
}

// Every widget sees each press in a fixed order and none consumes it, so a
// page switched by one already applies to the later ones.
TEST_F(Callbacks, PagesAndWhatAPressReaches) {
    const Page after[3][2] = {
        {menuPage, infosPage}, {closedPage, infosPage}, {menuPage, closedPage}};
    for (Page from : {closedPage, menuPage, infosPage})
        for (int k = 0; k < 2; ++k) {
            panel().setPage(from);
            handleCommand(k ? infosCommand : menuCommand);
            EXPECT_EQ(std::make_pair(panel().page, viewState.outlineBox),
                      std::make_pair(after[from][k], after[from][k] != closedPage));
        }
    for (int p : {0, 1, 2, 3}) { // the page row: top for open pages only
        panel().setPage(Page(p));
        const int rowY = panel().y + (p == menuPage || p == infosPage ? 410 : 10);
        for (Widget* w : {panel().menuButton, panel().infosButton, panel().exitButton})
            EXPECT_EQ(std::vector<int>({w->y, w->visible}), std::vector<int>({rowY, 1})) << p;
        EXPECT_EQ(panel().fpsLabel->y, rowY + 25) << p;
    }
    panel().setPage(closedPage);
    const Box menu = panel().menuButton->box();
    panel().onMouse(left, down, menu.x, menu.y); // the editor, later, would cover this point
    EXPECT_EQ(panel().page, menuPage);
    EXPECT_EQ(editor().dragMode, noDrag);
    panel().onMouse(left, down, menu.x, menu.y); // now it is shown: control point 0
    EXPECT_EQ(editor().dragMode, pointDrag);
    const Box infos = panel().infosButton->box(); // a later menu-page widget on the same spot
    panel().intensityMinusButton->x = infos.x, panel().intensityMinusButton->y = infos.y;
    panel().onMouse(left, down, infos.x, infos.y);
    EXPECT_EQ(panel().page, infosPage);
    EXPECT_EQ(viewState.intensity, 0.2f);
    panel().setVisible(false); // a hidden panel takes nothing
    panel().onMouse(left, down, infos.x, infos.y);
    panel().onMotion(left, editor().x + 40, editor().y + 50, editor().x, editor().y + 50);
    EXPECT_EQ(panel().page, infosPage);
    EXPECT_EQ(editor().lowBound, 86);
}

TEST_F(Callbacks, TransferFunctionCommandsAndChanges) {
    editor().lowBound = 10;
    editor().controlPoints[2].y = 100;
    handleCommand(initTfCommand); // the model back; table and texture wait
    EXPECT_EQ(std::vector<int>({editor().lowBound, editor().controlPoints[2].y}),
              std::vector<int>({86, 51}));
    editor().highBound = 100;
    viewState.useTf = false;
    const GLuint name = volumeTexture;
    handleCommand(applyTfCommand); // without "Use TF": nothing
    handleChange(editorCommand - 1, 0, 0);
    EXPECT_EQ(volumeTexture, name);
    EXPECT_EQ(editor().table[120][0], 0); // still green
    handleChange(editorCommand, 0, 0);    // with palettes: table and palette, same texture
    EXPECT_EQ(editor().table[120][0], extensions.hasPalettedTexture ? 255 : 0);
    EXPECT_EQ(volumeTexture, name);
    editor().highBound = 90;
    viewState.useTf = true;
    handleCommand(applyTfCommand);
    EXPECT_EQ(editor().table[95][0], 255);
    EXPECT_TRUE(glIsTexture(volumeTexture)); // a new texture, and the old one gone
    EXPECT_NE(volumeTexture, name);
    EXPECT_FALSE(glIsTexture(name));
}

namespace {
TexImage3DProc driverUpload = nullptr;
// A driver that accepts every size and then stores nothing.
void APIENTRY storeNothing(GLenum target, GLint level, GLenum internalFormat, GLsizei w, GLsizei h,
                           GLsizei d, GLint border, GLenum format, GLenum type, const GLvoid* p) {
    if (target != GL_TEXTURE_3D)
        driverUpload(target, level, internalFormat, w, h, d, border, format, type, p);
}
} // namespace

// A form the driver refuses, by its size (2 GiB of RGBA) or at the upload, as
// one texture or in bricks, leaves the texture, its binding, the panel and
// the picture as they were.
TEST_F(Callbacks, UseTfThatCannotBeBuiltLeavesTextureAndPanel) {
    click(panel().useTfCheckBox->box());
    Volume* const shown = volume;
    Volume big;
    ASSERT_EQ(big.load("/dev/null", 1024, 1024, 512, true), LoadStatus::ok);
    driverUpload = extensions.glTexImage3DEXT;
    reshape(256, 256);
    viewState.showOverlay = false; // the frame rate changes between frames
    BrickLimits bricks;
    bricks.axis = 32;
    const struct {
        Volume* volume;
        TexImage3DProc upload;
        bool split;
        const char* line;
    } rows[] = {
        {&big, driverUpload, false, "a 1024x1024x512 RGBA volume texture (2147483648 bytes)\n"},
        {shown, storeNothing, false, "a 64x64x64 RGBA volume texture (1048576 bytes)\n"},
        {shown, storeNothing, true, "the RGBA volume textures (1.0 MiB)\n"},
    };
    for (const auto& row : rows) {
        display();
        const std::vector<unsigned char> before = readPixels(256, 256);
        const GLuint alpha = volumeTexture;
        volume = row.volume, extensions.glTexImage3DEXT = row.upload;
        splitVolumeTextures(row.split, bricks);
        testing::internal::CaptureStderr();
        panel().useTfCheckBox->setChecked(true); // as its click does
        handleCommand(useTfCommand);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("Error: the driver refused ") + row.line);
        volume = shown, extensions.glTexImage3DEXT = driverUpload;
        splitVolumeTextures(false);
        GLint bound = 0; // as the last frame left it
        glGetIntegerv(GL_TEXTURE_BINDING_3D, &bound);
        EXPECT_EQ(GLuint(bound), alpha);
        EXPECT_FALSE(panel().useTfCheckBox->isChecked());
        EXPECT_TRUE(panel().densityPlusButton->enabled && panel().densityLabel->enabled);
        EXPECT_TRUE(volumeTexture == alpha && glIsTexture(alpha));
        display();
        EXPECT_TRUE(readPixels(256, 256) == before) << row.line;
    }
}

// A left drag turns at lower quality until the release; a right drag zooms
// and stops at -1; the middle button and the editor's drags turn nothing.
TEST_F(Callbacks, DragsTurnZoomOrEditButNeverTwo) {
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100); // a stray release restores nothing
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 100); // a click without motion turns nothing
    mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 200, 100);
    motion(300, 220);
    const int x = editor().x + 200, y = glutGet(GLUT_WINDOW_HEIGHT) - (editor().y + 50);
    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y); // the high bound's zone
    motion(x - 30, y);
    panel().setVisible(false); // as space does, mid-drag: the release still ends the drag
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, x - 30, y);
    EXPECT_EQ(std::vector<int>({editor().highBound, viewState.sliceCount, viewState.coarse}),
              std::vector<int>({140, 80, 0}));
    EXPECT_EQ(editor().table[150][0], extensions.hasPalettedTexture ? 255 : 0); // recoloured live
    EXPECT_TRUE(isIdentity(viewState.rotation));
    EXPECT_EQ(viewState.distance, -4.4f);

    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 100);
    motion(210, 110);
    EXPECT_EQ(std::vector<int>({viewState.sliceCount, int(viewState.filter), viewState.coarse}),
              std::vector<int>({53, GL_NEAREST, 1}));
    EXPECT_FALSE(isIdentity(viewState.rotation));
    keyboard('e', 0, 0); // undone by the release
    mouse(GLUT_LEFT_BUTTON, GLUT_UP, 210, 110);
    EXPECT_EQ(std::vector<int>({viewState.sliceCount, int(viewState.filter), viewState.coarse}),
              std::vector<int>({80, GL_LINEAR, 0}));

    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 200, 100);
    for (const auto& step :
         {std::array<float, 3>{200, 120, -3.4f}, {300, 220, -1}, {300, 20, -11}}) {
        motion(int(step[0]), int(step[1]));
        EXPECT_FLOAT_EQ(viewState.distance, step[2]); // upwards: no limit
    }
}
