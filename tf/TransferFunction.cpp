// Transfer function: bounds and points kept in order, and the table.
#include "tf/TransferFunction.h"

#include <algorithm>
#include <cmath>

int histogramBarHeight(int binCount, int voxelCount) {
    if (voxelCount == 0) return 0; // an empty volume has no bars
    const double meanPerBin = voxelCount * 0.00390625;
    const int h = int(binCount / meanPerBin * 250);
    return h > 128 ? 128 : h;
}

void TransferFunction::resetCurve() {
    *this = TransferFunction();
}

void TransferFunction::moveLowBound(int dx) {
    lowBound += dx;
    if (lowBound < 0) lowBound = 0;
    if (lowBound > highBound) lowBound = highBound;
}

void TransferFunction::moveHighBound(int dx) {
    highBound += dx;
    if (highBound >= 255) highBound = 256; // 256: no value is red
    if (highBound < lowBound) highBound = lowBound;
}

void TransferFunction::movePoint(int j, int dx, int dy) {
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

// The rounding steps are deliberate: a single-precision slope, the ceiling of
// the intercept and truncation of the sum each move single entries by one
// against exact arithmetic, and the tables must come out the same.
void TransferFunction::fillTable(TransferTable table) const {
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

void correctOpacity(TransferTable table, float intensity, int sliceCount) {
    if (!(intensity > 0) || sliceCount <= 0) return;
    const double exponent = double(referenceSliceCount) / sliceCount;
    for (int i = 0; i < 256; ++i) {
        const double a = intensity * (table[i][3] / 255.0);
        const double corrected = (1.0 - std::pow(1.0 - a, exponent)) / intensity;
        table[i][3] = uint8_t(std::lround(std::min(corrected, 1.0) * 255.0));
    }
}
