// Transfer-function editor: histogram list, hit tests, drags, then drawing.
// Only compileHistogram and draw call GL.
#include "gui/TransferFunctionEditor.h"

#include "volume/Bricks.h"

#include <initializer_list>

namespace {

// glVertex2i for each (x, y) pair of a flat list.
void vertices(std::initializer_list<int> xy) {
    for (const int* v = xy.begin(); v != xy.end(); v += 2)
        glVertex2i(v[0], v[1]);
}

} // namespace

TransferFunctionEditor::TransferFunctionEditor(int id, const Volume& volume, const int* counted)
    : Widget(id) {
    reset(volume, counted);
    buildTable();
}

TransferFunctionEditor::~TransferFunctionEditor() {
    if (histogramList) glDeleteLists(histogramList, 1);
}

void TransferFunctionEditor::reset(const Volume& volume, const int* counted) {
    resetCurve();
    loadHistogram(volume, counted);
    compileHistogram();
}

void TransferFunctionEditor::loadHistogram(const Volume& volume, const int* counted) {
    voxelCount = int(volume.depth()) * volume.height() * volume.width();
    if (counted) {
        histogram.assign(counted, counted + 256);
        return;
    }
    histogram.assign(256, 0);
    ::countHistogram(volume.voxels(), size_t(voxelCount), histogram.data());
}

void TransferFunctionEditor::compileHistogram() {
    if (histogramList) glDeleteLists(histogramList, 1);
    histogramList = glGenLists(1);
    glNewList(histogramList, GL_COMPILE);
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.6f, 0.0f);
    for (int i = 0; i < 256; ++i) {
        glVertex2i(i, 10);
        glVertex2i(i, 10 + histogramBarHeight(histogram[i], voxelCount));
    }
    glEnd();
    glEndList();
}

int TransferFunctionEditor::regionAt(int lx, int ly) const {
    if (ly < 0 || ly > 139) return noDrag;
    const int lowStart = lowBound - 9 < 0 ? lowBound - 9 : 0;
    if (lx >= lowStart && lx <= lowBound - 1) return lowBoundDrag;
    const int highEnd = highBound + 9 > 255 ? highBound + 9 : 255;
    if (lx >= highBound - 1 && lx <= highEnd) return highBoundDrag;
    return noDrag;
}

int TransferFunctionEditor::handleAt(int lx, int ly) const {
    int found = 0;
    for (int j = 0; j < 6; ++j) {
        const ControlPoint p = controlPoints[j];
        if (p.x - 3 < lx && lx < p.x + 3 && p.y + 7 < ly && ly < p.y + 13) found = j + 1;
    }
    return found;
}

void TransferFunctionEditor::setDragMode(int mode) {
    const bool changed = (mode != noDrag) != (dragMode != noDrag);
    dragMode = mode;
    if (changed) fireCommand();
}

void TransferFunctionEditor::endDrag() {
    setDragMode(noDrag);
}

void TransferFunctionEditor::onMouse(int button, int state, int px, int py) {
    if (button != 0 || state != 0) {
        endDrag(); // whatever is visible: a release always ends a drag
        return;
    }
    if (!visible) return;
    const int lx = px - x, ly = py - y;
    const int handle = handleAt(lx, ly); // a handle beats a band
    setDragMode(handle ? pointDrag + handle - 1 : regionAt(lx, ly));
}

// Drags are relative: a value held at a limit follows the pointer back only
// once the pointer has come back.
void TransferFunctionEditor::onMotion(int, int prevX, int prevY, int px, int py) {
    if (!visible) return;
    const int dx = px - prevX, dy = py - prevY;
    if (dragMode == lowBoundDrag)
        moveLowBound(dx);
    else if (dragMode == highBoundDrag)
        moveHighBound(dx);
    else if (dragMode >= pointDrag && dragMode < pointDrag + 6)
        movePoint(dragMode - pointDrag, dx, dy);
    const int lx = px - x, ly = py - y;
    if (changeCallback && lx >= 0 && lx < width && ly >= 0 && ly < height)
        changeCallback(id, lx, ly);
}

void TransferFunctionEditor::onPassiveMotion(int px, int py) {
    if (!visible) return;
    const int lx = px - x, ly = py - y;
    highlighted = regionAt(lx, ly);
    hoveredHandle = handleAt(lx, ly);
}

// Bands and markers add onto the bars under the panel's additive blending;
// the curve and handles are drawn opaque.
void TransferFunctionEditor::draw() {
    if (!visible) return;
    const int low = lowBound, high = highBound;
    glPushMatrix();
    glTranslatef(float(x), float(y), 0);
    glCallList(histogramList);

    glBegin(GL_QUADS);
    if (highlighted == lowBoundDrag)
        glColor3f(0.1f, 0.1f, 1.0f);
    else
        glColor3f(0.0f, 0.0f, 0.8f);
    vertices({-1, 2, low - 1, 2, low - 1, 140, -1, 140});
    glColor3f(0.0f, 0.8f, 0.0f);
    vertices({low - 1, 2, high - 1, 2, high - 1, 140, low - 1, 140});
    if (highlighted == highBoundDrag)
        glColor3f(1.0f, 0.1f, 0.1f);
    else
        glColor3f(0.8f, 0.0f, 0.0f);
    vertices({high, 2, 255, 2, 255, 140, high, 140});
    glEnd();

    glColor3f(0.8f, 0.8f, 0.0f);
    glBegin(GL_LINES);
    vertices({low - 1, 8, low - 1, 134, high, 8, high, 134});
    glEnd();
    // Right-angled markers at the foot and head of each bound line, on the
    // side away from the green band.
    glBegin(GL_TRIANGLES);
    vertices({low - 1, 8, low - 10, 0, low - 1, 0});
    vertices({high - 1, 8, high - 1, 0, high + 8, 0});
    vertices({low - 1, 142, low - 10, 142, low - 1, 134});
    vertices({high - 1, 142, high - 1, 134, high + 8, 142});
    glEnd();

    glDisable(GL_BLEND);
    glColor3f(0.9f, 0.9f, 0.9f);
    glBegin(GL_LINES);
    for (int k = 0; k < 5; ++k) {
        const ControlPoint p0 = controlPoints[k], p1 = controlPoints[k + 1];
        vertices({p0.x, p0.y + 10, p1.x, p1.y + 10});
    }
    glEnd();
    glBegin(GL_QUADS);
    for (int j = 0; j < 6; ++j) {
        const ControlPoint p = controlPoints[j];
        const float g = hoveredHandle == j + 1 ? 0.4f : 0.9f;
        glColor3f(g, g, g);
        vertices({p.x + 3, p.y + 7, p.x + 3, p.y + 13, p.x - 3, p.y + 13, p.x - 3, p.y + 7});
    }
    glEnd();
    glEnable(GL_BLEND);
    glPopMatrix();
}
