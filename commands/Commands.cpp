#include "commands/Commands.h"

#include "gui/ControlPanel.h"
#include "gui/TransferFunctionEditor.h"
#include "platform/Extensions.h"
#include "render/SliceClip.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"
#include "volume/Volume.h"

#include <cctype>
#include <cstdlib>

namespace {
[[noreturn]] void exitQuietly() {
    std::exit(0);
}
} // namespace

void (*exitAction)() = exitQuietly;

float stepUnitValue(float value, double step) {
    const double result = double(value) + step;
    if (step > 0 && result > 1.0) return 1.0f;
    if (step < 0 && result < 0.0) return 0.0f;
    return float(result);
}

int stepSliceCount(int count, int step) {
    count += step;
    if (count > 200) return 200;
    if (count < 10) return 10;
    return count;
}

namespace {

void stepIntensity(double step) {
    viewState.intensity = stepUnitValue(viewState.intensity, step);
    refreshSliceBox();
    controlPanel->intensityLabel->setText("Intensity: %.2f", double(viewState.intensity));
}

void stepDensity(double step) {
    viewState.density = stepUnitValue(viewState.density, step);
    refreshSliceBox();
    controlPanel->densityLabel->setText("Density: %.2f", double(viewState.density));
}

void stepSlices(int step) {
    viewState.sliceCount = stepSliceCount(viewState.sliceCount, step);
    controlPanel->slicesLabel->setText("Slices: %d", viewState.sliceCount);
}

void setDensityWidgetsEnabled(bool enabled) {
    controlPanel->densityLabel->setEnabled(enabled);
    controlPanel->densityPlusButton->setEnabled(enabled);
    controlPanel->densityMinusButton->setEnabled(enabled);
}

// Bakes the editor's current transfer function into a new RGBA texture;
// false when it could not be built and the current texture stays.
bool applyTransferFunction() {
    TransferFunctionEditor& editor = *controlPanel->editor;
    editor.buildTable();
    if (!buildRgbaTexture(*volume, volumeTexture, editor.table)) return false;
    setSliceTextureContent(TextureContent::rgba, editor.table);
    return true;
}

// The outline box shows while the panel is open on a page.
void showPage(Page page) {
    controlPanel->setPage(page);
    viewState.outlineBox = page != closedPage;
}

} // namespace

bool setViewChoice(int id, ViewState& view) {
    switch (id) {
    case filterCommand:
        view.filter = view.filter == GL_LINEAR ? GL_NEAREST : GL_LINEAR;
        return true;
    case normCommand:
        view.blendOperator = BlendOperator::norm;
        return true;
    case overCommand:
        view.blendOperator = BlendOperator::over;
        return true;
    case attCommand:
        view.blendOperator = BlendOperator::att;
        return true;
    case mipCommand:
        view.blendOperator = BlendOperator::mip;
        return true;
    default:
        return false;
    }
}

void keyboard(unsigned char key, int, int) {
    switch (std::tolower(key)) {
    case 27:
        exitAction();
        break;
    case ' ':
        viewState.showOverlay = !viewState.showOverlay;
        break;
    case 'a':
        stepIntensity(0.01);
        break;
    case 'q':
        stepIntensity(-0.01);
        break;
    case 'z':
        stepDensity(0.01);
        break;
    case 's':
        stepDensity(-0.01);
        break;
    case 'e':
        stepSlices(10);
        break;
    case 'd':
        stepSlices(-10);
        break;
    default:
        break;
    }
}

void handleCommand(int id) {
    if (setViewChoice(id, viewState)) return;
    ControlPanel& panel = *controlPanel;
    switch (id) {
    case applyTfCommand:
        if (viewState.useTf) applyTransferFunction();
        break;
    case menuCommand:
        showPage(panel.page == menuPage ? closedPage : menuPage);
        break;
    case densityPlusCommand:
        stepDensity(0.05);
        break;
    case densityMinusCommand:
        stepDensity(-0.05);
        break;
    case slicesPlusCommand:
        stepSlices(10);
        break;
    case slicesMinusCommand:
        stepSlices(-10);
        break;
    case intensityPlusCommand:
        stepIntensity(0.05);
        break;
    case intensityMinusCommand:
        stepIntensity(-0.05);
        break;
    case infosCommand:
        showPage(panel.page == infosPage ? closedPage : infosPage);
        break;
    case useTfCommand: { // already flipped by the check box
        // The panel follows the texture: a form that cannot be built leaves both as they were.
        const bool useTf = panel.useTfCheckBox->isChecked();
        const bool built =
            useTf ? applyTransferFunction() : buildAlphaTexture(*volume, volumeTexture);
        if (!built) {
            panel.useTfCheckBox->setChecked(!useTf);
            break;
        }
        viewState.useTf = useTf;
        if (!useTf) setSliceTextureContent(TextureContent::alpha, nullptr);
        setDensityWidgetsEnabled(!useTf);
        break;
    }
    case editorCommand: // a drag on the editor began or ended
        viewState.editing = panel.editor->dragMode != noDrag;
        break;
    case exitCommand:
        exitAction();
        break;
    case initTfCommand: // the table and texture keep the old function until the next change
        panel.editor->reset(*volume);
        break;
    default:
        break;
    }
}

void handleChange(int id, int, int) {
    if (id != editorCommand || !extensions.hasPalettedTexture) return;
    controlPanel->editor->buildTable();
    uploadPalette(controlPanel->editor->table);
    noteSlicePalette(controlPanel->editor->table);
}
