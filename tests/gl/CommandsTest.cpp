// Keys and panel commands against the program's real objects.
#include "commands/Commands.h"
#include "GlTestContext.h"
#include "app/Application.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/Navigation.h"
#include "render/ViewState.h"
#include "tf/TransferFunctionEditor.h"
#include "volume/VolumeTexture.h"

#include <cstdio>
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

// Each key and step command from the start-up values, with its label.
TEST_F(CommandsTest, KeysAndStepCommandsMoveTheirValuesAndLabels) {
    const struct {
        unsigned char key;
        int command;
        float intensity, density;
        int slices;
        GLenum filter = GL_LINEAR;
    } rows[] = {
        {'a', 0, 0.21f, 0.1f, 80},
        {'A', 0, 0.21f, 0.1f, 80},
        {'q', 0, 0.19f, 0.1f, 80},
        {'z', 0, 0.2f, 0.11f, 80},
        {'S', 0, 0.2f, 0.09f, 80},
        {'e', 0, 0.2f, 0.1f, 90},
        {'D', 0, 0.2f, 0.1f, 70},
        {' ', 0, 0.2f, 0.1f, 80},
        {'x', 0, 0.2f, 0.1f, 80},
        {0, intensityPlusCommand, 0.25f, 0.1f, 80},
        {0, intensityMinusCommand, 0.15f, 0.1f, 80},
        {0, densityPlusCommand, 0.2f, 0.15f, 80},
        {0, densityMinusCommand, 0.2f, 0.05f, 80},
        {0, slicesPlusCommand, 0.2f, 0.1f, 90},
        {0, slicesMinusCommand, 0.2f, 0.1f, 70},
        {0, filterCommand, 0.2f, 0.1f, 80, GL_NEAREST},
        {0, noCommand, 0.2f, 0.1f, 80},
        {0, normCommand, 0.2f, 0.1f, 80},
        {0, 93, 0.2f, 0.1f, 80}, // unknown
    };
    Label* const labels[] = {panel->intensityLabel, panel->densityLabel, panel->slicesLabel};
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
        EXPECT_EQ(viewState.filter, row.filter) << what;
        // Only the changed value's label is written.
        char text[3][64];
        std::snprintf(text[0], 64, "Intensity: %.2f", double(row.intensity));
        std::snprintf(text[1], 64, "Density: %.2f", double(row.density));
        std::snprintf(text[2], 64, "Slices: %d", row.slices);
        const bool changed[] = {row.intensity != 0.2f, row.density != 0.1f, row.slices != 80};
        for (int k = 0; k < 3; ++k)
            EXPECT_STREQ(labels[k]->text, changed[k] ? text[k] : "-") << what;
    }
}

TEST_F(CommandsTest, DensityButtonsWorkOnlyWithoutTransferFunction) {
    const Box minus = panel->densityMinusButton->box(), useTf = panel->useTfCheckBox->box();
    click(minus); // disabled while "Use TF" is checked
    EXPECT_FLOAT_EQ(viewState.density, 0.1f);

    click(useTf); // off
    ASSERT_FALSE(panel->useTfCheckBox->isChecked());
    click(minus);
    click(minus);
    click(minus);
    EXPECT_EQ(viewState.density, 0.0f);
    click(useTf); // and on again
    EXPECT_FALSE(panel->densityMinusButton->enabled);
}

TEST_F(CommandsTest, PageTransitions) {
    // From each page, "Menu" then "Infos": {to after Menu, to after Infos}.
    const Page to[3][2] = {{menuPage, infosPage}, {closedPage, infosPage}, {menuPage, closedPage}};
    for (Page from : {closedPage, menuPage, infosPage})
        for (int k = 0; k < 2; ++k) {
            panel->setPage(from);
            handleCommand(k ? infosCommand : menuCommand);
            EXPECT_EQ(panel->page, to[from][k]) << from << " " << k;
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
