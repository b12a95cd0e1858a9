// skorel-open shows data in patient space from the front whatever order the
// file keeps them in: one phantom written in several orientations and formats
// gives one picture, and the faces' letters stand where its bars point.
#include "FormatFiles.h"
#include "GlTestContext.h"
#include "Viewer.h"

#include <GL/freeglut.h>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace {

using Image16 = itk::Image<short, 3>;
using Point = std::array<double, 3>;
using Mask = std::set<std::pair<int, int>>;

// Bars 3 mm thick from a corner at the patient's right, front and foot (LPS
// mm): to the left, to the back and up, each of its own length and value.
const double corner = -5.5, tip[3] = {9, 5, 7};
short phantom(const double* p) {
    for (int a = 0; a < 3; ++a)
        if (p[a] > corner - 1.5 && p[a] < tip[a] && std::fabs(p[(a + 1) % 3] - corner) < 1.5 &&
            std::fabs(p[(a + 2) % 3] - corner) < 1.5)
            return short(1000 - 300 * a);
    return 0;
}

// Slices from `first` of a grid of 24 samples of 1 mm a side along the rows
// (LPS), centred on the patient's origin.
Image16::Pointer grid(const double (&rows)[3][3], int first = 0, size_t slices = 24) {
    const auto image = Image16::New();
    Image16::DirectionType d;
    Image16::PointType p;
    for (int k = 0; k < 3; ++k) {
        p[k] = (first - 11.5) * rows[2][k] - 11.5 * (rows[0][k] + rows[1][k]);
        for (int a = 0; a < 3; ++a)
            d(k, a) = rows[a][k];
    }
    image->SetRegions(Image16::SizeType{{24, 24, slices}});
    image->SetDirection(d);
    image->SetOrigin(p);
    image->Allocate();
    for (int i = 0; i < 576 * int(slices); ++i) {
        image->TransformIndexToPhysicalPoint({{i % 24, i / 24 % 24, i / 576}}, p);
        image->GetBufferPointer()[i] = phantom(p.GetDataPointer());
    }
    return image;
}

// The white pixels within 12 of (x, y), from the top left of their bounds.
Mask whiteNear(const Image& image, int x, int y) {
    Mask m, out;
    int left = x + 12, top = y + 12;
    for (int j = std::max(y - 12, 0); j <= std::min(y + 12, image.height - 1); ++j)
        for (int i = std::max(x - 12, 0); i <= std::min(x + 12, image.width - 1); ++i)
            if (image.at(i, j)[0] + image.at(i, j)[1] + image.at(i, j)[2] == 3 * 255)
                m.insert({i, j}), left = std::min(left, i), top = std::min(top, j);
    for (const auto& [i, j] : m)
        out.insert({i - left, j - top});
    return out;
}

// The letter at a point of the picture, read against the font drawn in the
// test's own GL context; '-' for none (the blank glyph), '?' for other pixels.
char letterAt(const Image& image, const std::array<double, 2>& at) {
    ensureGlContext();
    glLoadIdentity();
    glOrtho(0, 256, 0, 256, -1, 1);
    for (char c : std::string("-LRAPSIxyz")) {
        glClear(GL_COLOR_BUFFER_BIT);
        glRasterPos2i(12, 12);
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, c == '-' ? ' ' : c);
        const std::vector<unsigned char> rgba = readPixels(32, 32); // rows bottom to top
        Image glyph{32, 32, {}};
        for (int i = 0; i < 32 * 32; ++i)
            glyph.rgb.insert(glyph.rgb.end(), &rgba[4 * (32 * (31 - i / 32) + i % 32)],
                             &rgba[4 * (32 * (31 - i / 32) + i % 32) + 3]);
        if (whiteNear(glyph, 16, 16) == whiteNear(image, int(at[0]), int(at[1]))) return c;
    }
    return '?';
}

// Where an eye-space point lands in the window: the box's half-size is one
// unit, its centre 4.4 units in front of the eye, 45 degrees of view.
std::array<double, 2> screen(const Point& e) {
    const double f = 240 / std::tan(M_PI / 8) / (4.4 - e[2]);
    return {320 + f * e[0], 240 - f * e[1]};
}

// A phantom point (LPS mm, 12 to the unit) seen from the front, or in the
// file's index axes, here LPS.
Point eye(const Point& p, bool patient) {
    return patient ? Point{p[0] / 12, p[2] / 12, -p[1] / 12}
                   : Point{p[0] / 12, p[1] / 12, p[2] / 12};
}

bool drawn(const Image& image, const std::array<double, 2>& at) { // not the box's blue
    const unsigned char* p = image.at(int(std::lround(at[0])), int(std::lround(at[1])));
    return p[0] + p[1] >= 60;
}

int differing(const Image& a, const Image& b) { // below the frame-rate line
    int n = 0;
    for (int y = 40; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            n += !std::equal(a.at(x, y), a.at(x, y) + 3, b.at(x, y));
    return n;
}

} // namespace

TEST(OpenOrientation, EveryOrderShowsThePatientFromTheFront) {
    TempDir dir;
    const double t = 0.4, c = std::cos(t), s = std::sin(t); // 23 degrees about left-right
    const struct {
        std::string file, code; // no code: no patient space
        double rows[3][3];
        double tilt; // of the box, about the screen's x axis
        bool exact;  // the same voxels as the first, so the same picture
        std::string shear = "";
    } cases[] = {
        {"ras.nii.gz", "RAS", {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, 0, true},
        {"las.nii", "LAS", {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, 0, true},
        {"lps.nrrd", "LPS", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0, true},
        {"coronal", "LIP", {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, 0, true}, // a DICOM series
        {"tilted.mha", "LPS", {{1, 0, 0}, {0, c, s}, {0, -s, c}}, t, false},
        {"sheared.mha", "LPS", {{1, 0, 0}, {0, 1, 0}, {0, 0.3, 1}}, 0, false, "16.7 degrees"},
        {"index.vtk", "", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0, false},
    };
    Image first;
    for (const auto& row : cases) {
        const std::string path = dir / row.file;
        if (row.file != "coronal") writeImage(grid(row.rows).GetPointer(), path);
        for (int z = 0; z < 24 && row.file == "coronal"; ++z) // a DICOM series
            writeDicomSlice(grid(row.rows, z, 1).GetPointer(),
                            path + "/" + std::to_string(z) + ".dcm", "1.2.826.0.1.3680043.2.1");
        const bool patient = !row.code.empty();
        Viewer app({path, "--window", "0,1000"}, {}, SKOREL_OPEN_BINARY);
        ASSERT_TRUE(app.waitForWindow()) << app.why();
        Image last; // the first picture that stays, with the bars' corner drawn
        const Image picture = app.waitForPicture([&](const Image& now) {
            const bool steady = last.width == 640 && differing(now, last) == 0;
            last = now;
            return steady && drawn(now, screen(eye({corner, corner, corner}, patient)));
        });
        // Letters at the middle of the +x, +y, -y and +z faces, turned with the
        // box; the -x face lies under the panel.
        std::string letters;
        for (const Point& f : {Point{1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}})
            letters += letterAt(picture,
                                screen({f[0], f[1] * std::cos(row.tilt) - f[2] * std::sin(row.tilt),
                                        f[1] * std::sin(row.tilt) + f[2] * std::cos(row.tilt)}));
        EXPECT_EQ(letters, patient ? "LSIA" : "xy-z") << row.file;
        // Bars drawn 1 mm short of their ends, not 2 mm past them: the left
        // one runs right, the superior one up (in the index axes, the posterior).
        for (int a : {0, patient ? 2 : 1})
            for (double past : {-1.0, 2.0}) {
                Point p = {corner, corner, corner};
                p[a] = tip[a] + past;
                EXPECT_EQ(drawn(picture, screen(eye(p, patient))), past < 0) << row.file << a;
            }
        if (first.width == 0) first = picture;
        EXPECT_EQ(row.exact ? differing(picture, first) : 0, 0) << row.file;
        app.key("space"); // the overlay goes, and the letters with it
        app.waitForPicture([](const Image& now) {
            return letterAt(now, screen({1, 0, 0})) == '-';
        });
        const std::string dropped = path + ": the axes are sheared by up to " + row.shear +
                                    "; the shear is dropped, spacing 1 x 1 x 1\n";
        EXPECT_NE(app.quit().out.find((row.shear.empty() ? "" : dropped) + "Opened " + path +
                                      ": 24x24x24 voxels, spacing 1 x 1 x 1" +
                                      (patient ? ", orientation " + row.code : "") + "\n"),
                  std::string::npos)
            << row.file;
    }
}
