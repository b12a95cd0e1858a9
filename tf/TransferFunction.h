// The transfer function: two colour bounds and a six-point opacity curve, the
// rules that keep them in order, and the 256-entry table made from them.
#pragma once
#include "volume/Volume.h"

struct ControlPoint {
    int x; // the voxel value, 0..255
    int y; // opacity height above the curve's base line, 0..128
};

// Height in pixels of the histogram bar of a bin holding `binCount` of
// `voxelCount` voxels: 250 at the mean count per bin, capped at 128.
int histogramBarHeight(int binCount, int voxelCount);

struct TransferFunction {
    int lowBound = 86;   // first green value; 0 means no blue
    int highBound = 170; // first red value; 256 means no red
    ControlPoint controlPoints[6] = {{0, 0},    {51, 25},   {102, 51},
                                     {153, 76}, {204, 102}, {255, 128}};

    // Bounds and points back to their initial values.
    void resetCurve();
    // Moves by dx, held between 0 and the high bound.
    void moveLowBound(int dx);
    // Moves by dx, held between the low bound and 256; 255 counts as 256.
    void moveHighBound(int dx);
    // Moves point j by (dx, dy): the inner ones stay between their
    // neighbours, the end ones move only vertically; y stays within 0..128.
    void movePoint(int j, int dx, int dy);
    // Every entry of table from the bounds and control points.
    void fillTable(TransferTable table) const;
};

// Slices whose spacing the table's opacities are meant for.
const int referenceSliceCount = 80;

// Corrects the table's alpha for the spacing of sliceCount slices, so that
// "over" shows the same opacity at any slice count. A slice's opacity is
// intensity x table alpha: that product a becomes 1 - (1 - a)^(80 / sliceCount),
// and the table keeps it divided by the intensity again (held at 255 where the
// intensity is too low for it, which needs fewer than 80 slices).
void correctOpacity(TransferTable table, float intensity, int sliceCount);
