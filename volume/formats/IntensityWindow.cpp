#include "volume/formats/IntensityWindow.h"

#include "platform/Workers.h"
#include "volume/Volume.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

// A sample's value as the viewer sees it: in float, scaled where the file says.
struct Scale {
    double slope, intercept;
    bool on;
    explicit Scale(const Samples& s) : slope(s.slope), intercept(s.intercept), on(s.scaled()) {}
    template <typename T> float operator()(T raw) const {
        const float v = float(raw);
        return on ? float(slope * v + intercept) : v;
    }
};

template <typename T> bool finite(T v) {
    if constexpr (std::is_floating_point<T>::value) return std::isfinite(v);
    return true;
}

// An unsigned key in the samples' order: sign bit flipped for signed integers,
// all bits of negative floats flipped.
template <typename T> using Key = std::conditional_t<sizeof(T) <= 4, uint32_t, uint64_t>;
template <typename T> Key<T> orderKey(T v) {
    constexpr int bits = 8 * sizeof(T);
    if constexpr (std::is_floating_point<T>::value) {
        Key<T> k;
        std::memcpy(&k, &v, sizeof v);
        return k >> (bits - 1) ? ~k : k | Key<T>(1) << (bits - 1);
    } else if constexpr (std::is_signed<T>::value) {
        return Key<T>(std::make_unsigned_t<T>(v)) ^ Key<T>(1) << (bits - 1);
    } else {
        return Key<T>(v);
    }
}
template <typename T> T fromKey(Key<T> k) {
    constexpr int bits = 8 * sizeof(T);
    T v;
    if constexpr (std::is_floating_point<T>::value) {
        k = k >> (bits - 1) ? k & ~(Key<T>(1) << (bits - 1)) : ~k;
        std::memcpy(&v, &k, sizeof v);
    } else if constexpr (std::is_signed<T>::value) {
        v = T(std::make_unsigned_t<T>(k ^ Key<T>(1) << (bits - 1)));
    } else {
        v = T(k);
    }
    return v;
}

// Stretches of samples for the two threads.
constexpr size_t chunk = size_t(1) << 20;
size_t chunks(size_t n) {
    return (n + chunk - 1) / chunk;
}

// The bin that holds the sample of the given rank, the rank left within it.
size_t binAt(const uint64_t* counts, const uint64_t* more, size_t bins, uint64_t& rank) {
    size_t bin = 0;
    for (; bin + 1 < bins && rank >= counts[bin] + more[bin]; ++bin)
        rank -= counts[bin] + more[bin];
    return bin;
}

// The samples with the given ranks (ascending, among the finite ones), by
// digits of 16 bits (8 for bytes) from the top: a count per digit value among
// the samples that agree with the rank's digits found so far.
template <typename T> void selectRanks(const T* p, size_t n, const uint64_t rank[2], T out[2]) {
    constexpr int bits = 8 * sizeof(T), digit = bits == 8 ? 8 : 16, bins = 1 << digit;
    Key<T> prefix[2] = {0, 0};
    uint64_t left[2] = {rank[0], rank[1]};
    std::vector<uint64_t> counts(size_t(4) * bins); // [worker][target][bin]
    for (int shift = bits - digit; shift >= 0; shift -= digit) {
        std::fill(counts.begin(), counts.end(), 0);
        const int above = shift + digit; // the digits already found
        const bool same = prefix[0] == prefix[1];
        const auto matches = [&](Key<T> k, int t) {
            return above >= bits || (k >> (above % bits)) == (prefix[t] >> (above % bits));
        };
        shareWork(chunks(n), n > chunk, [&](int worker, size_t item) {
            uint64_t* c = counts.data() + size_t(worker) * 2 * bins;
            const size_t end = std::min(n, (item + 1) * chunk);
            for (size_t i = item * chunk; i < end; ++i) {
                if (!finite(p[i])) continue;
                const Key<T> k = orderKey(p[i]);
                const size_t bin = size_t(k >> shift) & (bins - 1);
                if (matches(k, 0)) ++c[bin];
                if (!same && matches(k, 1)) ++c[bins + bin];
            }
        });
        for (int t = 0; t < 2; ++t) {
            const uint64_t* c = counts.data() + (same ? 0 : size_t(t) * bins);
            prefix[t] |= Key<T>(binAt(c, c + 2 * bins, bins, left[t])) << shift;
        }
    }
    out[0] = fromKey<T>(prefix[0]), out[1] = fromKey<T>(prefix[1]);
}

// The ranks, among the samples in their own order, of the 0.5th and 99.5th
// percentiles of count finite values: a negative slope turns the order round.
void percentileRanks(const Samples& s, uint64_t count, uint64_t ranks[2]) {
    const uint64_t last = count - 1;
    const uint64_t lowRank = uint64_t(std::floor(0.005 * double(last)));
    const uint64_t highRank = uint64_t(std::ceil(0.995 * double(last)));
    const bool down = s.slope < 0;
    ranks[0] = down ? last - lowRank : lowRank, ranks[1] = down ? last - highRank : highRank;
}

// The range and window from the extreme samples and those at the ranks.
template <typename T> SampleRange described(const Samples& s, T low, T high, const T at[2]) {
    const Scale scale(s);
    SampleRange r;
    const double a = scale(low), b = scale(high);
    r.any = true, r.min = std::min(a, b), r.max = std::max(a, b);
    r.percentiles = {scale(at[0]), scale(at[1])};
    if (!(r.percentiles.high > r.percentiles.low)) r.percentiles.high = r.percentiles.low + 1;
    return r;
}

// Samples of one or two bytes: one count per value gives the range and the
// ranks in one pass. Two tables a thread, taking samples in turn, so that runs
// of one value (air, in a scan) do not wait on their own last increment.
template <typename T> SampleRange fromHistogram(const Samples& s, const T* p) {
    using Index = std::make_unsigned_t<T>;
    constexpr size_t bins = size_t(1) << 8 * sizeof(T);
    const size_t n = s.count();
    std::vector<uint64_t> counts(4 * bins);
    shareWork(chunks(n), n > chunk, [&](int worker, size_t item) {
        uint64_t* a = counts.data() + size_t(worker) * 2 * bins;
        uint64_t* b = a + bins;
        const size_t end = std::min(n, (item + 1) * chunk);
        size_t i = item * chunk;
        for (; i + 1 < end; i += 2)
            ++a[Index(p[i])], ++b[Index(p[i + 1])];
        if (i < end) ++a[Index(p[i])];
    });
    for (size_t k = 0; k < bins; ++k)
        counts[k] += counts[bins + k] + counts[2 * bins + k] + counts[3 * bins + k];
    // Keys in the samples' order: signed samples start at the sign bit.
    const size_t first = std::is_signed<T>::value ? bins / 2 : 0;
    const auto valueAt = [&](size_t key) { return T(Index((key + first) % bins)); };
    std::vector<uint64_t> ordered(bins), none(bins, 0);
    for (size_t k = 0; k < bins; ++k)
        ordered[k] = counts[(k + first) % bins];
    uint64_t rank = 0;
    const size_t low = binAt(ordered.data(), none.data(), bins, rank);
    size_t high = bins - 1;
    while (high > low && ordered[high] == 0)
        --high;
    uint64_t ranks[2];
    percentileRanks(s, n, ranks);
    const T at[2] = {valueAt(binAt(ordered.data(), none.data(), bins, ranks[0])),
                     valueAt(binAt(ordered.data(), none.data(), bins, ranks[1]))};
    return described(s, valueAt(low), valueAt(high), at);
}

template <typename T> SampleRange describe(const Samples& s, const T* p, bool percentiles) {
    const size_t n = s.count();
    if constexpr (sizeof(T) <= 2 && std::is_integral<T>::value)
        if (percentiles && n > 0) return fromHistogram(s, p);
    T low[2], high[2];
    uint64_t finiteCount[2] = {0, 0};
    shareWork(chunks(n), n > chunk, [&](int worker, size_t item) {
        const size_t end = std::min(n, (item + 1) * chunk);
        T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::lowest();
        uint64_t count = 0;
        for (size_t i = item * chunk; i < end; ++i)
            if (finite(p[i])) lo = std::min(lo, p[i]), hi = std::max(hi, p[i]), ++count;
        if (count == 0) return;
        if (finiteCount[worker] == 0) low[worker] = lo, high[worker] = hi;
        low[worker] = std::min(low[worker], lo), high[worker] = std::max(high[worker], hi);
        finiteCount[worker] += count;
    });
    const uint64_t total = finiteCount[0] + finiteCount[1];
    if (total == 0) return SampleRange();
    const int w = finiteCount[0] ? 0 : 1, v = finiteCount[1] ? 1 : 0;
    uint64_t ranks[2];
    percentileRanks(s, total, ranks);
    T at[2] = {0, 0};
    if (percentiles) selectRanks(p, n, ranks, at);
    SampleRange r = described(s, std::min(low[w], low[v]), std::max(high[w], high[v]), at);
    if (!percentiles) r.percentiles = IntensityWindow();
    return r;
}

// Divided last, so that a value halfway up the window rounds up exactly;
// rounded by hand, as std::round is a call.
inline uint8_t windowed(double value, const IntensityWindow& w) {
    const double v = (value - w.low) * 255.0 / (w.high - w.low);
    return v >= 254.5 ? 255 : v > 0 ? uint8_t(v + 0.5) : 0; // NaN fails both
}

// The same for many values: a product first, the division only where the
// product lies too close to a rounding step for its last bit to be trusted.
struct Windower {
    IntensityWindow w;
    double perUnit = 255.0 / (w.high - w.low);
    uint8_t operator()(double value) const {
        const double v = (value - w.low) * perUnit + 0.5;
        const double step = v - double(int64_t(v));
        if (!(v > 1e-6 && v < 255.499999) || step < 1e-6 || step > 1 - 1e-6)
            return windowed(value, w);
        return uint8_t(v);
    }
};

// Samples of one or two bytes go through a table of every sample's voxel.
template <typename T> struct ByteTable {
    static constexpr bool used = sizeof(T) <= 2 && std::is_integral<T>::value;
    std::vector<uint8_t> table;
    ByteTable(const Scale& scale, const IntensityWindow& w) {
        if constexpr (used) {
            table.resize(size_t(1) << 8 * sizeof(T));
            for (size_t k = 0; k < table.size(); ++k)
                table[k] = windowed(scale(T(std::make_unsigned_t<T>(k))), w);
        }
    }
};

template <typename T>
void windowWhole(const Samples& s, const T* p, const IntensityWindow& w, uint8_t* out,
                 const Placement& place) {
    const Scale scale(s);
    const ByteTable<T> bytes(scale, w);
    // Locals, so that the byte stores need not reload them.
    const int n0 = s.size[0], n1 = s.size[1];
    const int64_t step = place.step[0];
    const uint8_t* table = bytes.table.data();
    shareWork(size_t(s.size[2]), s.count() > chunk, [&](int, size_t z) {
        for (int y = 0; y < n1; ++y) {
            const T* in = p + size_t(n0) * (size_t(y) + size_t(n1) * z);
            uint8_t* row = out + place.offset + int64_t(z) * place.step[2] + y * place.step[1];
            if constexpr (ByteTable<T>::used) {
                if (step == 1)
                    for (int x = 0; x < n0; ++x)
                        row[x] = table[std::make_unsigned_t<T>(in[x])];
                else
                    for (int x = 0; x < n0; ++x)
                        row[x * step] = table[std::make_unsigned_t<T>(in[x])];
            } else {
                for (int x = 0; x < n0; ++x)
                    row[x * step] = windowed(scale(in[x]), w);
            }
        }
    });
}

// Sums of a slab of blocks, one output slice, with the counts of finite
// values where the samples can hold others.
struct BlockSums {
    std::vector<double> sums;
    std::vector<uint32_t> counts;
};

template <typename T>
void windowReduced(const Samples& s, const T* p, const IntensityWindow& w, const int f[3],
                   uint8_t* out, const Placement& place) {
    const Scale scale(s);
    const Windower window{w};
    const int* n = s.size;
    int m[3];
    double spacing[3] = {1, 1, 1};
    std::copy(n, n + 3, m);
    reducedShape(f, m, spacing);
    std::vector<int> column(static_cast<size_t>(n[0])); // each sample's output column
    for (int x = 0; x < n[0]; ++x)
        column[size_t(x)] = x / f[0];
    constexpr bool allFinite = std::is_integral<T>::value;
    BlockSums perWorker[2];
    const size_t slice = size_t(m[0]) * size_t(m[1]);
    shareWork(size_t(m[2]), true, [&](int worker, size_t zo) {
        BlockSums& b = perWorker[worker];
        b.sums.assign(slice, 0.0);
        if (!allFinite) b.counts.assign(slice, 0);
        const int z0 = int(zo) * f[2], z1 = std::min(n[2], z0 + f[2]);
        for (int z = z0; z < z1; ++z)
            for (int y = 0; y < n[1]; ++y) {
                const T* in = p + size_t(n[0]) * (size_t(y) + size_t(n[1]) * size_t(z));
                double* sum = b.sums.data() + size_t(m[0]) * size_t(y / f[1]);
                if constexpr (allFinite) {
                    // Integers add up exactly; the scale goes on the mean.
                    int x = 0;
                    if (f[0] == 1) // eight at a time, which the compiler turns into vector adds
                        for (; x + 8 <= n[0]; x += 8)
                            for (int k = 0; k < 8; ++k)
                                sum[x + k] += double(in[x + k]);
                    for (; x < n[0]; ++x)
                        sum[column[size_t(x)]] += double(in[x]);
                } else {
                    uint32_t* count = b.counts.data() + (sum - b.sums.data());
                    for (int x = 0; x < n[0]; ++x) {
                        if (!finite(in[x])) continue; // one NaN must not blank its block
                        sum[column[size_t(x)]] += double(scale(in[x]));
                        ++count[column[size_t(x)]];
                    }
                }
            }
        for (int yo = 0; yo < m[1]; ++yo) {
            uint8_t* row = out + place.offset + int64_t(zo) * place.step[2] + yo * place.step[1];
            const int rows = std::min(n[1], (yo + 1) * f[1]) - yo * f[1];
            for (int xo = 0; xo < m[0]; ++xo) {
                const size_t i = size_t(m[0]) * size_t(yo) + size_t(xo);
                const uint32_t count =
                    allFinite
                        ? uint32_t((std::min(n[0], (xo + 1) * f[0]) - xo * f[0]) * rows * (z1 - z0))
                        : b.counts[i];
                const double mean = b.sums[i] / count;
                row[xo * place.step[0]] = !count      ? uint8_t(0)
                                          : allFinite ? window(scale(mean))
                                                      : window(float(mean));
            }
        }
    });
}

} // namespace

SampleRange sampleRange(const Samples& samples, bool percentiles) {
    return visitSamples(samples, [&](auto p) { return describe(samples, p, percentiles); });
}

IntensityWindow defaultWindow(const Samples& samples) {
    if (samples.unsignedBytes) return IntensityWindow();
    const SampleRange r = sampleRange(samples, true);
    return r.any ? r.percentiles : IntensityWindow();
}

void reducedShape(const int factors[3], int size[3], double spacing[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        size[axis] = (size[axis] + factors[axis] - 1) / factors[axis];
        spacing[axis] *= factors[axis];
    }
}

void windowVoxels(const Samples& samples, const IntensityWindow& window, const int factors[3],
                  uint8_t* out, const Placement& place) {
    const bool whole = factors[0] == 1 && factors[1] == 1 && factors[2] == 1;
    visitSamples(samples, [&](auto p) {
        if (whole)
            windowWhole(samples, p, window, out, place);
        else
            windowReduced(samples, p, window, factors, out, place);
    });
}

bool placeVoxels(const Samples& samples, const IntensityWindow& window, const int factors[3],
                 const Reorientation& r, Volume& volume, int size[3], double spacing[3]) {
    int reduced[3] = {samples.size[0], samples.size[1], samples.size[2]};
    double d[3] = {samples.spacing[0], samples.spacing[1], samples.spacing[2]};
    reducedShape(factors, reduced, d);
    for (int a = 0; a < 3; ++a)
        size[a] = reduced[r.from[a]], spacing[a] = d[r.from[a]];
    uint8_t* block = volume.allocateVoxels(size[0], size[1], size[2]);
    if (!block) return false;
    const int64_t stride[3] = {1, volume.width(), int64_t(volume.width()) * volume.height()};
    Placement place = placement(r, reduced, stride);
    for (int a = 0; a < 3; ++a)
        place.offset += stride[a] * centredOffset(uint32_t(size[a]));
    windowVoxels(samples, window, factors, block, place);
    return true;
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
