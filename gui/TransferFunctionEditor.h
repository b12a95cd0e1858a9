// The panel widget that edits the transfer function over the volume's
// histogram, and the table it keeps built from it.
//
// Editor coordinates: lx = x - editor.x, ly = y - editor.y; the area is
// lx 0..255 (the voxel value) by ly 0..142. A control point (px, py) is drawn
// at (px, py + 10): py is the height above the curve's base line, 0..128.
#pragma once
#include "gui/Widget.h"
#include "tf/TransferFunction.h"

#include <GL/gl.h>
#include <cstddef>
#include <vector>

// What a left drag moves: pointDrag + j moves control point j.
enum DragMode { noDrag = 0, lowBoundDrag = 1, highBoundDrag = 2, pointDrag = 3 };

// Fires its command when a drag on it begins or ends.
class TransferFunctionEditor : public Widget, public TransferFunction {
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
    // The volume's histogram, or a copy of counted where that is given.
    void loadHistogram(const Volume& volume, const int* counted = nullptr);
    // Rewrites every entry of table from the bounds and control points.
    void buildTable() { fillTable(table); }

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
    std::vector<int> histogram = std::vector<int>(256);
    int voxelCount = 0;
    int hoveredHandle = 0; // 0, or j + 1 for the handle under the pointer
    GLuint histogramList = 0;

  private:
    void compileHistogram();
    void setDragMode(int mode);
};
