// The fast paths against plain per-voxel versions of the same rules, on
// random data and awkward sizes: chunked loading and the multi-table
// histogram must give exactly what the simple loops give. (The row-wise
// staging fills are checked texel by texel in VolumeTextureTest.)
#include "TempFile.h"
#include "tf/TransferFunctionEditor.h"
#include "volume/Volume.h"

#include <gtest/gtest.h>
#include <random>

namespace {

std::vector<uint8_t> randomBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes)
        b = uint8_t(random());
    return bytes;
}

// The loader's rules one sample at a time: x fastest over the padded block,
// reading only inside the given extent; missing samples of a short file stay 0.
std::vector<uint8_t> plainLoad(const std::vector<uint8_t>& file, int w, int h, int d,
                               bool eightBit) {
    const int pw = int(padToPowerOfTwo(w)), ph = int(padToPowerOfTwo(h)),
              pd = int(padToPowerOfTwo(d));
    std::vector<uint8_t> voxels(size_t(pw) * ph * pd, 0);
    const size_t sampleBytes = eightBit ? 1 : 2;
    size_t at = 0;
    for (int z = 0; z < pd; ++z)
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x) {
                if (x >= w || y >= h || z >= d) continue;
                if (at + sampleBytes <= file.size())
                    voxels[x + size_t(pw) * (y + size_t(ph) * z)] = file[at + sampleBytes - 1];
                at += sampleBytes;
            }
    return voxels;
}

void expectLoadsLikePlainReader(int w, int h, int d, bool eightBit, double fileFraction = 1) {
    const size_t full = size_t(w) * h * d * (eightBit ? 1 : 2);
    const std::vector<uint8_t> bytes =
        randomBytes(size_t(full * fileFraction), uint32_t(w * h + d));
    TempFile file(bytes);
    Volume volume;
    ASSERT_EQ(volume.load(file.c_str(), w, h, d, eightBit), LoadStatus::ok);
    const std::vector<uint8_t> expected = plainLoad(bytes, w, h, d, eightBit);
    ASSERT_EQ(volume.voxelCount(), expected.size());
    EXPECT_EQ(std::vector<uint8_t>(volume.voxels(), volume.voxels() + expected.size()), expected)
        << w << "x" << h << "x" << d << (eightBit ? " 8-bit" : " 16-bit");
}

TEST(LoaderFastPath, MatchesThePlainReaderForEveryShapeOfRun) {
    for (bool eightBit : {true, false}) {
        expectLoadsLikePlainReader(5, 3, 7, eightBit);      // odd: row by row
        expectLoadsLikePlainReader(2, 9, 3, eightBit);      // width 2
        expectLoadsLikePlainReader(16, 5, 3, eightBit);     // whole rows: slice runs
        expectLoadsLikePlainReader(16, 16, 9, eightBit);    // whole slices: one run
        expectLoadsLikePlainReader(128, 128, 65, eightBit); // a run over several chunks
    }
}

TEST(LoaderFastPath, ShortFilesMatchThePlainReader) {
    for (bool eightBit : {true, false}) {
        expectLoadsLikePlainReader(5, 3, 7, eightBit, 0.5);
        expectLoadsLikePlainReader(128, 128, 65, eightBit, 0.6); // ends inside a chunk
    }
    expectLoadsLikePlainReader(16, 16, 9, false, 0.3); // half a sample at the end
}

TEST(HistogramFastPath, MatchesOneIncrementPerVoxel) {
    const std::vector<uint8_t> random = randomBytes((1 << 20) + 21, 99);
    std::vector<uint8_t> runs(4099, 255); // one value only: a single bin takes every count
    for (size_t i = 1000; i < 1003; ++i)
        runs[i] = 0;
    // Every length up to two words, from every alignment, then long inputs.
    std::vector<std::pair<const uint8_t*, size_t>> inputs;
    for (size_t offset = 0; offset < 8; ++offset)
        for (size_t count = 0; count <= 17; ++count)
            inputs.push_back({random.data() + offset, count});
    inputs.push_back({random.data() + 3, random.size() - 3});
    inputs.push_back({runs.data(), runs.size()});
    for (size_t n = 0; n < inputs.size(); ++n) {
        const auto& input = inputs[n];
        int expected[256], counted[256];
        for (int v = 0; v < 256; ++v)
            expected[v] = counted[v] = v; // counts add on
        for (size_t i = 0; i < input.second; ++i)
            ++expected[input.first[i]];
        countHistogram(input.first, input.second, counted);
        EXPECT_TRUE(std::equal(expected, expected + 256, counted))
            << "input " << n << ": " << input.second << " voxels";
    }
}

} // namespace
