// The control panel wired as start-up wires it: what each page shows, the
// order in which widgets see a press, drags, the hidden panel, and drawing.
#include "gui/ControlPanel.h"
#include "GlTestContext.h"
#include "app/Application.h"
#include "commands/Commands.h"
#include "platform/Extensions.h"
#include "render/Navigation.h"
#include "render/ViewState.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const int left = 0, down = 0;
std::vector<int> commands, changes;

class ControlPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setUpViewer();
        panel = controlPanel;
        commands.clear(), changes.clear();
        panel->setCommandCallback([](int id) { commands.push_back(id), handleCommand(id); });
        panel->setChangeCallback(
            [](int id, int x, int y) { changes.push_back(id), handleChange(id, x, y); });
    }
    void press(int x, int y) { panel->onMouse(left, down, x, y); }
    ControlPanel* panel = nullptr;
};

TEST_F(ControlPanelTest, ExtensionLabelsFollowTheProbe) {
    const ExtensionSupport saved = extensions;
    extensions.hasPalettedTexture = true;
    extensions.hasBlendColor = false;
    extensions.hasBlendMinmax = true;
    ControlPanel other(0, *volume);
    extensions = saved;
    EXPECT_STREQ(other.palettedLabel->text, "GL_EXT_paletted_texture: YES");
    EXPECT_STREQ(other.blendColorLabel->text, "GL_EXT_blend_color: NO");
    EXPECT_STREQ(other.minmaxLabel->text, "GL_EXT_minmax_color: YES");
}

TEST_F(ControlPanelTest, MenuPressOnClosedPageDoesNotReachTheEditor) {
    panel->setPage(closedPage);
    const Box menu = panel->menuButton->box();
    press(menu.x, menu.y); // the editor, drawn later, would cover this point
    EXPECT_EQ(commands, std::vector<int>{menuCommand});
    EXPECT_EQ(panel->page, menuPage);
    EXPECT_EQ(panel->editor->dragMode, noDrag);
    press(menu.x, menu.y); // now the editor is shown: control point 0's handle
    EXPECT_EQ(panel->editor->dragMode, pointDrag);
}

TEST_F(ControlPanelTest, InfosPressHidesTheWidgetsAfterIt) {
    // A menu-page widget later in the order shares the "Infos" button's spot.
    const Box infos = panel->infosButton->box();
    panel->intensityMinusButton->x = infos.x, panel->intensityMinusButton->y = infos.y;
    press(infos.x + 1, infos.y + 1);
    EXPECT_EQ(commands, std::vector<int>{infosCommand});
    EXPECT_EQ(panel->page, infosPage);
    press(infos.x + 1, infos.y + 1);
    EXPECT_EQ(commands, (std::vector<int>{infosCommand, infosCommand}));
    EXPECT_EQ(panel->page, closedPage);
}

TEST_F(ControlPanelTest, DragsReachOnlyTheEditorAndNothingWhileHidden) {
    panel->useTfCheckBox->onMouse(left, down, panel->useTfCheckBox->x, panel->useTfCheckBox->y);
    commands.clear();
    const Box plus = panel->densityPlusButton->box(), menu = panel->menuButton->box();
    const int ex = panel->editor->x, ey = panel->editor->y;
    press(plus.x, plus.y);
    panel->onPassiveMotion(plus.x, plus.y);
    EXPECT_EQ(panel->densityPlusButton->highlighted, 1);
    press(ex + 40, ey + 50); // in the low bound's band
    panel->onMotion(left, ex + 40, ey + 50, ex + 30, ey + 50);
    EXPECT_EQ(panel->editor->lowBound, 76);
    panel->onMotion(left, ex + 30, ey + 50, menu.x, menu.y); // over "Menu": not a press
    EXPECT_EQ(changes, std::vector<int>{editorCommand});
    EXPECT_EQ(commands, std::vector<int>{densityPlusCommand});

    panel->setVisible(false);
    press(plus.x, plus.y);
    panel->onPassiveMotion(0, 0);
    panel->onMotion(left, menu.x, menu.y, ex + 40, ey + 50);
    EXPECT_EQ(commands.size(), 1u);
    EXPECT_EQ(panel->densityPlusButton->highlighted, 1);
    EXPECT_EQ(changes.size(), 1u);
}

// The "Menu" face covers its box and nothing more; hidden, nothing is drawn.
TEST_F(ControlPanelTest, FacesFillTheirBoxesAndAHiddenPanelDrawsNothing) {
    panel->setPosition(0, 0);
    panel->setPage(closedPage);
    const Box menu = panel->menuButton->box();
    auto drawn = [&] {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        panel->drawPanel(256, 256);
        return readPixels(256, 256);
    };
    auto red = [&](const std::vector<unsigned char>& p, int x, int y) {
        return p[4 * (y * 256 + x)];
    };
    const std::vector<unsigned char> shown = drawn();
    EXPECT_NEAR(red(shown, menu.x, menu.y), 76.5, 1); // 0.3 grey
    EXPECT_NEAR(red(shown, menu.x + menu.width - 1, menu.y + menu.height - 1), 76.5, 1);
    EXPECT_EQ(red(shown, menu.x + menu.width, menu.y), 0);
    EXPECT_EQ(red(shown, menu.x, menu.y + menu.height), 0);
    panel->setVisible(false);
    EXPECT_EQ(red(drawn(), menu.x, menu.y), 0);
}

} // namespace
