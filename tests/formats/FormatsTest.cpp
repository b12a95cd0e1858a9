// Every format's reader, and samples to voxels: window, reduction, placement, geometry.
#include "FormatFiles.h"
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/IntensityWindow.h"

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
    EXPECT_TRUE(r.samples.values == expected) << label;
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
    }
    EXPECT_FALSE(parseSampleType("u64", type));
}

TEST(IntensityWindow, PercentilesLeaveOutNonFiniteSamples) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Samples s;
    s.values = {nan, inf, -inf};
    for (int i = 999; i >= 0; --i)
        s.values.push_back(float(i));
    auto window = [&s] { return std::make_pair(defaultWindow(s).low, defaultWindow(s).high); };
    EXPECT_EQ(window(), std::make_pair(4.0, 995.0)); // ranks floor(0.005 * 999), ceil(0.995 * 999)
    double min, max;
    ASSERT_TRUE(finiteRange(s.values, min, max));
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(0.0, 999.0));
    EXPECT_FALSE(finiteRange({nan, inf}, min, max));
    s.values.assign(50, 7.0f); // constant data: the window widens
    EXPECT_EQ(window(), std::make_pair(7.0, 8.0));
    s.values = {300, 400, 500};
    s.unsignedBytes = true;
    EXPECT_EQ(window(), std::make_pair(0.0, 255.0));
    EXPECT_EQ(applyWindow({-100, 10, 10.3f, 60, 110, 1000, nan}, {10, 110}),
              std::vector<uint8_t>({0, 0, 1, 128, 255, 255, 0}));
}

TEST(Reduction, AveragesTheFiniteSamplesOfWholeAndPartialBlocks) {
    int factors[3];
    const int size[3] = {2048, 1025, 1024};
    reductionFactors(size, 1024, factors);
    EXPECT_EQ(std::vector<int>(factors, factors + 3), std::vector<int>({2, 2, 1}));
    Samples s;
    s.size[0] = 5, s.size[1] = 2, s.size[2] = 1;
    s.spacing[0] = 0.5;
    s.values = {1, 2, 3, 4, 5, 11, NAN, 13, 14, 15}; // the NaN is left out of its block
    const Samples r = reduce(s, factors);
    EXPECT_EQ(std::vector<int>(r.size, r.size + 3), std::vector<int>({3, 1, 1}));
    EXPECT_EQ(r.values, std::vector<float>({float(14.0 / 3), 8.5f, 10.0f}));
    EXPECT_EQ(std::vector<double>(r.spacing, r.spacing + 3), std::vector<double>({1, 2, 1}));
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
