// Reading every format through its own writer, and the way from samples to
// the viewer's voxels: window, reduction, placement and box geometry.
#include "FormatFiles.h"
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/Window.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <itkVector.h>
#include <limits>

namespace {

// Negative, above one byte, and different at every neighbour.
short ramp(size_t i) {
    return short(int(i * 37 % 1000) - 300);
}
float fraction(size_t i) {
    return float(i) * 0.25f - 3.5f;
}
unsigned char byteRamp(size_t i) {
    return (unsigned char)(i * 29 % 256);
}

void expectSamples(const ImageRead& r, const int (&size)[3], float (*value)(size_t),
                   const std::string& label) {
    ASSERT_EQ(r.error, "") << label;
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(r.samples.size[axis], size[axis]) << label << " axis " << axis;
    ASSERT_EQ(r.samples.values.size(), size_t(size[0]) * size[1] * size[2]) << label;
    size_t wrong = 0;
    for (size_t i = 0; i < r.samples.values.size(); ++i)
        wrong += r.samples.values[i] != value(i);
    EXPECT_EQ(wrong, 0u) << label;
}

float rampAsFloat(size_t i) {
    return ramp(i);
}

} // namespace

TEST(FormatReading, EveryWriterGivesBackItsSamplesAndSpacing) {
    TempDir dir;
    const auto image = makeImage<short, 3>({5, 4, 3}, {0.5, 1.25, 2.0}, ramp);
    const struct {
        const char* name;
        int spacedAxes; // axes whose spacing the format keeps
    } files[] = {{"a.nii", 3}, {"a.nii.gz", 3}, {"a.nrrd", 3}, {"a.nhdr", 3},
                 {"a.mha", 3}, {"a.mhd", 3},    {"a.vtk", 3},  {"a.tif", 0}};
    for (const auto& f : files) {
        writeImage(image.GetPointer(), dir / f.name);
        const ImageRead r = readImage(dir / f.name, -1);
        expectSamples(r, {5, 4, 3}, rampAsFloat, f.name);
        EXPECT_FALSE(r.samples.unsignedBytes) << f.name;
        EXPECT_TRUE(r.notes.empty()) << f.name;
        const double spacing[] = {0.5, 1.25, 2.0};
        for (int axis = 0; axis < f.spacedAxes; ++axis)
            EXPECT_NEAR(r.samples.spacing[axis], spacing[axis], 1e-6) << f.name << axis;
    }
}

TEST(FormatReading, ByteAndFloatSamplesKeepTheirValues) {
    TempDir dir;
    writeImage(makeImage<unsigned char, 3>({3, 2, 2}, {1, 1, 1}, byteRamp).GetPointer(),
               dir / "b.nrrd");
    const ImageRead bytes = readImage(dir / "b.nrrd", -1);
    expectSamples(
        bytes, {3, 2, 2}, [](size_t i) { return float(byteRamp(i)); }, "u8");
    EXPECT_TRUE(bytes.samples.unsignedBytes);
    writeImage(makeImage<float, 3>({3, 2, 2}, {1, 1, 1}, fraction).GetPointer(), dir / "f.mha");
    const ImageRead floats = readImage(dir / "f.mha", -1);
    expectSamples(floats, {3, 2, 2}, fraction, "f32");
    EXPECT_FALSE(floats.samples.unsignedBytes);
}

// Analyze 7.5: a 348-byte header (sizes, type, spacing) and the samples in .img.
TEST(FormatReading, AnalyzeHeaderAndImagePair) {
    TempDir dir;
    char header[348] = {};
    const int32_t headerSize = 348;
    const int16_t dims[8] = {3, 5, 4, 3, 1, 1, 1, 1}, datatype = 4 /* int16 */, bitpix = 16;
    const float pixdim[8] = {0, 0.5f, 1.25f, 2.0f, 0, 0, 0, 0};
    std::memcpy(header, &headerSize, 4);
    header[38] = 'r'; // regular
    std::memcpy(header + 40, dims, sizeof dims);
    std::memcpy(header + 70, &datatype, 2);
    std::memcpy(header + 72, &bitpix, 2);
    std::memcpy(header + 76, pixdim, sizeof pixdim);
    std::ofstream(dir / "a.hdr", std::ios::binary).write(header, sizeof header);
    std::vector<short> samples(60);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = ramp(i);
    std::ofstream(dir / "a.img", std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), 120);
    const ImageRead r = readImage(dir / "a.hdr", -1);
    expectSamples(r, {5, 4, 3}, rampAsFloat, "analyze");
    EXPECT_NEAR(r.samples.spacing[0], 0.5, 1e-6);
    EXPECT_NEAR(r.samples.spacing[2], 2.0, 1e-6);
}

TEST(FormatReading, DicomFolderTakesTheSeriesWithTheMostSlices) {
    TempDir dir;
    const std::string longer = "1.2.826.0.1.3680043.2.1125.7",
                      shorter = "1.2.826.0.1.3680043.2.1125.8";
    writeDicomSeries(dir / "scan", shorter, 2, 1.0, [](size_t i) { return short(-ramp(i)); });
    writeDicomSeries(dir / "scan", longer, 3, 2.5, ramp);
    const ImageRead r = readImage(dir / "scan", -1);
    expectSamples(r, {4, 3, 3}, rampAsFloat, "dicom");
    EXPECT_NEAR(r.samples.spacing[0], 0.5, 1e-6);
    EXPECT_NEAR(r.samples.spacing[1], 0.75, 1e-6);
    EXPECT_NEAR(r.samples.spacing[2], 2.5, 1e-6);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0], dir / "scan" + " holds 2 DICOM series; showing " + longer +
                              " (3 slices), the one with the most slices");
}

TEST(FormatReading, FourDimensionalSeriesGivesOneVolume) {
    TempDir dir;
    writeImage(makeImage<short, 4>({3, 2, 2, 3}, {1, 1, 1, 2}, ramp).GetPointer(), dir / "t.nii");
    const ImageRead first = readImage(dir / "t.nii", -1);
    expectSamples(first, {3, 2, 2}, rampAsFloat, "volume 0");
    ASSERT_EQ(first.notes.size(), 1u);
    EXPECT_NE(first.notes[0].find("4D series of 3 volumes; showing volume 0"), std::string::npos);
    const ImageRead last = readImage(dir / "t.nii", 2);
    expectSamples(
        last, {3, 2, 2}, [](size_t i) { return float(ramp(i + 24)); }, "volume 2");
    EXPECT_TRUE(last.notes.empty());
    EXPECT_EQ(readImage(dir / "t.nii", 3).error,
              "--volume 3 is past the last volume of " + dir / "t.nii" + " (2)");
}

TEST(FormatReading, VectorVoxelsAreRefused) {
    TempDir dir;
    using Pixel = itk::Vector<float, 3>;
    writeImage(
        makeImage<Pixel, 3>({3, 3, 3}, {1, 1, 1}, [](size_t) { return Pixel(1.0f); }).GetPointer(),
        dir / "v.mha");
    const ImageRead r = readImage(dir / "v.mha", -1);
    EXPECT_EQ(r.error, dir / "v.mha" + " has 3 components per voxel (colour or vector data); "
                                       "only scalar volumes can be shown");
    EXPECT_TRUE(r.samples.values.empty());
}

TEST(RawReading, TypesByteOrdersAndHeader) {
    TempDir dir;
    // Two samples of each type after a 3-byte header: 1 and the type's second value.
    const struct {
        const char* type;
        bool big;
        std::vector<uint8_t> bytes;
        float second;
    } rows[] = {
        {"u8", false, {1, 200}, 200},
        {"i8", false, {1, 0x9c}, -100},
        {"u16", false, {1, 0, 0x34, 0x12}, 0x1234},
        {"u16", true, {0, 1, 0x12, 0x34}, 0x1234},
        {"i16", true, {0, 1, 0xff, 0x38}, -200},
        {"i16", false, {1, 0, 0x38, 0xff}, -200},
        {"u32", true, {0, 0, 0, 1, 0, 1, 0, 0}, 65536},
        {"i32", false, {1, 0, 0, 0, 0xfe, 0xff, 0xff, 0xff}, -2},
        {"f32", true, {0x3f, 0x80, 0, 0, 0xc0, 0x20, 0, 0}, -2.5f},
        {"f64", false, {0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 0, 0, 0, 0, 0, 0, 0x0c, 0x40}, 3.5f},
    };
    for (const auto& row : rows) {
        const std::string label = std::string(row.type) + (row.big ? " big" : " little");
        std::vector<uint8_t> file = {9, 9, 9};
        file.insert(file.end(), row.bytes.begin(), row.bytes.end());
        std::ofstream(dir / "r.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        RawOptions options;
        options.size[0] = 2, options.size[1] = options.size[2] = 1;
        ASSERT_TRUE(parseSampleType(row.type, options.type)) << label;
        options.bigEndian = row.big, options.header = 3;
        Samples s;
        std::string error;
        ASSERT_TRUE(readRaw(dir / "r.raw", options, s, error)) << label << ": " << error;
        EXPECT_EQ(s.values, std::vector<float>({1.0f, row.second})) << label;
        EXPECT_EQ(s.unsignedBytes, std::string(row.type) == "u8") << label;
        options.header = 2;
        EXPECT_FALSE(readRaw(dir / "r.raw", options, s, error)) << label;
        EXPECT_EQ(error, dir / "r.raw" + " has " + std::to_string(file.size()) +
                             " bytes, but the options describe " + std::to_string(file.size() - 1))
            << label;
    }
    SampleType unused;
    EXPECT_FALSE(parseSampleType("u64", unused));
    EXPECT_FALSE(parseSampleType("i24", unused));
}

TEST(Window, PercentilesLeaveOutNonFiniteSamples) {
    Samples s;
    for (int i = 999; i >= 0; --i)
        s.values.push_back(float(i));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    s.values.insert(s.values.end(), {nan, inf, -inf, nan});
    const Window w = defaultWindow(s);
    EXPECT_EQ(w.low, 4.0);    // rank floor(0.005 * 999)
    EXPECT_EQ(w.high, 995.0); // rank ceil(0.995 * 999)
    double min, max;
    ASSERT_TRUE(finiteRange(s.values, min, max));
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 999.0);
    EXPECT_FALSE(finiteRange({nan, inf}, min, max));

    s.values.assign(50, 7.0f);
    EXPECT_EQ(defaultWindow(s).low, 7.0);
    EXPECT_EQ(defaultWindow(s).high, 8.0);
    s.values = {300, 400, 500};
    s.unsignedBytes = true;
    EXPECT_EQ(defaultWindow(s).low, 0.0);
    EXPECT_EQ(defaultWindow(s).high, 255.0);
}

TEST(Window, MapsLinearlyClampsAndZeroesNaN) {
    const std::vector<float> values = {-100, 10,  10.3f, 10.32f,
                                       60,   110, 1000,  std::numeric_limits<float>::quiet_NaN()};
    EXPECT_EQ(applyWindow(values, {10, 110}), std::vector<uint8_t>({0, 0, 1, 1, 128, 255, 255, 0}));
    EXPECT_EQ(applyWindow({0, 1, 254, 255}, Window()), std::vector<uint8_t>({0, 1, 254, 255}));
}

TEST(Reduction, AveragesWholeAndPartialBlocks) {
    int factors[3];
    const int size[3] = {2048, 1025, 1024};
    reductionFactors(size, 1024, factors);
    EXPECT_EQ(factors[0], 2);
    EXPECT_EQ(factors[1], 2);
    EXPECT_EQ(factors[2], 1);
    reductionFactors(size, 512, factors);
    EXPECT_EQ(factors[1], 3);

    Samples s;
    s.size[0] = 5, s.size[1] = 2, s.size[2] = 1;
    s.spacing[0] = 0.5;
    s.values = {1, 2, 3, 4, 5, 11, 12, 13, 14, 15};
    const int f[3] = {2, 2, 1};
    const Samples r = reduce(s, f);
    EXPECT_EQ(r.size[0], 3);
    EXPECT_EQ(r.size[1], 1);
    EXPECT_EQ(r.size[2], 1);
    EXPECT_EQ(r.values, std::vector<float>({6.5f, 8.5f, 10.0f}));
    EXPECT_EQ(r.spacing[0], 1.0);
    EXPECT_EQ(r.spacing[1], 2.0);
    EXPECT_EQ(r.spacing[2], 1.0);
}

TEST(Placement, DataSitInTheMiddleOfThePaddedBlock) {
    std::vector<uint8_t> data(3 * 16 * 15);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i % 250 + 1);
    Volume v;
    ASSERT_TRUE(v.setVoxels(data.data(), 3, 16, 15));
    ASSERT_EQ(v.width(), 16);
    ASSERT_EQ(v.height(), 16);
    ASSERT_EQ(v.depth(), 16);
    // Offsets 6, 0 and 0: each data voxel at its place, every other voxel 0.
    size_t wrong = 0;
    for (int z = 0; z < 16; ++z)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool inside = x >= 6 && x < 9 && z < 15;
                const uint8_t expected = inside ? data[size_t(x - 6) + 3 * (y + 16 * z)] : 0;
                wrong += v.voxels()[x + 16 * (y + 16 * z)] != expected;
            }
    EXPECT_EQ(wrong, 0u);
}

TEST(BoxGeometry, ProportionsScaleAndCentre) {
    const struct {
        int size[3];
        double spacing[3];
        BoxGeometry g;
    } rows[] = {
        // A cube filling its padded block: the fixed viewer's defaults.
        {{64, 64, 64}, {1, 1, 1}, {{1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}}},
        // 4 x 4 x 5 mm voxels, 30 slices: z pads to 32 and is drawn short.
        {{64, 64, 30}, {4, 4, 5}, {{1, 1, 0.5859375f}, {0.5f, 0.5f, 0.8f}, {0.5f, 0.5f, 0.5f}}},
        // Odd sizes: the offset rounds down, the centre follows it.
        {{301, 370, 315},
         {1, 1, 1},
         {{301 / 370.0f, 1, 315 / 370.0f},
          {370 / 1024.0f, 370 / 1024.0f, 370 / 1024.0f},
          {(105 + 150.5f) / 512, 0.5f, (98 + 157.5f) / 512}}},
    };
    for (const auto& row : rows) {
        const BoxGeometry g = boxGeometry(row.size, row.spacing);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_FLOAT_EQ(g.boxScale[axis], row.g.boxScale[axis]) << row.size[0] << axis;
            EXPECT_FLOAT_EQ(g.textureScale[axis], row.g.textureScale[axis]) << row.size[0] << axis;
            EXPECT_FLOAT_EQ(g.textureCentre[axis], row.g.textureCentre[axis])
                << row.size[0] << axis;
            // The box's corner falls on the data's last texel edge.
            const double padded = padToPowerOfTwo(uint32_t(row.size[axis]));
            EXPECT_NEAR(g.textureCentre[axis] + g.textureScale[axis] * g.boxScale[axis],
                        (centredOffset(uint32_t(row.size[axis])) + row.size[axis]) / padded, 1e-6);
        }
    }
}
