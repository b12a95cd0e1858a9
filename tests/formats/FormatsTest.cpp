// Every format's reader, and samples to voxels: window, reduction, placement, geometry.
#include "FormatFiles.h"
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/IntensityWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>

// Sizes, spacing (0: not kept by the format), samples ramp(i + first), notes.
static void expectRamp(const ImageRead& r, const std::vector<int>& size,
                       const std::vector<double>& spacing, const std::string& label,
                       size_t first = 0, const std::vector<std::string>& notes = {}) {
    ASSERT_EQ(r.error, "") << label;
    EXPECT_EQ(std::vector<int>(r.samples.size, r.samples.size + 3), size) << label;
    std::vector<float> expected(size_t{1} * size[0] * size[1] * size[2]);
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = ramp(i + first);
    EXPECT_TRUE(r.samples.asFloats() == expected) << label;
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(spacing[a] ? r.samples.spacing[a] : 0, spacing[a], 1e-6) << label << a;
    EXPECT_FALSE(r.samples.unsignedBytes) << label;
    EXPECT_EQ(r.notes, notes) << label;
}

// Every writer's format, Analyze 7.5 (no ITK writer: a 348-byte header and .img),
// a DICOM folder of two series, and the first and last volume of a 4D series.
TEST(FormatReading, EveryReaderGivesBackSamplesSpacingAndNotes) {
    TempDir dir;
    auto image = makeImage<short, 3>({5, 4, 3}, {0.5, 1.25, 2.0}, ramp);
    char header[348] = {};
    const int32_t headerSize = 348;
    const int16_t dims[8] = {3, 5, 4, 3, 1, 1, 1, 1}, datatypeAndBits[2] = {4 /* int16 */, 16};
    const float pixdim[8] = {0, 0.5f, 1.25f, 2.0f, 0, 0, 0, 0};
    std::memcpy(header, &headerSize, 4);
    header[38] = 'r'; // regular
    std::memcpy(header + 40, dims, sizeof dims);
    std::memcpy(header + 70, datatypeAndBits, sizeof datatypeAndBits);
    std::memcpy(header + 76, pixdim, sizeof pixdim);
    std::ofstream(dir / "a.hdr", std::ios::binary).write(header, sizeof header);
    std::ofstream(dir / "a.img", std::ios::binary)
        .write(reinterpret_cast<const char*>(image->GetBufferPointer()), 120);
    for (const char* name :
         {"a.nii", "a.nii.gz", "a.nrrd", "a.nhdr", "a.mha", "a.mhd", "a.vtk", "a.tif", "a.hdr"}) {
        if (name != std::string("a.hdr")) writeImage(image.GetPointer(), dir / name);
        const bool tiff = name == std::string("a.tif"); // keeps no z spacing
        expectRamp(readImage(dir / name, -1), {5, 4, 3}, {0.5, 1.25, tiff ? 0 : 2.0}, name);
    }

    const std::string longer = "1.2.826.0.1.3680043.2.1125.7";
    writeDicomSeries(dir / "scan", "1.2.826.0.1.3680043.2.1125.8", 2, 1.0, ramp);
    writeDicomSeries(dir / "scan", longer, 3, 2.5, ramp);
    expectRamp(readImage(dir / "scan", -1), {4, 3, 3}, {0.5, 0.75, 2.5}, "dicom", 0,
               {dir / "scan" + " holds 2 DICOM series; showing " + longer +
                " (3 slices), the one with the most slices"});

    writeImage(makeImage<short, 4>({3, 2, 2, 3}, {1, 1, 1, 2}, ramp).GetPointer(), dir / "t.nii");
    expectRamp(readImage(dir / "t.nii", -1), {3, 2, 2}, {1, 1, 1}, "volume 0", 0,
               {dir / "t.nii" + " is a 4D series of 3 volumes; showing volume 0 (--volume N "
                                "picks another)"});
    expectRamp(readImage(dir / "t.nii", 2), {3, 2, 2}, {1, 1, 1}, "volume 2", 24);
}

TEST(SampleConversion, TypesAndByteOrders) {
    const struct {
        const char* type;
        bool big;
        std::vector<uint8_t> bytes; // two samples: 1 and the second
        float second;
    } rows[] = {
        {"u8", false, {1, 200}, 200},
        {"i8", false, {1, 0x9c}, -100},
        {"u16", true, {0, 1, 0x12, 0x34}, 0x1234},
        {"i16", false, {1, 0, 0x38, 0xff}, -200},
        {"i32", true, {0, 0, 0, 1, 0xff, 0xff, 0xff, 0xfe}, -2},
        {"f32", true, {0x3f, 0x80, 0, 0, 0xc0, 0x20, 0, 0}, -2.5f},
        {"f64", false, {0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 0, 0, 0, 0, 0, 0, 0x0c, 0x40}, 3.5f},
    };
    SampleType type;
    for (const auto& row : rows) {
        ASSERT_TRUE(parseSampleType(row.type, type)) << row.type;
        std::vector<float> values = {-1};
        appendAsFloat(row.bytes.data(), 2, type, row.big, values);
        EXPECT_EQ(values, std::vector<float>({-1, 1.0f, row.second})) << row.type << row.big;
        std::vector<uint8_t> swapped = row.bytes; // to this machine's order, then as floats
        if (row.big) swapBytes(swapped.data(), 2, type);
        Samples s;
        s.size[0] = 2, s.size[1] = s.size[2] = 1;
        std::memcpy(s.allocate(type, 2), swapped.data(), swapped.size());
        EXPECT_EQ(s.asFloats(), std::vector<float>({1.0f, row.second})) << row.type;
    }
    EXPECT_FALSE(parseSampleType("u64", type));
}

template <typename T> static Samples samplesOf(const std::vector<T>& values, SampleType type) {
    Samples s;
    s.size[0] = int(values.size()), s.size[1] = s.size[2] = 1;
    std::memcpy(s.allocate(type, values.size()), values.data(), values.size() * sizeof(T));
    return s;
}

// Voxels of samples windowed in place, the file's axes as they are.
static std::vector<uint8_t> windowed(const Samples& s, IntensityWindow window,
                                     std::vector<int> factors = {1, 1, 1}) {
    int size[3] = {s.size[0], s.size[1], s.size[2]};
    double spacing[3] = {1, 1, 1};
    reducedShape(factors.data(), size, spacing);
    std::vector<uint8_t> out(static_cast<size_t>(size[0]) * size[1] * size[2], 77);
    const int64_t stride[3] = {1, size[0], int64_t(size[0]) * size[1]};
    windowVoxels(s, window, factors.data(), out.data(), placement(Reorientation(), size, stride));
    return out;
}

static std::pair<double, double> pair(IntensityWindow w) {
    return {w.low, w.high};
}

TEST(IntensityWindow, PercentilesLeaveOutNonFiniteSamples) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> values = {nan, inf, -inf};
    for (int i = 999; i >= 0; --i)
        values.push_back(float(i) - 500);
    Samples s = samplesOf(values, SampleType::f32);
    // ranks floor(0.005 * 999), ceil(0.995 * 999)
    EXPECT_EQ(pair(defaultWindow(s)), std::make_pair(-496.0, 495.0));
    const SampleRange r = sampleRange(s, false);
    EXPECT_EQ(std::make_tuple(r.any, r.min, r.max), std::make_tuple(true, -500.0, 499.0));
    EXPECT_FALSE(sampleRange(samplesOf(std::vector<float>{nan, inf}, SampleType::f32), true).any);
    s = samplesOf(std::vector<double>(50, 7.0), SampleType::f64); // constant: the window widens
    EXPECT_EQ(pair(defaultWindow(s)), std::make_pair(7.0, 8.0));
    s = samplesOf(std::vector<uint8_t>{30, 40, 50}, SampleType::u8);
    s.unsignedBytes = true;
    EXPECT_EQ(pair(defaultWindow(s)), std::make_pair(0.0, 255.0));
    s = samplesOf(std::vector<float>{-100, 10, 10.3f, 60, 110, 1000, nan}, SampleType::f32);
    EXPECT_EQ(windowed(s, {10, 110}), std::vector<uint8_t>({0, 0, 1, 128, 255, 255, 0}));
}

// Every integer type's exact ranks, scaled either way, against a sort of the values.
TEST(IntensityWindow, IntegerPercentilesAreExactAndScaled) {
    std::vector<int64_t> values;
    for (int64_t i = 0; i < 3001; ++i)
        values.push_back((i * 7919) % 3001 - (i % 3 ? 0 : 1200));
    const struct {
        SampleType type;
        int64_t bias;
        double slope, intercept;
    } rows[] = {{SampleType::i16, 0, 1, 0},
                {SampleType::u16, 40000, 1, 0},
                {SampleType::i32, -70000, 2, 0.5},
                {SampleType::u32, 3000000000, -0.5, 9},
                {SampleType::i64, -(1LL << 20), 1, 0},
                {SampleType::u8, 0, 1, 0}};
    for (const auto& row : rows) {
        const bool bytes = row.type == SampleType::u8;
        std::vector<double> want;
        Samples s;
        s.size[0] = int(values.size()), s.size[1] = s.size[2] = 1;
        uint8_t* p = s.allocate(row.type, values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            const int64_t v = bytes ? values[i] & 255 : values[i] + row.bias;
            const int n = sampleBytes(row.type);
            std::memcpy(p + i * size_t(n), &v, size_t(n)); // little-endian: the low bytes
            want.push_back(double(float(row.slope * float(v) + row.intercept)));
        }
        s.slope = row.slope, s.intercept = row.intercept;
        std::sort(want.begin(), want.end());
        const SampleRange r = sampleRange(s, true);
        EXPECT_EQ(std::make_tuple(r.min, r.max, r.percentiles.low, r.percentiles.high),
                  std::make_tuple(want.front(), want.back(), want[15], want[2985]))
            << int(row.type);
    }
}

TEST(Reduction, AveragesTheFiniteSamplesOfWholeAndPartialBlocks) {
    const int factors[3] = {2, 2, 1};
    // The NaN is left out of its block; the last block has no finite value.
    Samples s = samplesOf(std::vector<float>{1, 2, 3, 4,   5,   11, NAN, 13, 14,  15,
                                             2, 3, 9, NAN, NAN, 3,  3,   4,  NAN, NAN},
                          SampleType::f32);
    s.size[0] = 5, s.size[1] = 2, s.size[2] = 2;
    // Means 14/3, 8.5, 10 and 2.75, 6.5, none, windowed over 0..51 (5 steps a unit).
    EXPECT_EQ(windowed(s, {0, 51}, {2, 2, 1}), std::vector<uint8_t>({23, 43, 50, 14, 33, 0}));
    Samples t = samplesOf(std::vector<int16_t>{-4, 6, 1, 2, 100, 0, 0, 3, 9}, SampleType::i16);
    t.size[0] = 3, t.size[1] = 3;
    t.slope = 2, t.intercept = 10; // scaled block means 62, 11, 13, 28
    EXPECT_EQ(windowed(t, {0, 255}, {2, 2, 1}), std::vector<uint8_t>({62, 11, 13, 28}));
    double spacing[3] = {0.5, 1, 1};
    int reduced[3] = {5, 2, 1};
    reducedShape(factors, reduced, spacing);
    EXPECT_EQ(std::vector<int>(reduced, reduced + 3), std::vector<int>({3, 1, 1}));
    EXPECT_EQ(std::vector<double>(spacing, spacing + 3), std::vector<double>({1, 2, 1}));
}

TEST(PaddedBlock, DataSitInTheMiddleAndTheBoxKeepsTheirProportions) {
    std::vector<uint8_t> data(3 * 14 * 15);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i % 250 + 1);
    Volume v;
    ASSERT_TRUE(v.setVoxels(data.data(), 3, 14, 15));
    ASSERT_EQ(v.voxelCount(), 16u * 16 * 16);
    // Offsets 6, 1 and 0: each data voxel at its place, every other voxel 0.
    size_t wrong = 0;
    for (size_t i = 0; i < v.voxelCount(); ++i) {
        const size_t x = i % 16, y = i / 16 % 16, z = i / 256;
        const bool inside = x >= 6 && x < 9 && y >= 1 && y < 15 && z < 15;
        wrong += v.voxels()[i] != (inside ? data[x - 6 + 3 * (y - 1 + 14 * z)] : 0);
    }
    EXPECT_EQ(wrong, 0u);

    const int size[3] = {301, 370, 315};
    const double spacing[3] = {2, 1, 0.5};
    const BoxGeometry g = boxGeometry(size, spacing);
    const float expected[3][3] = {{1, 370 / 602.0f, 157.5f / 602},
                                  {602 / 2048.0f, 602 / 1024.0f, 602 / 512.0f},
                                  {(105 + 150.5f) / 512, 0.5f, (98 + 157.5f) / 512}};
    for (int a = 0; a < 3; ++a) {
        EXPECT_FLOAT_EQ(g.boxScale[a], expected[0][a]) << a;
        EXPECT_FLOAT_EQ(g.textureScale[a], expected[1][a]) << a;
        EXPECT_FLOAT_EQ(g.textureCentre[a], expected[2][a]) << a;
    }
}
