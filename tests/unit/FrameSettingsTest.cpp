// Pure computations: frame counter, blending and alpha test, view choices,
// value steps, trackball.
#include "render/FrameSettings.h"
#include "commands/Commands.h"
#include "gui/Widget.h"
#include "render/FrameCounter.h"
#include "render/Navigation.h"
#include "render/ViewState.h"

#include <GL/glext.h>
#include <cmath>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

static int fakeNow = 0;

// Creates a counter at `created` ms, then updates it at each of the times.
static FrameCounter run(int created, std::initializer_list<int> times) {
    fakeNow = created;
    FrameCounter counter([] { return fakeNow; });
    for (const int t : times)
        fakeNow = t, counter.update();
    return counter;
}

// Periods close at the first update more than 1000 ms after the last sample.
TEST(FrameCounter, PeriodsCloseStrictlyAfter1000EvenWhenTheClockWraps) {
    FrameCounter counter = run(0, {});
    for (fakeNow = 10; fakeNow <= 1010; fakeNow += 10)
        ASSERT_EQ(counter.update(), 0) << fakeNow;
    fakeNow = 1020;
    EXPECT_EQ(counter.update(), 102);
    EXPECT_EQ(counter.lastSampleTime(), 1010.0f);
    const FrameCounter closed = run(0, {1000, 1005, 1021}), slowStart = run(2500, {2540});
    EXPECT_EQ(std::vector<int>(
                  {closed.fps(), closed.frameTime(), slowStart.fps(), slowStart.frameTime()}),
              std::vector<int>({3, 16, 1, 40}));

    // GLUT's clock wraps after 2^31 ms; periods go on closing across the wrap.
    const uint32_t start = 0x7fffffffu - 1995; // the wrap falls mid-period
    counter = run(int(start), {});
    int periodsAfterWrap = 0;
    for (uint32_t t = start + 10; t != start + 5010; t += 10) {
        fakeNow = int(t);
        const float sampled = counter.lastSampleTime();
        counter.update();
        ASSERT_EQ(counter.frameTime(), 10) << t;
        if (fakeNow < 0 && counter.lastSampleTime() != sampled) {
            ++periodsAfterWrap; // a float keeps the sample time to 256 ms near 2^31
            EXPECT_NEAR(counter.fps(), 115, 15);
        }
    }
    EXPECT_GE(periodsAfterWrap, 2);
}

// Alpha reference 0 with the transfer function, else density x intensity;
// att shares a constant opacity of 3 among the slices.
TEST(FrameSettings, BlendingAndAlphaTestPerOperatorAndTransferFunction) {
    using B = BlendOperator;
    const GLenum add = GL_FUNC_ADD_EXT, oneMinus = GL_ONE_MINUS_SRC_ALPHA;
    const struct {
        B op;
        int slices;
        bool useTf;
        FrameSettings e;
    } rows[] = {
        {B::norm, 80, true, {0, GL_SRC_ALPHA, GL_ONE, add, false, 0}},
        {B::over, 80, true, {0, GL_SRC_ALPHA, oneMinus, add, false, 0}},
        {B::att, 80, true, {0, GL_CONSTANT_ALPHA_EXT, GL_ONE, add, true, 0.0375f}},
        {B::att, 10, false, {0.1f * 0.2f, GL_CONSTANT_ALPHA_EXT, GL_ONE, add, true, 0.3f}},
        {B::mip, 80, false, {0.1f * 0.2f, GL_SRC_ALPHA, GL_ONE, GL_MAX_EXT, false, 0}},
        {B::over, 200, false, {0.1f * 0.2f, GL_SRC_ALPHA, oneMinus, add, false, 0}},
    };
    auto fields = [](const FrameSettings& s) {
        return std::make_tuple(s.alphaReference, s.blendSource, s.blendDestination, s.blendEquation,
                               s.usesBlendColor, s.constantAlpha);
    };
    for (const auto& row : rows)
        EXPECT_EQ(fields(frameSettings(row.op, row.slices, row.useTf, 0.1f, 0.2f)), fields(row.e))
            << int(&row - rows);
}

// The filter flips; each radio button's command picks its operator; other
// commands are not view choices.
TEST(FrameSettings, ViewChoicesOfThePanelsCommands) {
    using B = BlendOperator;
    ViewState v;
    const std::pair<int, B> ops[] = {
        {mipCommand, B::mip}, {normCommand, B::norm}, {attCommand, B::att}, {overCommand, B::over}};
    for (const auto& op : ops) {
        EXPECT_TRUE(setViewChoice(op.first, v));
        EXPECT_EQ(v.blendOperator, op.second) << op.first;
    }
    setViewChoice(filterCommand, v);
    EXPECT_EQ(v.filter, GLenum(GL_NEAREST));
    setViewChoice(filterCommand, v);
    EXPECT_EQ(v.filter, GLenum(GL_LINEAR));
    for (int id : {0, int(useTfCommand), int(editorCommand), int(menuCommand), 93})
        EXPECT_FALSE(setViewChoice(id, v)) << id;
}

TEST(ValueSteps, DoublePrecisionStepsStopExactlyAtTheLimits) {
    float v = 0.2f;
    for (int i = 0; i < 80; ++i)
        v = stepUnitValue(v, 0.01);
    EXPECT_FLOAT_EQ(v, 0.9999993f); // 80 steps from 0.2 stay just below 1
    EXPECT_EQ(std::vector<float>({stepUnitValue(v, 0.01), stepUnitValue(0.03f, -0.05)}),
              std::vector<float>({1, 0}));
    const int slices[][3] = {{80, 10, 90},  {190, 10, 200}, {195, 10, 200}, {200, 10, 200},
                             {20, -10, 10}, {15, -10, 10},  {10, -10, 10}};
    for (const auto& c : slices)
        EXPECT_EQ(stepSliceCount(c[0], c[1]), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(std::vector<int>({rotatingSliceCount(15), rotatingSliceCount(200)}),
              std::vector<int>({10, 133})); // 2/3, >= 10
}

// Centre to the pole, the circle and beyond to the equator, no area as 1 x 1;
// a drag right turns about +y, one up then about -x after it: 90 degrees a unit of chord.
TEST(Trackball, ProjectsOntoTheBallAndTurnsAfterTheRotationSoFar) {
    const float h = std::sqrt(0.5f);
    const float rows[][7] = {{320, 240, 640, 480, 0, 0, 1},
                             {640, 240, 640, 480, 1, 0, 0},
                             {0, 0, 640, 480, -h, h, 0},
                             {0, 0, 0, 0, -h, h, 0}};
    for (const auto& r : rows) {
        float p[3];
        trackballProject(int(r[0]), int(r[1]), int(r[2]), int(r[3]), p);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p[i], r[4 + i], 1e-6) << r[0] << "," << r[1] << " axis " << i;
    }
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, a[3], b[3], c[3];
    trackballProject(320, 240, 640, 480, a);
    trackballProject(400, 240, 640, 480, b);
    trackballProject(320, 160, 640, 480, c);
    rotateByTrackball(a, b, rotation);
    rotateByTrackball(a, c, rotation);
    const float y = std::acos(0.0f) * std::hypot(b[0] - a[0], b[2] - a[2]);
    const float x = -std::acos(0.0f) * std::hypot(c[1] - a[1], c[2] - a[2]);
    const float cx = std::cos(x), sx = std::sin(x), cy = std::cos(y), sy = std::sin(y);
    const float expected[16] = {cy, sx * sy,  -cx * sy, 0, 0, cx, sx, 0, // Rx(x) Ry(y)
                                sy, -sx * cy, cx * cy,  0, 0, 0,  0,  1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(rotation[i], expected[i], 1e-5) << i;
}
