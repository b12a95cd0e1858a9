// From samples to the viewer's one-byte voxels: the window, the reduction of
// volumes too large for a texture, and where the box sits in the padded block.
#pragma once
#include "volume/formats/Samples.h"

// Samples in [low, high] map linearly onto 0..255; outside it they clamp.
struct IntensityWindow {
    double low = 0, high = 255;
};

// The finite samples' extremes; false when there is no finite sample.
bool finiteRange(const std::vector<float>& values, double& min, double& max);

// The 0.5th and 99.5th percentiles of the finite samples (the ranks below and
// above the exact fractions); one-byte unsigned samples get 0..255. A window
// that would be empty is widened to [low, low + 1].
IntensityWindow defaultWindow(const Samples& samples);

// One byte per sample; NaN becomes 0.
std::vector<uint8_t> applyWindow(const std::vector<float>& values, const IntensityWindow& window);

// Smallest whole factor per axis that brings each size to at most maxSize.
void reductionFactors(const int size[3], int maxSize, int factors[3]);

// Averages the finite samples of blocks of factors[0] x factors[1] x
// factors[2] (the last block on an axis may be partial; a block without one
// is NaN); spacing grows by the factors.
Samples reduce(const Samples& samples, const int factors[3]);

// How the data's box is drawn: the outline box's half-sizes (the longest
// physical axis is 1), and the texture scale and centre that map that box onto
// the data inside its padded block.
struct BoxGeometry {
    float boxScale[3], textureScale[3], textureCentre[3];
};
BoxGeometry boxGeometry(const int size[3], const double spacing[3]);
