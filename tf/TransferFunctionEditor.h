// The transfer function (two colour bounds and a six-point opacity curve),
// the 256-entry table made from it, the volume's histogram, and the panel
// widget that edits them over that histogram.
//
// Editor coordinates: lx = x - editor.x, ly = y - editor.y; the area is
// lx 0..255 (the voxel value) by ly 0..142. A control point (px, py) is drawn
// at (px, py + 10): py is the height above the curve's base line, 0..128.
#pragma once
#include "gui/Widget.h"
#include "volume/Volume.h"

#include <GL/gl.h>
#include <cstddef>
#include <vector>

struct ControlPoint {
    int x;
    int y;
};

// Height in pixels of the histogram bar of a bin holding `binCount` of
// `voxelCount` voxels: 250 at the mean count per bin, capped at 128.
int histogramBarHeight(int binCount, int voxelCount);

// What a left drag moves: pointDrag + j moves control point j.
enum DragMode { noDrag = 0, lowBoundDrag = 1, highBoundDrag = 2, pointDrag = 3 };

class TransferFunctionEditor : public Widget {
  public:
    // Needs a loaded volume and a current GL context (the histogram list).
    // counted: the volume's 256 counts where start-up has them already.
    TransferFunctionEditor(int id, const Volume& volume, const int* counted = nullptr);
    ~TransferFunctionEditor() override;
    TransferFunctionEditor(const TransferFunctionEditor&) = delete;
    TransferFunctionEditor& operator=(const TransferFunctionEditor&) = delete;

    // Initial bounds and points, histogram counted again (or taken from
    // counted) and compiled into a new display list (the old one is deleted).
    // Leaves table, dragMode and hoveredHandle alone.
    void reset(const Volume& volume, const int* counted = nullptr);
    // Bounds and points back to their initial values.
    void resetCurve();
    // The volume's histogram, or a copy of counted where that is given.
    void countHistogram(const Volume& volume, const int* counted = nullptr);
    // Rewrites every entry of table from the bounds and control points.
    void buildTable();

    // lowBoundDrag in the low bound's grab zone, highBoundDrag in the high
    // bound's, else noDrag.
    int regionAt(int lx, int ly) const;
    // j + 1 when (lx, ly) is strictly inside control point j's handle (the
    // later point wins), else 0.
    int handleAt(int lx, int ly) const;

    void onMouse(int button, int state, int x, int y) override;
    void endDrag();
    void onMotion(int button, int prevX, int prevY, int x, int y) override;
    void onPassiveMotion(int x, int y) override;
    void draw() override;

    static constexpr int width = 256;  // lx 0..255
    static constexpr int height = 143; // ly 0..142

    TransferTable table = {};
    int dragMode = noDrag; // a DragMode, or pointDrag + j
    int lowBound = 86;     // first green value; 0 means no blue
    int highBound = 170;   // first red value; 256 means no red
    std::vector<int> histogram = std::vector<int>(256);
    int voxelCount = 0;
    ControlPoint controlPoints[6] = {};
    int hoveredHandle = 0; // 0, or j + 1 for the handle under the pointer
    GLuint histogramList = 0;

  private:
    void compileHistogram();
};
