#include "GlTestContext.h"

#include "render/FrameCounter.h"

#include <gtest/gtest.h>

namespace {

int fakeNow = 0;
int fakeClock() {
    return fakeNow;
}

// Creates a counter at `created` ms, then updates it at each of the times.
FrameCounter run(int created, std::initializer_list<int> times) {
    fakeNow = created;
    FrameCounter counter(fakeClock);
    for (const int t : times)
        fakeNow = t, counter.update();
    return counter;
}

} // namespace

TEST(FrameCounter, TenMillisecondFramesCloseTheFirstPeriodAt1020) {
    FrameCounter counter = run(0, {});
    for (fakeNow = 10; fakeNow <= 1010; fakeNow += 10)
        ASSERT_EQ(counter.update(), 0) << fakeNow;
    fakeNow = 1020;
    EXPECT_EQ(counter.update(), 102);
    EXPECT_EQ(counter.lastSampleTime(), 1010.0f);
    for (fakeNow = 1030; fakeNow <= 2020; fakeNow += 10)
        ASSERT_EQ(counter.update(), 102);
    fakeNow = 2030;
    EXPECT_EQ(counter.update(), 101);
}

TEST(FrameCounter, PeriodsCloseStrictlyAfter1000AndCountFrameTimes) {
    FrameCounter counter = run(0, {1000, 1005}); // previous update exactly 1000 after the sample
    EXPECT_EQ(counter.fps(), 0);
    counter = run(0, {1000, 1005, 1021});
    EXPECT_EQ(counter.fps(), 3);
    EXPECT_EQ(counter.frameTime(), 16);
    // A start-up slower than a second closes a period on the first update.
    counter = run(2500, {2540});
    EXPECT_EQ(counter.fps(), 1);
    EXPECT_EQ(counter.frameTime(), 40);
    EXPECT_EQ(counter.lastSampleTime(), 2500.0f);
}

TEST(FrameCounter, KeepsCountingWhenTheClockWrapsAfter2To31Milliseconds) {
    const uint32_t start = 0x7fffffffu - 1995; // the wrap falls mid-period
    FrameCounter counter = run(int(start), {});
    int periodsAfterWrap = 0;
    for (uint32_t t = start + 10; t != start + 5010; t += 10) {
        fakeNow = int(t);
        const float sampled = counter.lastSampleTime();
        counter.update();
        ASSERT_EQ(counter.frameTime(), 10) << t;
        if (fakeNow < 0 && counter.lastSampleTime() != sampled) {
            ++periodsAfterWrap;
            // Near 2^31 a float keeps the sample time to 256 ms: periods of 1 to 1.3 s.
            EXPECT_GE(counter.fps(), 100) << t;
            EXPECT_LE(counter.fps(), 130) << t;
        }
    }
    EXPECT_GE(periodsAfterWrap, 2);
}

TEST(FrameCounter, IdleCountsAFrameOnTheProgramsCounter) {
    ensureGlContext(); // idle posts a redisplay
    FrameCounter counter = run(0, {});
    frameCounter = &counter;
    fakeNow = 30;
    idle();
    EXPECT_EQ(counter.frameTime(), 30);
    frameCounter = nullptr;
    idle();
}
