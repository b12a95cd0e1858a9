// What users do to the window of the real binary: shrink it to nothing, hide
// and restore it, click and type while it starts. It must keep running, show
// the same view again, and end with status 0 on Esc.
#include "TempFile.h"
#include "Viewer.h"

#include <gtest/gtest.h>

namespace {

// The volume and its outline cube, clear of the panel and the frame rate.
std::vector<unsigned char> volumeArea(const Image& image) {
    std::vector<unsigned char> area;
    for (int y = 100; y < 400; ++y)
        for (int x = 300; x < 620; ++x)
            area.insert(area.end(), image.at(x, y), image.at(x, y) + 3);
    return area;
}

size_t lit(const std::vector<unsigned char>& area) {
    return size_t(std::count_if(area.begin(), area.end(), [](unsigned char c) { return c > 40; }));
}

void expectEscEndsWithZero(Viewer& v) {
    ASSERT_TRUE(v.running()) << v.why();
    const ExitResult r = v.quit();
    EXPECT_TRUE(r.exited) << "timed out or ended by a signal";
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

// The view of a running viewer, once its first frames are drawn.
std::vector<unsigned char> firstView(Viewer& v) {
    return volumeArea(v.waitForPicture([](const Image& i) { return lit(volumeArea(i)) > 1000; }));
}

void expectView(Viewer& v, const std::vector<unsigned char>& expected) {
    v.waitForPicture([&](const Image& i) { return volumeArea(i) == expected; });
}

} // namespace

TEST(WindowEvents, ShrinkingToNothingAndBackKeepsTheView) {
    Viewer v;
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    const auto before = firstView(v);
    // X refuses a height of 0 (xdotool leaves the size); 1 is the smallest.
    for (const char* size : {"640 0", "640 1", "1 1", "0 0"}) {
        v.xdotool("windowsize " + v.window + " " + size);
        v.xdotool("mousemove --window " + v.window + " 0 0 click 1 click 3");
        ASSERT_TRUE(v.running()) << size;
    }
    v.xdotool("windowsize " + v.window + " 640 480");
    expectView(v, before);

    // A drag in a window with no room for a trackball turns by a finite
    // amount: the volume stays in sight.
    v.xdotool("windowsize " + v.window + " 1 1");
    v.xdotool("mousemove --window " + v.window + " 0 0 mousedown 1 mousemove --window " + v.window +
              " 1 1 mousemove --window " + v.window + " 0 1 mouseup 1");
    v.xdotool("windowsize " + v.window + " 640 480");
    firstView(v);
    expectEscEndsWithZero(v);
}

TEST(WindowEvents, HidingAndRestoringKeepsTheView) {
    Viewer v;
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    const auto before = firstView(v);
    // Without a window manager iconifying does nothing; unmapping is what it
    // does to the window.
    for (int i = 0; i < 3; ++i) {
        v.xdotool("windowminimize " + v.window);
        v.xdotool("windowunmap --sync " + v.window);
        ASSERT_TRUE(v.running());
        v.xdotool("windowmap --sync " + v.window);
    }
    expectView(v, before);
    expectEscEndsWithZero(v);
}

TEST(WindowEvents, ClicksAndKeysDuringStartUpAreHarmless) {
    // A volume large enough that start-up takes a while.
    TempFile file(patternBytes(256 * 256 * 64));
    Viewer v({file.c_str(), "256", "256", "64", "8"});
    std::string id;
    ASSERT_TRUE(waitUntil([&] {
        id = v.run("xdotool search --name '^Skorel$'");
        id = id.substr(0, id.find('\n'));
        return !id.empty() || !v.running();
    }));
    ASSERT_FALSE(id.empty()) << v.why();
    for (int i = 0; i < 10; ++i)
        v.xdotool("mousemove --window " + id + " " + std::to_string(100 + 20 * i) +
                  " 200 click 1 click 3 mousedown 1 mousemove --window " + id +
                  " 320 240 mouseup 1 key --window " + id + " e space space");
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    firstView(v);
    expectEscEndsWithZero(v);
}
