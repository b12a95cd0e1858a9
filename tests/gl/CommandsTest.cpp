// Keys and panel commands against the program's real objects.
#include "commands/Commands.h"
#include "ViewerSetup.h"
#include "tf/TransferFunctionEditor.h"
#include "volume/VolumeTexture.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

class CommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setUpViewer();
        panel = controlPanel;
    }
    void press(unsigned char key, int times = 1) {
        for (int i = 0; i < times; ++i)
            keyboard(key, 0, 0);
    }
    // A left click in the middle of a widget's box.
    void click(const Box& b) {
        panel->onMouse(0, 0, b.x + b.width / 2, b.y + b.height / 2);
        panel->onMouse(0, 1, b.x + b.width / 2, b.y + b.height / 2);
    }
    ControlPanel* panel = nullptr;
};

} // namespace

TEST_F(CommandsTest, StartUpLabelsAndDisabledControls) {
    EXPECT_STREQ(panel->sizeLabel->text, "Size: 64x64x64");
    EXPECT_STREQ(panel->densityLabel->text, "Density: 0.10");
    EXPECT_STREQ(panel->intensityLabel->text, "Intensity: 0.20");
    EXPECT_STREQ(panel->slicesLabel->text, "Slices: 80");
    EXPECT_FALSE(panel->densityLabel->enabled);
    EXPECT_FALSE(panel->densityPlusButton->enabled);
    EXPECT_FALSE(panel->densityMinusButton->enabled);
    EXPECT_EQ(panel->applyTfButton->enabled, !extensions.hasPalettedTexture);
    EXPECT_EQ(panel->attRadio->enabled, extensions.hasBlendColor);
    EXPECT_EQ(panel->mipRadio->enabled, extensions.hasBlendMinmax);
    EXPECT_EQ(panel->page, menuPage);
}

TEST_F(CommandsTest, IntensityStepsInDoubleAndStoresSingle) {
    press('a', 80);
    EXPECT_FLOAT_EQ(viewState.intensity, 0.9999993f);
    EXPECT_LT(viewState.intensity, 1.0f);
    EXPECT_STREQ(panel->intensityLabel->text, "Intensity: 1.00");
    press('A');
    EXPECT_EQ(viewState.intensity, 1.0f);
    press('q', 200);
    EXPECT_EQ(viewState.intensity, 0.0f);
    EXPECT_STREQ(panel->intensityLabel->text, "Intensity: 0.00");
}

TEST_F(CommandsTest, DensityButtonsWorkOnlyWithoutTransferFunction) {
    const Box minus = panel->densityMinusButton->box(), useTf = panel->useTfCheckBox->box();
    click(minus); // disabled while "Use TF" is checked
    EXPECT_FLOAT_EQ(viewState.density, 0.1f);

    click(useTf); // off
    ASSERT_FALSE(panel->useTfCheckBox->isChecked());
    EXPECT_TRUE(panel->densityMinusButton->enabled);
    click(minus);
    click(minus);
    EXPECT_GT(viewState.density, 0.0f);
    EXPECT_LT(viewState.density, 1e-9f);
    EXPECT_STREQ(panel->densityLabel->text, "Density: 0.00");
    click(minus);
    EXPECT_EQ(viewState.density, 0.0f);
    click(panel->densityPlusButton->box());
    EXPECT_FLOAT_EQ(viewState.density, 0.05f);

    click(useTf); // and on again
    EXPECT_FALSE(panel->densityMinusButton->enabled);
    press('z', 3); // the keys work either way
    EXPECT_FLOAT_EQ(viewState.density, 0.08f);
    press('s');
    EXPECT_FLOAT_EQ(viewState.density, 0.07f);
}

TEST_F(CommandsTest, SliceCountStaysWithinItsLimits) {
    press('e', 12);
    EXPECT_EQ(viewState.sliceCount, 200);
    press('E');
    EXPECT_EQ(viewState.sliceCount, 200);
    press('D', 19);
    EXPECT_EQ(viewState.sliceCount, 10);
    press('d');
    EXPECT_EQ(viewState.sliceCount, 10);
    EXPECT_STREQ(panel->slicesLabel->text, "Slices: 10");
    handleCommand(slicesPlusCommand);
    EXPECT_EQ(viewState.sliceCount, 20);
    handleCommand(slicesMinusCommand);
    handleCommand(slicesMinusCommand);
    EXPECT_EQ(viewState.sliceCount, 10);
    handleCommand(intensityMinusCommand);
    EXPECT_FLOAT_EQ(viewState.intensity, 0.15f);
    handleCommand(intensityPlusCommand);
    handleCommand(intensityPlusCommand);
    EXPECT_FLOAT_EQ(viewState.intensity, 0.25f);
}

TEST_F(CommandsTest, TogglesComeBackAfterTwoPresses) {
    press(' ');
    EXPECT_FALSE(viewState.showOverlay);
    press(' ');
    EXPECT_TRUE(viewState.showOverlay);
    handleCommand(filterCommand);
    EXPECT_EQ(viewState.filter, GLenum(GL_NEAREST));
    handleCommand(filterCommand);
    EXPECT_EQ(viewState.filter, GLenum(GL_LINEAR));
    press('x');
    press('\t');
    EXPECT_EQ(viewState.sliceCount, 80);
}

TEST_F(CommandsTest, PageTransitions) {
    const int menu = menuCommand, infos = infosCommand;
    const struct {
        Page from;
        int command;
        Page to;
    } steps[] = {{menuPage, menu, closedPage},   {closedPage, menu, menuPage},
                 {menuPage, infos, infosPage},   {infosPage, infos, closedPage},
                 {closedPage, infos, infosPage}, {infosPage, menu, menuPage}};
    for (const auto& s : steps) {
        panel->setPage(s.from);
        handleCommand(s.command);
        EXPECT_EQ(panel->page, s.to) << "from " << s.from << " by " << s.command;
    }
}

TEST_F(CommandsTest, ChangesReachThePaletteOnlyFromTheEditorWithPalettes) {
    TransferFunctionEditor& editor = *panel->editor;
    editor.highBound = 100;
    handleChange(editorCommand - 1, 0, 0);
    EXPECT_EQ(editor.table[120][0], 0); // still green
    const bool paletted = extensions.hasPalettedTexture;
    extensions.hasPalettedTexture = false;
    handleChange(editorCommand, 0, 0);
    EXPECT_EQ(editor.table[120][0], 0);
    extensions.hasPalettedTexture = paletted;
    if (!paletted) GTEST_SKIP() << "driver without paletted textures";
    const GLuint name = volumeTexture[0];
    handleChange(editorCommand, 0, 0);
    EXPECT_EQ(editor.table[120][0], 255);
    EXPECT_EQ(volumeTexture[0], name);
}

TEST_F(CommandsTest, TransferFunctionCommands) {
    TransferFunctionEditor& editor = *panel->editor;
    editor.lowBound = 10;
    editor.controlPoints[2].y = 100;
    TransferTable before;
    std::memcpy(before, editor.table, sizeof before);
    handleCommand(initTfCommand); //: model back, table and texture as they were
    EXPECT_EQ(editor.lowBound, 86);
    EXPECT_EQ(editor.controlPoints[2].y, 51);
    EXPECT_EQ(std::memcmp(before, editor.table, sizeof before), 0);

    panel->useTfCheckBox->setChecked(false);
    const GLuint name = volumeTexture[0];
    editor.highBound = 100;
    handleCommand(applyTfCommand); // without "Use TF": nothing
    EXPECT_EQ(volumeTexture[0], name);
    EXPECT_EQ(editor.table[120][0], 0);
    panel->useTfCheckBox->setChecked(true);
    handleCommand(applyTfCommand);
    EXPECT_EQ(editor.table[120][0], 255);
    EXPECT_TRUE(glIsTexture(volumeTexture[0]));
    if (volumeTexture[0] != name) {
        EXPECT_FALSE(glIsTexture(name));
    }
}

TEST_F(CommandsTest, UnknownCommandsChangeNothing) {
    for (int id : {int(noCommand), int(editorCommand), int(overCommand), int(normCommand), 93})
        handleCommand(id);
    EXPECT_EQ(panel->page, menuPage);
    EXPECT_EQ(viewState.sliceCount, 80);
    EXPECT_FLOAT_EQ(viewState.intensity, 0.2f);
    EXPECT_TRUE(panel->useTfCheckBox->isChecked());
}
