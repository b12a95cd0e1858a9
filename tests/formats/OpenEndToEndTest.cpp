// skorel-open as a user runs it: every bad input ends with one line and
// status 1 before any window opens; real data open centred and in proportion.
#include "FormatFiles.h"
#include "Viewer.h"

#include <fstream>
#include <gtest/gtest.h>
#include <itkVector.h>
#include <sys/stat.h>
#include <tuple>

const auto wave = [](size_t i) { return short(i % 17 * 100); };

TEST(OpenBadInput, OneLineAndStatusOne) {
    TempDir dir;
    std::ofstream(dir / "notes.txt") << "hello\n";
    std::ofstream(dir / "short.raw") << std::string(10, '\1');
    std::filesystem::create_directories(dir / "empty");
    mkfifo((dir / "pipe").c_str(), 0600);
    using Pixel = itk::Vector<float, 3>;
    writeImage(
        makeImage<Pixel, 3>({3, 3, 3}, {1, 1, 1}, [](size_t) { return Pixel(1.0f); }).GetPointer(),
        dir / "v.mha");
    writeImage(makeImage<short, 3>({4, 4, 1}, {1, 1, 1}, wave).GetPointer(), dir / "flat.nii");
    // Every format cut 50000 bytes short of its 128000 bytes of samples (the
    // compressed ones by half), and headers that claim more than a file holds.
    const auto h = makeImage<short, 3>({40, 40, 40}, {1, 1, 1}, wave);
    writeImage(h.GetPointer(), dir / "h.nii.gz");
    for (std::string name :
         {"c.nii", "c.nii.gz", "c.hdr", "c.nrrd", "c.mha", "c.vtk", "z.nrrd", "z.mha"}) {
        writeImage(h.GetPointer(), dir / name, nullptr, name[0] == 'z');
        name = name == "c.hdr" ? "c.img" : name;
        const auto size = std::filesystem::file_size(dir / name);
        std::filesystem::resize_file(
            dir / name, name[0] == 'z' || name == "c.nii.gz" ? size / 2 : size - 50000);
    }
    std::ofstream(dir / "huge.nrrd") << "NRRD0004\ntype: uchar\ndimension: 3\nsizes: 1200 1200 "
                                        "1200\nencoding: gzip\n\n0123456789";
    std::ofstream(dir / "one.raw") << std::string(120, '\7');
    std::ofstream(dir / "two.raw") << std::string(60, '\7') + std::string(60, '\1');

    const std::string d = dir / "";
    const struct {
        std::vector<std::string> args;
        std::string err; // all of standard error after "Error: "; # stands for a number
        int status = 1;
    } rows[] = {
        {{d + "none.nii"}, "cannot open " + d + "none.nii: No such file or directory"},
        {{d + "notes.txt"},
         d + "notes.txt: unknown format; for headerless data give --size and --type"},
        {{d + "c.nii"}, d + "c.nii is cut short: 50000 of 128000 bytes of samples are missing"},
        {{d + "c.nii.gz"}, d + "c.nii.gz is cut short: # of 128000 bytes of samples are missing"},
        {{d + "c.hdr"}, d + "c.img is cut short: 50000 of 128000 bytes of samples are missing"},
        {{d + "c.nrrd"}, d + "c.nrrd is cut short: 50000 of 128000 bytes of samples are missing"},
        {{d + "c.mha"}, d + "c.mha is cut short: 50000 of 128000 bytes of samples are missing"},
        {{d + "c.vtk"}, d + "c.vtk is cut short: 50000 of 128000 bytes of samples are missing"},
        {{d + "z.nrrd"}, d + "z.nrrd is cut short: # of 128000 bytes of samples are missing"},
        {{d + "z.mha"}, d + "z.mha is cut short: # of # bytes of compressed samples are missing"},
        {{d + "huge.nrrd"},
         d + "huge.nrrd claims 1728000000 bytes of samples, more than its 10 "
             "compressed bytes can hold"},
        {{d + "one.raw", "--size", "5x4x6"},
         "Warning: " + d +
             "one.raw holds one value, 7, "
             "everywhere: the window cannot come from the data; 6 to 7 shows it as a block",
         0},
        {{d + "two.raw", "--size", "5x12x2"},
         "Warning: a volume depth of 2 voxels is all "
         "transparent border: nothing will be drawn",
         0},
        {{d + "flat.nii"}, d + "flat.nii is a 2D image (4x4x1); a volume needs three axes"},
        {{d + "empty"}, d + "empty: no DICOM series in this folder"},
        {{d + "pipe"}, "cannot open " + d + "pipe: not a regular file"},
        {{d + "v.mha"},
         d + "v.mha has 3 components per voxel (colour or vector data); "
             "only scalar volumes can be shown"},
        {{d + "short.raw", "--size", "0x4x4"}, "bad --size '0x4x4': an axis is empty"},
        {{d + "short.raw", "--size", "2x2x2", "--type", "i16"},
         d + "short.raw has 10 bytes, but the options describe 16"},
        {{d + "h.nii.gz", "--window", "5,5"}, "bad --window '5,5': low must be below high"},
        {{d + "h.nii.gz", "--bogus"},
         "unknown option --bogus (skorel-open --help lists the options)"},
        {{d + "h.nii.gz", "--window"},
         "--window needs a value (skorel-open --help lists the options)"},
        {{d + "h.nii.gz", "--zoom", "5"},
         "bad --zoom '5': give a zoom above 0, at most 4.4 (1: the start-up view)"},
        {{d + "h.nii.gz", "--picture-size", "64x8"},
         "bad --picture-size '64x8': give WIDTHxHEIGHT, each from 16 to 4096"},
        {{d + "h.nii.gz", "--settings", d + "notes.txt"},
         "Warning: settings " + d +
             "notes.txt, line 1: not a 'key = values' line; the defaults are kept",
         0},
        {{d + "h.nii.gz", "--reduce=0"}, "bad --reduce '0': give a whole factor from 1 to 64"},
        {{d + "h.nii.gz", "--overlay=1"},
         "--overlay takes no value (skorel-open --help lists the options)"},
        {{d + "h.nii.gz", "--volume", "1"},
         "--volume 1 is past the last volume of " + d + "h.nii.gz (0)"},
    };
    const auto matches = [](const std::string& text, const std::string& pattern) {
        size_t t = 0;
        for (char p : pattern) {
            const size_t digits = p == '#' ? text.find_first_not_of("0123456789", t) : t;
            if (p == '#' ? digits == t : t >= text.size() || text[t] != p) return false;
            t = p == '#' ? digits : t + 1;
        }
        return t == text.size();
    };
    for (const auto& row : rows) {
        const ExitResult r =
            Viewer(row.args, {"SKOREL_EXIT_AFTER_FRAMES=1"}, SKOREL_OPEN_BINARY).wait();
        const std::string err = (row.status ? "Error: " : "") + row.err + "\n";
        EXPECT_TRUE(matches(r.err, err)) << r.err;
        EXPECT_EQ(std::make_tuple(r.exited, r.status, r.out.empty()),
                  std::make_tuple(true, row.status, row.status == 1))
            << row.args[0];
    }
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's shadow needs more address space than this
    std::ofstream(dir / "big.raw").close();
    std::filesystem::resize_file(dir / "big.raw", 240000000);
    const ExitResult oom =
        Viewer({"--as=900000000", SKOREL_OPEN_BINARY, d + "big.raw", "--size", "2000x2000x60"}, {},
               "/usr/bin/prlimit")
            .wait();
    // The samples fit now (no float copy): the zeros are read, then the block fails.
    EXPECT_EQ(
        std::make_pair(oom.status, oom.err),
        std::make_pair(1, "Warning: " + d +
                              "big.raw holds one value, 0, everywhere: the "
                              "window cannot come from the data; -1 to 0 shows it as a block\n"
                              "Error: not enough memory for the volume\n"));
#endif
    // Memory for the block and the textures is counted before either exists;
    // --reduce as the refusal says makes the volume fit. A brick limit splits it.
    const std::string low = "SKOREL_AVAILABLE_MEMORY=100000", frame = "SKOREL_EXIT_AFTER_FRAMES=1";
    const ExitResult refused = Viewer({d + "h.nii.gz"}, {low, frame}, SKOREL_OPEN_BINARY).wait();
    EXPECT_EQ(
        std::make_pair(refused.status, refused.err),
        std::make_pair(1, std::string("Error: 40x40x40 voxels need 0.8 MiB for the samples, "
                                      "voxels and textures, and 0.2 MiB is available: --reduce "
                                      "2 makes it fit\n")));
    const ExitResult reduced =
        Viewer({d + "h.nii.gz", "--reduce", "2"}, {low, frame}, SKOREL_OPEN_BINARY).wait();
    EXPECT_EQ(reduced.status, 0) << reduced.err;
    EXPECT_NE(reduced.out.find("Reduced 40x40x40 by 2 per axis to 20x20x20 (--reduce)\n"),
              std::string::npos);
    const ExitResult split =
        Viewer({d + "h.nii.gz"}, {"SKOREL_BRICK_LIMIT=32", frame}, SKOREL_OPEN_BINARY).wait();
    EXPECT_NE(split.out.find("Split 64x64x64 into 2 x 2 x 2 textures of 32 x 32 x 32\n"),
              std::string::npos)
        << split.out;
    const ExitResult help = Viewer({"--help"}, {}, SKOREL_OPEN_BINARY).wait();
    EXPECT_EQ(std::make_pair(help.status, help.out.rfind("Usage: skorel-open FILE [options]\n", 0)),
              std::make_pair(0, size_t(0)));
}

// 20 x 20 x 40 big-endian samples, rows 0.5 mm apart: a box of half-sizes 0.5, 0.25, 1
// seen along z, 85 x 42.5 pixels each side of the centre (45-degree view, eye at 3.4).
TEST(OpenEndToEnd, AnisotropicDataOpenCentredAndInProportion) {
    TempDir dir;
    std::string bytes(5, '\xff'); // a header to skip
    for (int i = 0; i < 20 * 20 * 40; ++i)
        bytes += "\x03\xe8"; // 1000
    std::ofstream(dir / "a.raw", std::ios::binary) << bytes;
    Viewer app({dir / "a.raw", "--size", "20x20x40", "--type", "i16", "--endian", "big", "--header",
                "5", "--spacing", "1,0.5,1", "--window", "0,1000"},
               {}, SKOREL_OPEN_BINARY);
    ASSERT_TRUE(app.waitForWindow()) << app.why();
    // The first picture with data at the centre of the window.
    const Image image = app.waitForPicture(
        [](const Image& im) { return im.at(320, 240)[0] >= 40 || im.at(320, 240)[1] >= 40; });
    // Bounds of the data's pixels (red or green) and the outline box's (blue),
    // right of the panel (x < 230 in these rows): the same rectangle.
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
    EXPECT_EQ(std::make_pair(r.status, r.err), std::make_pair(0, std::string()));
    EXPECT_NE(r.out.find("Opened " + dir / "a.raw" +
                         ": 20x20x40 voxels, spacing 1 x 0.5 x 1\n"
                         "Data range 1000 to 1000; window 0 to 1000 (--window)\n"),
              std::string::npos)
        << r.out;
}
