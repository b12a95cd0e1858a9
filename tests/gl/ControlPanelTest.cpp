// Control panel: construction, layout, pages, callbacks and the dispatch
// order's consequences, driven the way the commands will drive it.
#include "gui/ControlPanel.h"
#include "GlTestContext.h"
#include "platform/Extensions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const int left = 0, down = 0;

ControlPanel* current = nullptr;
std::vector<int> commands;
std::vector<int> changeIds;

// The page switches of the real "Menu" and "Infos" commands.
void switchPages(int id) {
    commands.push_back(id);
    if (id == 2) current->setPage(current->page == 1 ? 0 : 1);
    if (id == 9) current->setPage(current->page == 2 ? 0 : 2);
}
void recordChange(int id, int, int) {
    changeIds.push_back(id);
}

class ControlPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureGlContext();
        panel = new ControlPanel(0, volume);
        current = panel;
        commands.clear();
        changeIds.clear();
    }
    // Start-up's order.
    void wire() {
        panel->setPosition(10, 10);
        panel->setPage(1);
        panel->setCommandCallback(switchPages);
        panel->setChangeCallback(recordChange);
    }
    void press(int x, int y) { panel->onMouse(left, down, x, y); }
    static void expectAt(const Widget* w, int x, int y) {
        EXPECT_EQ(w->x, x);
        EXPECT_EQ(w->y, y);
    }

    Volume volume;
    ControlPanel* panel = nullptr; // never freed, as in the program
};

TEST_F(ControlPanelTest, ConstructionGivesIdsCaptionsAndStates) {
    EXPECT_EQ(panel->editor->id, 22);
    EXPECT_EQ(panel->exitButton->id, 91);
    EXPECT_EQ(panel->normRadio->id, 33);
    EXPECT_STREQ(panel->filterCheckBox->text, "Filter GL_LINEAR");
    EXPECT_STREQ(panel->versionLabel->text, "Skorel v0.8 b040320");
    EXPECT_TRUE(panel->overRadio->isChecked());
    EXPECT_FALSE(panel->normRadio->isChecked() || panel->attRadio->isChecked() ||
                 panel->mipRadio->isChecked());
    EXPECT_TRUE(panel->useTfCheckBox->isChecked() && panel->filterCheckBox->isChecked());
    // Unpaged until the creator picks a page: all shown, page row at (0, 0).
    EXPECT_TRUE(panel->palettedLabel->visible && panel->sizeLabel->visible);
    expectAt(panel->menuButton, 0, 0);
    expectAt(panel->editor, 10, 2);
}

TEST_F(ControlPanelTest, ExtensionLabelsFollowTheProbe) {
    const ExtensionSupport saved = extensions;
    extensions.hasPalettedTexture = true;
    extensions.hasBlendColor = false;
    extensions.hasBlendMinmax = true;
    ControlPanel other(0, volume);
    extensions = saved;
    EXPECT_STREQ(other.palettedLabel->text, "GL_EXT_paletted_texture: YES");
    EXPECT_STREQ(other.blendColorLabel->text, "GL_EXT_blend_color: NO");
    EXPECT_STREQ(other.minmaxLabel->text, "GL_EXT_minmax_color: YES");
}

TEST_F(ControlPanelTest, LayoutFromTheOrigin) {
    wire();
    expectAt(panel->editor, 20, 12);
    expectAt(panel->applyTfButton, 95, 160);
    expectAt(panel->mipRadio, 180, 220);
    expectAt(panel->densityMinusButton, 170, 360);
    expectAt(panel->sizeLabel, 20, 390);
    expectAt(panel->versionLabel, 20, 390);
    expectAt(panel->webLabel, 20, 300);
    expectAt(panel->minmaxLabel, 20, 60);
    expectAt(panel->menuButton, 20, 420);
    expectAt(panel->exitButton, 128, 420);
    expectAt(panel->fpsLabel, 10, 445);

    panel->setPosition(100, 0); // the page row waits for the next setPage
    expectAt(panel->editor, 110, 2);
    expectAt(panel->infosButton, 70, 420);
    panel->setPage(7);
    EXPECT_EQ(panel->page, 7);
    expectAt(panel->infosButton, 160, 10);
    expectAt(panel->fpsLabel, 100, 35);
}

TEST_F(ControlPanelTest, PagesShowTheirSets) {
    wire();
    panel->densityLabel->setEnabled(false);
    panel->setPage(2);
    EXPECT_FALSE(panel->editor->visible || panel->sizeLabel->visible ||
                 panel->intensityMinusButton->visible);
    EXPECT_TRUE(panel->versionLabel->visible && panel->minmaxLabel->visible &&
                panel->fpsLabel->visible);
    panel->setPage(0);
    EXPECT_FALSE(panel->versionLabel->visible || panel->editor->visible);
    EXPECT_TRUE(panel->exitButton->visible);
    panel->setPage(1);
    EXPECT_TRUE(panel->editor->visible && !panel->versionLabel->visible);
    EXPECT_FALSE(panel->densityLabel->enabled); // pages never touch enabled flags
}

TEST_F(ControlPanelTest, MenuPressOnClosedPageDoesNotReachTheEditor) {
    wire();
    panel->setPage(0);
    press(20, 20); // "Menu" at the bottom; the editor would cover this point
    EXPECT_EQ(commands, std::vector<int>{2});
    EXPECT_EQ(panel->page, 1);
    EXPECT_EQ(panel->editor->dragMode, 0);
    press(20, 20); // now the editor is shown: control point 0's handle
    EXPECT_EQ(panel->editor->dragMode, 3);
}

TEST_F(ControlPanelTest, InfosPressHidesTheWidgetsAfterIt) {
    wire();
    // Make a menu-set widget share the "Infos" button's spot.
    panel->intensityMinusButton->x = 75, panel->intensityMinusButton->y = 425;
    press(75, 425);
    EXPECT_EQ(commands, std::vector<int>{9});
    EXPECT_EQ(panel->page, 2);
    press(75, 425);
    EXPECT_EQ(commands, (std::vector<int>{9, 9}));
    EXPECT_EQ(panel->page, 0);
}

TEST_F(ControlPanelTest, DragsReachOnlyTheEditorAndNothingWhileHidden) {
    wire();
    press(151, 361); // density "+"
    panel->onPassiveMotion(151, 361);
    EXPECT_EQ(panel->densityPlusButton->highlighted, 1);
    press(60, 62);
    panel->onMotion(left, 60, 62, 50, 62);
    EXPECT_EQ(panel->editor->lowBound, 76);
    panel->onMotion(left, 50, 62, 21, 421); // over "Menu": not a press
    EXPECT_EQ(changeIds, (std::vector<int>{22}));
    EXPECT_EQ(commands, std::vector<int>{3});

    panel->setVisible(false);
    press(151, 361);
    panel->onPassiveMotion(0, 0);
    panel->onMotion(left, 21, 421, 60, 62);
    EXPECT_EQ(commands.size(), 1u);
    EXPECT_EQ(panel->densityPlusButton->highlighted, 1);
    EXPECT_EQ(changeIds.size(), 1u);
}

TEST_F(ControlPanelTest, HiddenPanelDrawsNothing) {
    wire();
    panel->setPosition(0, 0);
    panel->setPage(0);
    auto menuFace = [&] {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        panel->drawPanel(256, 256);
        return readPixels(256, 256)[4 * (12 * 256 + 11)]; // "Menu" at (10, 10)
    };
    EXPECT_GT(menuFace(), 40);
    panel->setVisible(false);
    EXPECT_EQ(menuFace(), 0);
}

} // namespace
