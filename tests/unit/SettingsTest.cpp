// Settings files read back exactly, refuse a bad line by its number and skip
// unknown keys; the clipping plane's outline on the box.
#include "commands/Settings.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(Settings, EveryValueReadsBackExactly) {
    Look look;
    look.transfer.lowBound = 3, look.transfer.highBound = 256;
    look.transfer.controlPoints[2] = {60, 128};
    look.blendOperator = BlendOperator::mip;
    look.density = std::nextafter(0.1f, 1.0f), look.intensity = 1.0f / 3;
    look.sliceCount = 199, look.linearFilter = false;
    look.windowGiven = true, look.window[0] = -1.0 / 3, look.window[1] = 1e300;
    const float c = std::cos(0.3f), s = std::sin(0.3f);
    const float turn[9] = {c, 0, -s, 0, 1, 0, s, 0, c};
    std::copy(turn, turn + 9, look.rotation), look.rotationGiven = true;
    look.distance = -1.0f - 1e-6f;
    look.clip = {true, {s, 0, c}, -0.7f};
    look.opacityCorrection = false;
    Look read;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(parseLook(formatLook(look), read, error, warnings)) << error;
    EXPECT_EQ(formatLook(read), formatLook(look)); // %.9g tells every float apart
    EXPECT_EQ(std::make_tuple(read.density, read.window[0], read.clip.offset, warnings.size()),
              std::make_tuple(look.density, look.window[0], look.clip.offset, size_t(0)));
}

TEST(Settings, ABadLineIsNamedAndKeepsEveryValueUnknownKeysAreSkipped) {
    const struct {
        std::string text, error;
    } rows[] = {
        {"\x89PNG\r\n", "line 1: not a 'key = values' line"},
        {"# mine\n\nslices = 90\nslices = 20.5\n",
         "line 4: slices wants a whole number from 10 to 200"},
        {"transfer-bounds = 90 80", "line 1: transfer-bounds wants two whole numbers LOW HIGH, "
                                    "0 <= LOW <= HIGH <= 256"},
        {"transfer-points = 0 0 60 1 50 2 153 76 204 102 255 128",
         "line 1: transfer-points wants six pairs X Y of whole numbers: X from 0 up to 255 in "
         "order, Y from 0 to 128"},
        {"operator = over att", "line 1: operator wants norm, over, att or mip"},
        {"density = 1.5", "line 1: density wants a number from 0 to 1"},
        {"window = 5 5", "line 1: window wants two numbers LOW HIGH, LOW below HIGH"},
        {"rotation = 1 0 0 0 1 0 0 0 -1",
         "line 1: rotation wants nine numbers, the columns of a turn"},
        {"distance = -0.5", "line 1: distance wants a number from -19 to -1"},
        {"clip = 0 0 0.5 0",
         "line 1: clip wants off, or a unit normal X Y Z and an offset from -2 to 2"},
        {"opacity-correction = yes", "line 1: opacity-correction wants on or off"},
    };
    for (const auto& row : rows) {
        Look look;
        std::string error;
        std::vector<std::string> warnings;
        EXPECT_FALSE(parseLook(row.text, look, error, warnings));
        EXPECT_EQ(std::make_pair(error, formatLook(look)),
                  std::make_pair(row.error, formatLook({})));
    }
    Look look;
    std::string error;
    std::vector<std::string> warnings;
    EXPECT_TRUE(parseLook("zoom = 2\n  filter=nearest  \n", look, error, warnings));
    EXPECT_EQ(
        std::make_pair(warnings, look.linearFilter),
        std::make_pair(std::vector<std::string>{"line 1: unknown key 'zoom' skipped"}, false));
}

// Through the centre along z: the box's middle rectangle; along the diagonal:
// the hexagon through the edges' middles; moved to the corner: a point, none.
TEST(ClipPlane, OutlineIsWhereThePlaneCutsTheBoxInOrder) {
    const float box[3] = {1, 0.5f, 0.25f}, cube[3] = {1, 1, 1}, d = 1 / std::sqrt(3.0f);
    ClipPlane z, diagonal = {true, {d, d, d}, 0};
    float corners[6][3];
    ASSERT_EQ(clipOutline(z, box, corners), 4);
    for (int c = 0; c < 4; ++c) // every corner once, each beside the next
        EXPECT_EQ(std::make_tuple(std::fabs(corners[c][0]), std::fabs(corners[c][1]), corners[c][2],
                                  corners[c][0] == corners[(c + 1) % 4][0] ||
                                      corners[c][1] == corners[(c + 1) % 4][1]),
                  std::make_tuple(1.0f, 0.5f, 0.0f, true));
    ASSERT_EQ(clipOutline(diagonal, cube, corners), 6);
    for (int c = 0; c < 6; ++c) { // middles of edges, each sharing a face with the next
        const float* p = corners[c];
        const float* q = corners[(c + 1) % 6];
        EXPECT_EQ(std::fabs(p[0]) + std::fabs(p[1]) + std::fabs(p[2]), 2.0f);
        EXPECT_TRUE(p[0] == q[0] || p[1] == q[1] || p[2] == q[2]) << c;
    }
    moveClipPlane(diagonal, 5, cube);
    EXPECT_FLOAT_EQ(diagonal.offset, 3 * d);
    EXPECT_EQ(clipOutline(diagonal, cube, corners), 0);
}
