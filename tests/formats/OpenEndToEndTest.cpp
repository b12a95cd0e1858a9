// skorel-open as a user runs it: every bad input ends with one line and
// status 1 before any window opens; real data open centred and in proportion.
#include "FormatFiles.h"
#include "Viewer.h"

#include <fstream>
#include <gtest/gtest.h>
#include <itkVector.h>
#include <sys/stat.h>

namespace {

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

ExitResult runOpen(const std::vector<std::string>& args) {
    viewerBinary = SKOREL_OPEN_BINARY;
    return Viewer(args).wait();
}

short wave(size_t i) {
    return short(i % 17 * 100);
}

} // namespace

TEST(OpenBadInput, OneLineAndStatusOne) {
    TempDir dir;
    writeBytes(dir / "notes.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
    writeBytes(dir / "short.raw", std::vector<uint8_t>(10, 1));
    std::filesystem::create_directories(dir / "empty");
    mkfifo((dir / "pipe").c_str(), 0600);
    using Pixel = itk::Vector<float, 3>;
    writeImage(
        makeImage<Pixel, 3>({3, 3, 3}, {1, 1, 1}, [](size_t) { return Pixel(1.0f); }).GetPointer(),
        dir / "v.mha");
    writeImage(makeImage<short, 3>({4, 4, 1}, {1, 1, 1}, wave).GetPointer(), dir / "flat.nii");
    writeImage(makeImage<short, 3>({40, 40, 40}, {1, 1, 1}, wave).GetPointer(), dir / "h.nii.gz");
    std::filesystem::copy_file(dir / "h.nii.gz", dir / "cut.nii.gz");
    std::filesystem::resize_file(dir / "cut.nii.gz",
                                 std::filesystem::file_size(dir / "h.nii.gz") / 2);

    const struct {
        std::vector<std::string> args;
        std::string err; // all of standard error after "Error: "
    } rows[] = {
        {{dir / "none.nii"}, "cannot open " + dir / "none.nii" + ": No such file or directory"},
        {{dir / "notes.txt"},
         dir / "notes.txt" + ": unknown format; for headerless data give --size and --type"},
        {{dir / "cut.nii.gz"},
         "cannot read " + dir / "cut.nii.gz" + ": compressed data: unexpected end of file"},
        {{dir / "flat.nii"},
         dir / "flat.nii" + " is a 2D image (4x4x1); a volume needs three axes"},
        {{dir / "empty"}, dir / "empty" + ": no DICOM series in this folder"},
        {{dir / "pipe"}, "cannot open " + dir / "pipe" + ": not a regular file"},
        {{dir / "v.mha"},
         dir / "v.mha" + " has 3 components per voxel (colour or vector data); "
                         "only scalar volumes can be shown"},
        {{dir / "short.raw", "--size", "0x4x4"}, "bad --size '0x4x4': an axis is empty"},
        {{dir / "short.raw", "--size", "2x2x2", "--type", "i16"},
         dir / "short.raw" + " has 10 bytes, but the options describe 16"},
        {{dir / "h.nii.gz", "--window", "5,5"}, "bad --window '5,5': low must be below high"},
        {{dir / "h.nii.gz", "--bogus"},
         "unknown option --bogus (skorel-open --help lists the options)"},
        {{dir / "h.nii.gz", "--window"},
         "--window needs a value (skorel-open --help lists the options)"},
        {{dir / "h.nii.gz", "--volume", "1"},
         "--volume 1 is past the last volume of " + dir / "h.nii.gz" + " (0)"},
    };
    for (const auto& row : rows) {
        const std::string label = row.args.back();
        const ExitResult r = runOpen(row.args);
        EXPECT_TRUE(r.exited) << label;
        EXPECT_EQ(r.status, 1) << label;
        EXPECT_EQ(r.out, "") << label;
        EXPECT_EQ(r.err, "Error: " + row.err + "\n") << label;
    }
    const ExitResult help = runOpen({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: skorel-open FILE [options]\n", 0), 0u);
}

// 20 x 20 x 40 big-endian samples of 0.5 mm rows: a box of half-sizes 0.5,
// 0.25 and 1 seen along z. Its front face spans 85 x 42.5 pixels each side of
// the window's centre (45 degrees of view, eye 3.4 units away).
TEST(OpenEndToEnd, AnisotropicDataOpenCentredAndInProportion) {
    TempDir dir;
    std::vector<uint8_t> bytes = {0xff, 0xff, 0xff, 0xff, 0xff}; // a header to skip
    for (int i = 0; i < 20 * 20 * 40; ++i)
        bytes.insert(bytes.end(), {0x03, 0xe8}); // 1000
    writeBytes(dir / "a.raw", bytes);
    viewerBinary = SKOREL_OPEN_BINARY;
    Viewer app({dir / "a.raw", "--size", "20x20x40", "--type", "i16", "--endian", "big", "--header",
                "5", "--spacing", "1,0.5,1", "--window", "0,1000"});
    ASSERT_TRUE(app.waitForWindow()) << app.why();
    // The first picture with data at the centre of the window.
    const Image image = app.waitForPicture(
        [](const Image& im) { return im.at(320, 240)[0] >= 40 || im.at(320, 240)[1] >= 40; });
    // Bounds of the data's pixels (any red or green) and of the outline box's
    // (pure blue); the panel lies left of x = 230 in these rows. The box's
    // front face is the data's outline.
    int data[4] = {640, 480, -1, -1}, box[4] = {640, 480, -1, -1};
    for (int y = 100; y < 320; ++y)
        for (int x = 230; x < 640; ++x) {
            const unsigned char* p = image.at(x, y);
            int* bounds = p[0] >= 40 || p[1] >= 40 ? data : p[2] >= 100 ? box : nullptr;
            if (!bounds) continue;
            bounds[0] = std::min(bounds[0], x), bounds[1] = std::min(bounds[1], y);
            bounds[2] = std::max(bounds[2], x), bounds[3] = std::max(bounds[3], y);
        }
    const double expected[4] = {320 - 85, 240 - 42.5, 320 + 85, 240 + 42.5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(data[i], expected[i], 3) << i;
        EXPECT_NEAR(box[i], expected[i], 3) << i;
    }
    const ExitResult r = app.quit();
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Opened " + dir / "a.raw" +
                         ": 20x20x40 voxels, spacing 1 x 0.5 x 1\n"
                         "Data range 1000 to 1000; window 0 to 1000 (--window)\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
}
