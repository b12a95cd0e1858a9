// Transfer-function editor: model and table, histogram list, hit tests,
// drags, then drawing. Only compileHistogram and draw call GL.
#include "tf/TransferFunctionEditor.h"

#include "volume/Bricks.h"

#include <cmath>
#include <initializer_list>

namespace {

// glVertex2i for each (x, y) pair of a flat list.
void vertices(std::initializer_list<int> xy) {
    for (const int* v = xy.begin(); v != xy.end(); v += 2)
        glVertex2i(v[0], v[1]);
}

} // namespace

int histogramBarHeight(int binCount, int voxelCount) {
    if (voxelCount == 0) return 0; // an empty volume has no bars
    const double meanPerBin = voxelCount * 0.00390625;
    const int h = int(binCount / meanPerBin * 250);
    return h > 128 ? 128 : h;
}

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
    countHistogram(volume, counted);
    compileHistogram();
}

void TransferFunctionEditor::resetCurve() {
    lowBound = 86;
    highBound = 170;
    for (int j = 0; j < 6; ++j)
        controlPoints[j] = {j * 51, int(j * 25.6f)};
}

void TransferFunctionEditor::countHistogram(const Volume& volume, const int* counted) {
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

// The rounding steps are deliberate: a single-precision slope, the ceiling of
// the intercept and truncation of the sum each move single entries by one
// against exact arithmetic, and the tables must come out the same.
void TransferFunctionEditor::buildTable() {
    float slope[6] = {}, intercept[6] = {};
    for (int k = 1; k <= 5; ++k) {
        const ControlPoint p0 = controlPoints[k - 1], p1 = controlPoints[k];
        if (p1.x == p0.x) continue; // only ever picked for entry 0, which gets 0
        const double m = double(2 * p1.y - 2 * p0.y) / (p1.x - p0.x);
        slope[k] = float(m);
        intercept[k] = float(std::ceil(2.0 * p1.y - m * p1.x));
    }
    for (int i = 0; i < 256; ++i) {
        uint8_t* entry = table[i];
        entry[0] = i >= highBound ? 255 : 0;
        entry[1] = i >= lowBound && i < highBound ? 255 : 0;
        entry[2] = i < lowBound ? 255 : 0;

        int k = 1;
        while (k < 5 && i > controlPoints[k].x)
            ++k;
        if (controlPoints[k].x == controlPoints[k - 1].x) {
            entry[3] = 0;
            continue;
        }
        const double product = double(i) * double(slope[k]);
        const double v = product + double(intercept[k]);
        const double alpha = std::trunc(v);
        entry[3] = uint8_t(alpha > 255 ? 255 : alpha < 0 ? 0 : alpha);
    }
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

void TransferFunctionEditor::endDrag() {
    dragMode = noDrag;
}

void TransferFunctionEditor::onMouse(int button, int state, int px, int py) {
    if (button != 0 || state != 0) {
        endDrag(); // whatever is visible: a release always ends a drag
        return;
    }
    if (!visible) return;
    const int lx = px - x, ly = py - y;
    dragMode = regionAt(lx, ly);
    if (const int handle = handleAt(lx, ly))
        dragMode = pointDrag + handle - 1; // a handle beats a band
}

// Drags are relative: a value held at a limit follows the pointer back only
// once the pointer has come back.
void TransferFunctionEditor::onMotion(int, int prevX, int prevY, int px, int py) {
    if (!visible) return;
    const int dx = px - prevX, dy = py - prevY;
    if (dragMode == lowBoundDrag) {
        lowBound += dx;
        if (lowBound < 0) lowBound = 0;
        if (lowBound > highBound) lowBound = highBound;
    } else if (dragMode == highBoundDrag) {
        highBound += dx;
        if (highBound >= 255) highBound = 256; // 256: no value is red
        if (highBound < lowBound) highBound = lowBound;
    } else if (dragMode >= pointDrag && dragMode < pointDrag + 6) {
        const int j = dragMode - pointDrag;
        ControlPoint& p = controlPoints[j];
        if (j >= 1 && j <= 4) {
            p.x += dx;
            if (p.x < controlPoints[j - 1].x) p.x = controlPoints[j - 1].x;
            if (p.x > controlPoints[j + 1].x) p.x = controlPoints[j + 1].x;
        }
        p.y += dy;
        if (p.y < 0) p.y = 0;
        if (p.y > 128) p.y = 128;
    }
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
