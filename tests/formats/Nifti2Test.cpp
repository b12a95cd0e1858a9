// NIfTI-2 files and ImageJ TIFF stacks written byte by byte here, read back
// through readImage.
#include "FormatFiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numeric>
#include <zlib.h>

namespace {

// .gz: gzip of stored blocks, so that a cut stream still gives every byte
// before the cut; else plain ("T").
std::string writeFile(const std::string& path, const std::vector<uint8_t>& b, size_t cut) {
    const gzFile f = gzopen(path.c_str(), path.back() == 'z' ? "wb0" : "wbT");
    gzwrite(f, b.data(), unsigned(b.size())), gzclose(f);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - cut);
    return path;
}

// Pixdim 0.5, 1, 1.5; samples int16 ramp(i), or uint8 i for datatype 2 (at
// most 1000); then the fields: the codes at 344 and 348, doubles elsewhere
// (NIfTI-1: int16 codes at 252 and 254, floats elsewhere).
std::vector<uint8_t> nifti2(bool big, const std::vector<int64_t>& dims, int16_t type = 4,
                            const std::vector<std::pair<int, double>>& fields = {},
                            bool one = false) {
    std::vector<uint8_t> b(one ? 352 : 544);
    const auto set = [&b, big](size_t at, auto v) {
        std::memcpy(&b[at], &v, sizeof v);
        if (big) std::reverse(&b[at], &b[at] + sizeof v);
    };
    std::memcpy(&b[one ? 344 : 4], one ? "n+1" : "n+2\0\r\n\032\n", one ? 4 : 8);
    one ? (set(0, 348), set(70, type), set(40, int16_t(dims.size())), set(108, 352.f))
        : (set(0, 540), set(12, type), set(16, int64_t(dims.size())), set(168, int64_t(544)));
    for (size_t i = 0; i < dims.size(); ++i)
        one ? (set(42 + 2 * i, int16_t(dims[i])), set(80 + 4 * i, float(0.5 * double(i + 1))))
            : (set(24 + 8 * i, dims[i]), set(112 + 8 * i, 0.5 * double(i + 1)));
    const int64_t n = std::accumulate(dims.begin(), dims.end(), int64_t(1), std::multiplies<>());
    for (int64_t i = 0; i < std::min<int64_t>(n, 1000); ++i)
        type == 2 ? b.push_back(uint8_t(i)) : (b.resize(b.size() + 2), set(b.size() - 2, ramp(i)));
    for (const auto& f : fields) {
        const size_t at = size_t(f.first);
        if (one)
            at > 254 ? set(at, float(f.second)) : set(at, int16_t(f.second));
        else
            at == 344 || at == 348 ? set(at, int32_t(f.second)) : set(at, f.second);
    }
    return b;
}

// Three 4 x 3 int16 pages of ramp(i): ImageJ's layout (the first directory
// before the samples, the others after them) or every directory first.
std::vector<uint8_t> tiffStack(const std::string& text, bool imageJ) {
    std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t ifd = 2 + 15 * 12 + 4, at = 8 + (imageJ ? 1 : 3) * ifd,
                   n = uint32_t(text.size()) + 1, samples = at + n + 16, after = samples + 72;
    const auto directory = [&](uint32_t page, uint32_t next) {
        // clang-format off
        const uint32_t entries[15][3] = {{256, 3, 4}, {257, 3, 3}, {258, 3, 16}, {259, 3, 1},
            {262, 3, 1}, {270, 2, at}, {273, 4, samples + 24 * page}, {277, 3, 1}, {278, 3, 3},
            {279, 4, 24}, {282, 5, at + n}, {283, 5, at + n + 8}, {296, 3, 1}, {339, 3, 2},
            {50838, 4, 0}}; // ImageJ's private tag, which libtiff warns about
        // clang-format on
        put(15, 2);
        for (const auto& e : entries)
            put(e[0], 2), put(e[1], 2), put(e[0] == 270 ? n : 1, 4), put(e[2], 4);
        put(next, 4);
    };
    directory(0, imageJ ? after : 8 + ifd);
    if (!imageJ) directory(1, 8 + 2 * ifd), directory(2, 0);
    b.insert(b.end(), text.begin(), text.end());
    put(0, 1), put(2, 4), put(1, 4), put(4, 4), put(3, 4); // 2/1 and 4/3 pixels per unit
    for (int i = 0; i < 36; ++i)
        put(uint16_t(ramp(i)), 2);
    if (imageJ) directory(1, after + ifd), directory(2, 0);
    return b;
}

} // namespace

// Each file's samples (sizes, spacing, count, first, last, one-byte source,
// then the direction rows where it has a patient space) and its note, or its
// error line; @ is the path. Nothing on standard error.
TEST(Nifti2AndImageJ, SamplesSpacingDirectionsNotesAndCuts) {
    TempDir dir;
    const std::string imageJ = "ImageJ=1.54f\nimages=3\nslices=3\nunit=micron\nspacing=2.5\n";
    const std::string note = "@ is a 4D series of 3 volumes; showing volume 0 (--volume N picks "
                             "another)";
    const struct {
        const char* name; // .gz: gzip
        std::vector<uint8_t> bytes;
        int volume;
        size_t cut;                  // bytes cut off the end
        std::vector<double> samples; // empty: line is the error
        std::string line;
    } rows[] = {
        // clang-format off
        {"a.nii", nifti2(false, {5, 4, 3}), -1, 0, {5, 4, 3, .5, 1, 1.5, 60, -300, -117, 0}, ""},
        {"b.nii.gz", nifti2(true, {3, 2, 2, 3}), 2, 0, {3, 2, 2, .5, 1, 1.5, 12, 588, -5, 0}, ""},
        {"c.nii.gz", nifti2(false, {3, 2, 2, 3}), -1, 0, {3, 2, 2, .5, 1, 1.5, 12, -300, 107, 0}, note},
        {"u8.nii", nifti2(true, {3, 2, 2}, 2), -1, 0, {3, 2, 2, .5, 1, 1.5, 12, 0, 11, 1}, ""},
        {"scaled.nii", nifti2(false, {3, 2, 2}, 2, {{176, 2}, {184, -1}}), -1, 0,
         {3, 2, 2, .5, 1, 1.5, 12, -1, 21, 0}, ""},
        {"las.nii", nifti2(true, {3, 2, 2}, 4, {{348, 2}, {400, -.5}, {440, 1}, {480, 1.5}}), -1, 0,
         {3, 2, 2, .5, 1, 1.5, 12, -300, 107, 0, 1, 0, 0, 0, -1, 0, 0, 0, 1}, ""},
        {"ras.nii.gz", nifti2(false, {3, 2, 2}, 4, {{348, 1}, {400, .5}, {440, 1}, {480, 1.5}}), -1, 0,
         {3, 2, 2, .5, 1, 1.5, 12, -300, 107, 0, -1, 0, 0, 0, -1, 0, 0, 0, 1}, ""},
        {"q.nii", nifti2(false, {3, 2, 2}, 4, {{344, 1}, {368, std::sqrt(.5)}, {104, -1}}), -1, 0,
         {3, 2, 2, .5, 1, 1.5, 12, -300, 107, 0, 0, -1, 0, 1, 0, 0, 0, 0, -1}, ""}, // qfac -1
        {"codes0.nii", nifti2(false, {3, 2, 2}, 4, {{400, -.5}, {440, 1}, {480, 1.5}}), -1, 0,
         {3, 2, 2, .5, 1, 1.5, 12, -300, 107, 0}, ""}, // srow without sform_code: no patient space
        {"shear1.nii.gz", nifti2(true, {3, 2, 2, 2}, 4, {{254, 1}, {280, .5}, {284, 1}, {300, 1},
         {320, 1.5}}, true), 1, 0, {3, 2, 2, .5, 1, 1.5, 12, 144, 551, 0, -1, 0, 0, -.707107,
         -.707107, 0, 0, 0, 1}, ""}, // sheared NIfTI-1: ITK refuses it
        {"s.tif", tiffStack(imageJ, true), -1, 0, {4, 3, 3, .5, .75, 2.5, 36, -300, -5, 0},
         "@: ImageJ spacing 0.5 x 0.75 x 2.5 micron"},
        {"cut.nii", nifti2(false, {5, 4, 3}), -1, 7, {},
         "@ is cut short: 7 of 120 bytes of samples are missing"},
        {"cut.nii.gz", nifti2(true, {5, 4, 3}), -1, 8 + 10, {},
         "@ is cut short: 10 of 120 bytes of samples are missing"},
        {"header.nii", nifti2(false, {5, 4, 3}), -1, 120 + 244, {},
         "@ is cut short: 240 of the 540 bytes of its NIfTI-2 header are missing"},
        {"past.nii", nifti2(false, {3, 2, 2, 3}), 3, 0, {},
         "--volume 3 is past the last volume of @ (2)"},
        {"flat.nii", nifti2(false, {4, 4, 1}), -1, 0, {},
         "@ is a 2D image (4x4x1); a volume needs three axes"},
        {"huge.nii", nifti2(false, {int64_t(1) << 40, 2, 2}), -1, 0, {},
         "@ claims 1099511627776x2x2 samples, more than can be shown"},
        {"cut.tif", tiffStack(imageJ, true), -1, 200, {},
         "@ is cut short: 2 of its 3 pages are missing"},
        {"cut2.tif", tiffStack("plain", false), -1, 5, {},
         "@ is cut short: 5 of 72 bytes of samples are missing"},
        // clang-format on
    };
    for (const auto& row : rows) {
        const std::string path = writeFile(dir / row.name, row.bytes, row.cut);
        testing::internal::CaptureStderr();
        const ImageRead r = readImage(path, row.volume);
        std::string line = row.line;
        if (!line.empty()) line.replace(line.find('@'), 1, path);
        const bool error = row.samples.empty();
        EXPECT_EQ(std::make_tuple(testing::internal::GetCapturedStderr(), r.error, r.notes,
                                  r.error.empty() ? summary(r) : std::vector<double>()),
                  std::make_tuple(std::string(), error ? line : "",
                                  error || line.empty() ? std::vector<std::string>()
                                                        : std::vector<std::string>{line},
                                  row.samples))
            << row.name;
    }

    // nibabel's example; its spacing and directions as ITK reads its NIfTI-1 twin.
    const std::string data = "/usr/lib/python3/dist-packages/nibabel/tests/data/example";
    if (!std::filesystem::exists(data + "_nifti2.nii.gz")) return;
    const ImageRead a = readImage(data + "_nifti2.nii.gz", 1), b = readImage(data + "4d.nii.gz", 1);
    ASSERT_EQ(a.error + b.error, "");
    std::vector<double> sa = summary(a), sb = summary(b);
    EXPECT_EQ(std::vector<double>(sa.begin(), sa.begin() + 10),
              std::vector<double>({32, 20, 12, 2, 2, 2.199999, 7680, 439, 457, 0}));
    const std::vector<float> values = a.samples.asFloats();
    EXPECT_EQ(std::accumulate(values.begin(), values.end(), 0.0), 3465054);
    for (std::vector<double>* v : {&sa, &sb})
        v->erase(v->begin() + 6, v->begin() + 10), v->erase(v->begin(), v->begin() + 3);
    EXPECT_EQ(sa, sb);
}
