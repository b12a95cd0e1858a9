// What users do to the window of the real binary: shrink it to nothing, hide
// and restore it, hold a key down, click while it starts. It must keep
// running with a sane view and end with status 0 on Esc.
#include "EndToEnd.h"
#include "TempFile.h"
#include "render/Navigation.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// The volume and its outline cube, clear of the panel and the frame rate.
std::vector<unsigned char> volumeArea(const Image& image) {
    std::vector<unsigned char> area;
    for (int y = 100; y < 400 && y < image.height; ++y)
        for (int x = 300; x < 620 && x < image.width; ++x)
            area.insert(area.end(), image.at(x, y), image.at(x, y) + 3);
    return area;
}

class WindowEvents : public ::testing::Test {
  protected:
    void start(const std::vector<std::string>& args = {}) {
        app.reset(new SkorelProcess(server, args));
        window = app->waitForWindow("Skorel");
        ASSERT_FALSE(window.empty()) << app->wait().err;
        app->xdotool("mousemove --window " + window + " 400 240 windowfocus --sync " + window);
    }
    // The volume area once two frames 0.3 s apart agree (the machine may be busy).
    std::vector<unsigned char> picture() {
        std::vector<unsigned char> last = volumeArea(app->screenshot(window));
        for (int i = 0; i < 20; ++i) {
            app->settle(0.3);
            std::vector<unsigned char> now = volumeArea(app->screenshot(window));
            if (now == last) break;
            last.swap(now);
        }
        return last;
    }
    // Redraws after a map or resize may lag: wait for the expected picture.
    bool showsWithin(const std::vector<unsigned char>& expected, double seconds) {
        for (double waited = 0; waited < seconds; waited += 0.2) {
            if (volumeArea(app->screenshot(window)) == expected) return true;
            app->settle(0.2);
        }
        return false;
    }
    bool changesWithin(const std::vector<unsigned char>& old, double seconds) {
        for (double waited = 0; waited < seconds; waited += 0.2) {
            app->settle(0.2);
            if (volumeArea(app->screenshot(window)) != old) return true;
        }
        return false;
    }
    void key(const std::string& name) { app->xdotool("key --window " + window + " " + name); }
    void expectEscEndsWithZero() {
        ASSERT_TRUE(app->running()) << app->wait().err;
        key("Escape");
        const ExitResult r = app->wait();
        EXPECT_TRUE(r.exited) << (r.timedOut ? "timed out" : "ended by a signal");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
    }

    XServer server;
    std::unique_ptr<SkorelProcess> app;
    std::string window;
};

} // namespace

TEST_F(WindowEvents, ShrinkingToNothingAndBackKeepsTheView) {
    start();
    const auto before = picture();
    // X refuses a height of 0 (xdotool leaves the size); 1 is the smallest.
    for (const char* size : {"640 0", "640 1", "1 1", "0 0"}) {
        app->xdotool("windowsize " + window + " " + size);
        app->settle(0.2);
        app->xdotool("mousemove --window " + window + " 0 0 click 1 click 3");
        ASSERT_TRUE(app->running()) << size;
    }
    app->xdotool("windowsize " + window + " 640 480");
    app->xdotool("mousemove --window " + window + " 400 240");
    EXPECT_TRUE(showsWithin(before, 10)) << "the view changed";

    // A drag in a window with no room for a trackball still turns by a
    // finite amount: the volume stays in sight.
    app->xdotool("windowsize " + window + " 1 1");
    app->xdotool("mousemove --window " + window + " 0 0 mousedown 1 mousemove --window " + window +
                 " 1 1 mousemove --window " + window + " 0 1 mouseup 1");
    app->xdotool("windowsize " + window + " 640 480");
    app->xdotool("mousemove --window " + window + " 400 240");
    size_t lit = 0;
    for (unsigned char c : picture())
        lit += c > 40;
    EXPECT_GT(lit, 1000u) << "the volume is gone";
    expectEscEndsWithZero();
}

TEST_F(WindowEvents, HidingAndRestoringKeepsTheView) {
    start();
    const auto before = picture();
    // Without a window manager iconifying does nothing; unmapping is what it
    // does to the window.
    for (int i = 0; i < 3; ++i) {
        app->xdotool("windowminimize " + window);
        app->xdotool("windowunmap --sync " + window);
        app->settle(0.3);
        ASSERT_TRUE(app->running());
        app->xdotool("windowmap --sync " + window);
    }
    app->xdotool("windowfocus --sync " + window);
    EXPECT_TRUE(showsWithin(before, 10)) << "the view changed";
    expectEscEndsWithZero();
}

TEST_F(WindowEvents, HeldKeysStopAtTheSliceLimits) {
    start();
    for (const char* held : {"e", "d"}) {
        app->xdotool("keydown --window " + window + " " + std::string(held) + " sleep 2.5 keyup " +
                     held);
        // Pinned at the limit: one more step the same way changes nothing,
        // one step back does.
        const auto atLimit = picture();
        key(held);
        EXPECT_FALSE(changesWithin(atLimit, 1.5)) << held << " went past its limit";
        key(std::string(held) == "e" ? "d" : "e");
        EXPECT_TRUE(changesWithin(atLimit, 10)) << held << " is not at a limit";
    }
    expectEscEndsWithZero();
}

TEST_F(WindowEvents, ClicksAndKeysDuringStartUpAreHarmless) {
    // A volume large enough that start-up takes a while.
    TempFile file(patternBytes(256 * 256 * 64));
    SkorelProcess* starting = new SkorelProcess(server, {file.c_str(), "256", "256", "64", "8"});
    app.reset(starting);
    std::string id;
    while (id.empty() && app->running()) {
        id = app->xdotoolOutput("search --name '^Skorel$'");
        id = id.substr(0, id.find('\n'));
    }
    ASSERT_FALSE(id.empty()) << app->wait().err;
    for (int i = 0; i < 10; ++i)
        app->xdotool("mousemove --window " + id + " " + std::to_string(100 + 20 * i) +
                     " 200 click 1 click 3 mousedown 1 mousemove --window " + id +
                     " 320 240 mouseup 1 key --window " + id + " e space space");
    window = app->waitForWindow("Skorel");
    ASSERT_FALSE(window.empty());
    app->settle(0.5);
    EXPECT_TRUE(app->running());
    expectEscEndsWithZero();
}

// Some platforms report a minimised window as 0 x 0 while a drag goes on;
// a NaN here would lose the rotation for good.
TEST(TrackballWithoutArea, TurnsStayFinite) {
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float from[3], to[3];
    trackballProject(0, 0, 0, 0, from);
    trackballProject(5, -3, 0, 480, to);
    rotateByTrackball(from, to, rotation);
    trackballProject(7, 2, 640, 0, from);
    rotateByTrackball(to, from, rotation);
    for (const float* p : {from, to})
        EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 1.0f, 1e-5f);
    for (float m : rotation)
        EXPECT_TRUE(std::isfinite(m));
}
