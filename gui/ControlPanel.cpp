// Control panel: construction, layout, pages, event dispatch and drawing.
#include "gui/ControlPanel.h"

#include "platform/Extensions.h"

#include <GL/freeglut.h>

namespace {

const char* yesNo(bool flag) {
    return flag ? "YES" : "NO";
}

void place(Widget* widget, int x, int y) {
    widget->x = x;
    widget->y = y;
}

} // namespace

ControlPanel* controlPanel = nullptr;

ControlPanel::ControlPanel(int id, const Volume& volume, const int* histogram) : Panel(id) {
    editor = new TransferFunctionEditor(editorCommand, volume, histogram);
    menuButton = new Button(menuCommand, "Menu");
    infosButton = new Button(infosCommand, "Infos");
    exitButton = new Button(exitCommand, "Exit");
    initTfButton = new Button(initTfCommand, "Init TF");
    applyTfButton = new Button(applyTfCommand, "Apply TF");
    densityPlusButton = new Button(densityPlusCommand, "+");
    densityMinusButton = new Button(densityMinusCommand, "-");
    densityLabel = new Label("Density:");
    slicesPlusButton = new Button(slicesPlusCommand, "+");
    slicesMinusButton = new Button(slicesMinusCommand, "-");
    slicesLabel = new Label("Slices:");
    intensityPlusButton = new Button(intensityPlusCommand, "+");
    intensityMinusButton = new Button(intensityMinusCommand, "-");
    intensityLabel = new Label("Intensity:");
    sizeLabel = new Label("Size:");
    fpsLabel = new Label("10 fps");
    useTfCheckBox = new CheckBox(useTfCommand, "Use TF");
    filterCheckBox = new CheckBox(filterCommand, "Filter GL_LINEAR");
    blendingLabel = new Label("Blending operators:");
    blendGroup = new RadioGroup(4);
    normRadio = new RadioButton(normCommand, "norm", blendGroup);
    overRadio = new RadioButton(overCommand, "over", blendGroup);
    attRadio = new RadioButton(attCommand, "att", blendGroup);
    mipRadio = new RadioButton(mipCommand, "mip", blendGroup);
    // The first member added starts checked: "over" is the initial operator.
    blendGroup->add(overRadio);
    blendGroup->add(normRadio);
    blendGroup->add(attRadio);
    blendGroup->add(mipRadio);
    versionLabel = new Label("%s v%s %s", "Skorel", "0.8", "b040320");
    separatorLabel = new Label("---------------------");
    projectLabel = new Label("Skorel - interactive volume viewer");
    schoolLabel = new Label("Volume graphics, example course");
    authorLabel = new Label("The Skorel developers <team@example.org>");
    webLabel = new Label("https://skorel.example.org");
    palettedLabel = new Label("GL_EXT_paletted_texture: %s", yesNo(extensions.hasPalettedTexture));
    blendColorLabel = new Label("GL_EXT_blend_color: %s", yesNo(extensions.hasBlendColor));
    minmaxLabel = new Label("GL_EXT_minmax_color: %s", yesNo(extensions.hasBlendMinmax));
    opacityLabel = new Label(nullptr);

    // clang-format off
    eventOrder = {editor, menuButton, infosButton, exitButton, applyTfButton, initTfButton,
                  useTfCheckBox, filterCheckBox, overRadio, attRadio, mipRadio, normRadio,
                  densityPlusButton, densityMinusButton, slicesPlusButton, slicesMinusButton,
                  intensityPlusButton, intensityMinusButton};
    drawOrder = {editor, menuButton, infosButton, exitButton, applyTfButton, initTfButton,
                 fpsLabel, useTfCheckBox, filterCheckBox, blendingLabel,
                 overRadio, attRadio, mipRadio, normRadio, sizeLabel,
                 densityLabel, densityPlusButton, densityMinusButton,
                 slicesLabel, slicesPlusButton, slicesMinusButton,
                 intensityLabel, intensityPlusButton, intensityMinusButton,
                 versionLabel, separatorLabel, projectLabel, schoolLabel, authorLabel, webLabel,
                 palettedLabel, blendColorLabel, minmaxLabel, opacityLabel};
    menuSet = {editor, applyTfButton, initTfButton, useTfCheckBox, filterCheckBox,
               overRadio, attRadio, normRadio, mipRadio, blendingLabel, sizeLabel,
               densityLabel, densityPlusButton, densityMinusButton,
               slicesLabel, slicesPlusButton, slicesMinusButton,
               intensityLabel, intensityPlusButton, intensityMinusButton, opacityLabel};
    infosSet = {versionLabel, separatorLabel, projectLabel, schoolLabel, authorLabel, webLabel,
                palettedLabel, blendColorLabel, minmaxLabel};
    // clang-format on

    // Until the creator picks a page every widget shows, page row at (0, 0).
    page = menuPage;
    setPosition(0, 0);
}

void ControlPanel::setPosition(int originX, int originY) {
    x = originX;
    y = originY;
    place(editor, x + 10, y + 2);
    place(initTfButton, x + 10, y + 150);
    place(applyTfButton, x + 85, y + 150);
    place(useTfCheckBox, x + 10, y + 180);
    place(normRadio, x + 10, y + 210);
    place(overRadio, x + 65, y + 210);
    place(attRadio, x + 120, y + 210);
    place(mipRadio, x + 170, y + 210);
    place(blendingLabel, x + 10, y + 230);
    place(filterCheckBox, x + 10, y + 260);
    place(slicesLabel, x + 10, y + 290);
    place(slicesPlusButton, x + 140, y + 290);
    place(slicesMinusButton, x + 160, y + 290);
    place(intensityLabel, x + 10, y + 320);
    place(intensityPlusButton, x + 140, y + 320);
    place(intensityMinusButton, x + 160, y + 320);
    place(densityLabel, x + 10, y + 350);
    place(densityPlusButton, x + 140, y + 350);
    place(densityMinusButton, x + 160, y + 350);
    place(sizeLabel, x + 10, y + 380);
    place(opacityLabel, x + 90, y + 180); // beside "Use TF"
    // The version line takes the size line's place on the other page.
    place(versionLabel, x + 10, y + 380);
    Label* credits[] = {separatorLabel, projectLabel, schoolLabel, authorLabel, webLabel};
    for (int i = 0; i < 5; ++i)
        place(credits[i], x + 10, y + 370 - 20 * i);
    place(palettedLabel, x + 10, y + 10);
    place(blendColorLabel, x + 10, y + 30);
    place(minmaxLabel, x + 10, y + 50);
}

void ControlPanel::setPage(Page p) {
    page = p;
    // Only the two open pages move the row to the top; any other value leaves
    // the buttons and the frame rate at the bottom.
    const bool top = p == menuPage || p == infosPage;
    const int rowY = y + (top ? 410 : 10);
    place(menuButton, x + 10, rowY);
    place(infosButton, x + 60, rowY);
    place(exitButton, x + 118, rowY);
    place(fpsLabel, x, rowY + 25);
    for (Widget* w : {menuButton, infosButton, exitButton})
        w->setVisible(true);
    fpsLabel->setVisible(true);
    for (Widget* w : menuSet)
        w->setVisible(p == menuPage);
    for (Widget* w : infosSet)
        w->setVisible(p == infosPage);
}

void ControlPanel::setCommandCallback(CommandCallback cb) {
    commandCallback = cb;
    for (Widget* w : eventOrder)
        w->setCommandCallback(cb);
}

void ControlPanel::setChangeCallback(ChangeCallback cb) {
    changeCallback = cb;
    editor->setChangeCallback(cb);
}

void ControlPanel::onMouse(int button, int state, int px, int py) {
    if (!visible) {
        // A drag begun on the editor ends with its release, seen or not.
        if (state == GLUT_UP) editor->endDrag();
        return;
    }
    for (Widget* w : eventOrder)
        w->onMouse(button, state, px, py);
}

void ControlPanel::onMotion(int button, int prevX, int prevY, int px, int py) {
    if (!visible) return;
    editor->onMotion(button, prevX, prevY, px, py);
}

void ControlPanel::onPassiveMotion(int px, int py) {
    if (!visible) return;
    for (Widget* w : eventOrder)
        w->onPassiveMotion(px, py);
}

void ControlPanel::drawPanel(int width, int height) {
    if (!visible) return;
    beginOverlay(width, height);
    for (Widget* w : drawOrder)
        w->draw();
    endOverlay();
}
