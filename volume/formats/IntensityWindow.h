// From samples to the viewer's one-byte voxels: the window, the reduction of
// volumes too large for a texture, and where the box sits in the padded block.
#pragma once
#include "volume/formats/Orientation.h"
#include "volume/formats/Samples.h"

// Samples in [low, high] map linearly onto 0..255; outside it they clamp.
struct IntensityWindow {
    double low = 0, high = 255;
};

// The finite values' extremes (scaled) and, where asked for, their 0.5th and
// 99.5th percentiles (the ranks below and above the exact fractions), found
// exactly by counting digits of the samples rather than by sorting a copy.
struct SampleRange {
    bool any = false; // false when there is no finite sample
    double min = 0, max = 0;
    IntensityWindow percentiles; // widened to [low, low + 1] when it would be empty
};
SampleRange sampleRange(const Samples& samples, bool percentiles);

// The percentile window; one-byte unsigned samples get 0..255.
IntensityWindow defaultWindow(const Samples& samples);

// One pass from the samples to one-byte voxels at `out` as `place` lays them
// out (indices of the reduced volume in the file's axes): each value windowed
// (NaN becomes 0), or with factors above 1 the mean of the finite values of
// each block of factors[0] x factors[1] x factors[2] samples windowed (the
// last block on an axis may be partial; one without a finite value is 0).
void windowVoxels(const Samples& samples, const IntensityWindow& window, const int factors[3],
                  uint8_t* out, const Placement& place);

// The sizes after reduction by the factors; spacing grows by them.
void reducedShape(const int factors[3], int size[3], double spacing[3]);

class Volume;
// The samples windowed into the volume's padded block, reduced by the factors
// and turned as r says; size and spacing become the voxels'. False without
// memory for the block.
bool placeVoxels(const Samples& samples, const IntensityWindow& window, const int factors[3],
                 const Reorientation& r, Volume& volume, int size[3], double spacing[3]);

// How the data's box is drawn: the outline box's half-sizes (the longest
// physical axis is 1), and the texture scale and centre that map that box onto
// the data inside its padded block.
struct BoxGeometry {
    float boxScale[3], textureScale[3], textureCentre[3];
};
BoxGeometry boxGeometry(const int size[3], const double spacing[3]);
