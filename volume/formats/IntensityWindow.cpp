#include "volume/formats/IntensityWindow.h"

#include "volume/Volume.h"

#include <algorithm>
#include <cmath>

bool finiteRange(const std::vector<float>& values, double& min, double& max) {
    bool any = false;
    for (float v : values) {
        if (!std::isfinite(v)) continue;
        if (!any) min = max = v;
        min = std::min(min, double(v));
        max = std::max(max, double(v));
        any = true;
    }
    return any;
}

IntensityWindow defaultWindow(const Samples& samples) {
    if (samples.unsignedBytes) return IntensityWindow();
    std::vector<float> finite;
    finite.reserve(samples.values.size());
    for (float v : samples.values)
        if (std::isfinite(v)) finite.push_back(v);
    if (finite.empty()) return IntensityWindow();
    const size_t last = finite.size() - 1;
    const size_t lowRank = size_t(std::floor(0.005 * double(last)));
    const size_t highRank = size_t(std::ceil(0.995 * double(last)));
    IntensityWindow window;
    std::nth_element(finite.begin(), finite.begin() + lowRank, finite.end());
    window.low = finite[lowRank];
    std::nth_element(finite.begin() + lowRank, finite.begin() + highRank, finite.end());
    window.high = finite[highRank];
    if (!(window.high > window.low)) window.high = window.low + 1;
    return window;
}

std::vector<uint8_t> applyWindow(const std::vector<float>& values, const IntensityWindow& window) {
    std::vector<uint8_t> bytes(values.size());
    const double width = window.high - window.low;
    for (size_t i = 0; i < values.size(); ++i) {
        // Divided last, so that a sample halfway up the window rounds up exactly.
        const double v = std::round((double(values[i]) - window.low) * 255.0 / width);
        bytes[i] = std::isnan(v) ? 0 : uint8_t(std::clamp(v, 0.0, 255.0));
    }
    return bytes;
}

void reductionFactors(const int size[3], int maxSize, int factors[3]) {
    for (int axis = 0; axis < 3; ++axis)
        factors[axis] = std::max(1, (size[axis] + maxSize - 1) / maxSize);
}

Samples reduce(const Samples& samples, const int factors[3]) {
    Samples out;
    out.unsignedBytes = samples.unsignedBytes;
    const int* n = samples.size;
    for (int axis = 0; axis < 3; ++axis) {
        out.size[axis] = (n[axis] + factors[axis] - 1) / factors[axis];
        out.spacing[axis] = samples.spacing[axis] * factors[axis];
    }
    // Sums and counts per output sample, accumulated in one pass over the input.
    const size_t outCount = size_t(out.size[0]) * out.size[1] * out.size[2];
    std::vector<double> sums(outCount, 0.0);
    std::vector<uint32_t> counts(outCount, 0);
    const float* v = samples.values.data();
    for (int z = 0; z < n[2]; ++z)
        for (int y = 0; y < n[1]; ++y) {
            const size_t row = size_t(out.size[0]) *
                               (size_t(y / factors[1]) + size_t(out.size[1]) * (z / factors[2]));
            for (int x = 0; x < n[0]; ++x, ++v) {
                if (!std::isfinite(*v)) continue; // one NaN must not blank the block
                sums[row + size_t(x / factors[0])] += *v;
                ++counts[row + size_t(x / factors[0])];
            }
        }
    out.values.resize(outCount);
    for (size_t i = 0; i < outCount; ++i)
        out.values[i] = counts[i] ? float(sums[i] / counts[i]) : NAN;
    return out;
}

BoxGeometry boxGeometry(const int size[3], const double spacing[3]) {
    double largest = 0;
    for (int axis = 0; axis < 3; ++axis)
        largest = std::max(largest, size[axis] * spacing[axis]);
    BoxGeometry g;
    for (int axis = 0; axis < 3; ++axis) {
        const uint32_t n = uint32_t(size[axis]);
        const double padded = padToExtent(n);
        g.boxScale[axis] = float(n * spacing[axis] / largest);
        g.textureScale[axis] = float(largest / (2 * padded * spacing[axis]));
        g.textureCentre[axis] = float((centredOffset(n) + n / 2.0) / padded);
    }
    return g;
}
