// The real program under Xvfb, driven with xdotool and checked on its
// window's pixels: the volume, the overlay, the controls and the editor.
#include "EndToEnd.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Window pixels, origin top left. The volume is drawn around the centre; the
// panel covers x < 280 on the left, so the right part shows only the volume.
struct Region {
    int x0, y0, x1, y1;
};
const Region volumeRegion = {290, 100, 460, 380};

struct Rgb {
    int r, g, b;
};

long long sumOver(const Image& image, Region region, const std::function<long long(Rgb)>& f) {
    long long sum = 0;
    for (int y = region.y0; y < region.y1; ++y)
        for (int x = region.x0; x < region.x1; ++x) {
            const unsigned char* p = image.at(x, y);
            sum += f({p[0], p[1], p[2]});
        }
    return sum;
}

long long brightness(const Image& image, Region region = volumeRegion) {
    return sumOver(image, region, [](Rgb c) { return c.r + c.g + c.b; });
}
long long litPixels(const Image& image, Region region = volumeRegion) {
    return sumOver(image, region, [](Rgb c) { return c.r + c.g + c.b > 30 ? 1 : 0; });
}
long long redPixels(const Image& image, Region region = volumeRegion) {
    return sumOver(image, region, [](Rgb c) { return c.r > 60 && c.r > 2 * (c.g + c.b) ? 1 : 0; });
}
long long greenPixels(const Image& image, Region region = volumeRegion) {
    return sumOver(image, region, [](Rgb c) { return c.g > 60 && c.g > 2 * (c.r + c.b) ? 1 : 0; });
}
long long nonGreyPixels(const Image& image, Region region = volumeRegion) {
    return sumOver(image, region, [](Rgb c) { return c.r != c.g || c.g != c.b ? 1 : 0; });
}
long long differentPixels(const Image& a, const Image& b, Region region = volumeRegion) {
    long long n = 0;
    for (int y = region.y0; y < region.y1; ++y)
        for (int x = region.x0; x < region.x1; ++x)
            n += std::abs(a.at(x, y)[0] - b.at(x, y)[0]) + std::abs(a.at(x, y)[1] - b.at(x, y)[1]) +
                     std::abs(a.at(x, y)[2] - b.at(x, y)[2]) >
                 6;
    return n;
}
bool isColour(const Image& image, int x, int y, int r, int g, int b) {
    const unsigned char* p = image.at(x, y);
    return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
}

// Panel positions in window pixels of the 640 x 480 window (panel origin at
// (10, 10) from the lower left): x, and y = 480 - (GL y).
const int menuX = 28, menuY = 480 - 425;
const int infosX = 80, infosY = 480 - 425;
const int exitX = 136, exitY = 480 - 425;
const int useTfX = 30, useTfY = 480 - 195;
const int applyTfX = 105, applyTfY = 480 - 165;
const int radioY = 480 - 225;
const int normX = 25, overX = 80, attX = 135, mipX = 185;
// The editor's high bound (170) is grabbed right of it: editor x 200, y 60.
const int highBoundX = 20 + 200, highBoundY = 480 - (12 + 60);

class Viewer {
  public:
    explicit Viewer(const std::vector<std::string>& env = {}) : app(server, {}, env) {
        window = app.waitForWindow("Skorel");
        if (window.empty()) return;
        app.xdotool("mousemove --window " + window + " 600 20");
        waitFor([](const Image& i) { return litPixels(i) > 10000; }); // the first frames
    }
    bool ok() const { return !window.empty(); }
    // What the program said when it ended without showing its window.
    std::string why() {
        const ExitResult r = app.wait(5);
        return "status " + std::to_string(r.status) + "\n" + r.out + r.err;
    }
    void key(const std::string& k) {
        app.xdotool("mousemove --window " + window + " 600 20 windowfocus --sync " + window +
                    " key " + k);
    }
    void click(int x, int y) {
        app.xdotool("mousemove --window " + window + " " + std::to_string(x) + " " +
                    std::to_string(y) + " click 1");
        app.xdotool("mousemove --window " + window + " 600 20");
    }
    void drag(int button, int x0, int y0, int x1, int y1, int steps = 10) {
        std::string args = "mousemove --window " + window + " " + std::to_string(x0) + " " +
                           std::to_string(y0) + " mousedown " + std::to_string(button);
        for (int i = 1; i <= steps; ++i)
            args += " mousemove --window " + window + " " +
                    std::to_string(x0 + (x1 - x0) * i / steps) + " " +
                    std::to_string(y0 + (y1 - y0) * i / steps) + " sleep 0.02";
        app.xdotool(args + " mouseup " + std::to_string(button));
        app.xdotool("mousemove --window " + window + " 600 20");
    }
    // The first picture of the window that shows what the test waits for: the
    // program draws continuously, so a state change shows within a few frames.
    Image waitFor(const std::function<bool(const Image&)>& shows, double seconds = 20) {
        Image current;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(long(seconds * 1000));
        do {
            current = app.screenshot(window);
            if (current.width == 640 && current.height == 480 && shows(current)) return current;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        ADD_FAILURE() << "the window never showed what was expected";
        return current;
    }
    Image withPanel() {
        return waitFor([](const Image& i) { return isColour(i, menuX, menuY, 77, 77, 77); });
    }
    Image withoutPanel() {
        return waitFor([](const Image& i) { return isColour(i, menuX, menuY, 0, 0, 0); });
    }
    ExitResult exit() {
        key("Escape");
        return app.wait();
    }

    XServer server;
    SkorelProcess app;
    std::string window;
};

} // namespace

// Editor band pixel above the histogram bars at value 120: green at first.
const int bandX = 20 + 120, bandY = 480 - (12 + 139);

TEST(ViewerEndToEnd, DefaultViewShowsTheColouredVolumeAndThePanel) {
    Viewer v;
    ASSERT_TRUE(v.ok()) << v.why();
    const Image image = v.withPanel();
    EXPECT_GT(litPixels(image), 10000);
    EXPECT_GT(greenPixels(image), 1000); // the middle values of the default table
    EXPECT_GT(nonGreyPixels(image), 10000);
    EXPECT_TRUE(isColour(image, 20, 480 - 150, 255, 153, 204)); // histogram bar over the blue band
    EXPECT_TRUE(isColour(image, bandX, bandY, 0, 204, 0));

    v.key("space");
    const Image hidden = v.withoutPanel();
    EXPECT_TRUE(isColour(hidden, 20, 480 - 150, 0, 0, 0));
    EXPECT_GT(litPixels(hidden), 10000);
    v.key("space");
    v.withPanel();
    EXPECT_EQ(v.exit().status, 0);
}

TEST(ViewerEndToEnd, WithoutTransferFunctionTheVolumeIsGrey) {
    Viewer v;
    ASSERT_TRUE(v.ok()) << v.why();
    v.click(useTfX, useTfY);
    v.key("space"); // no blue outline cube in the way
    const Image image = v.withoutPanel();
    EXPECT_GT(litPixels(image), 5000);
    EXPECT_EQ(nonGreyPixels(image), 0);
    EXPECT_EQ(v.exit().status, 0);
}

TEST(ViewerEndToEnd, BlendingOperatorsChangeThePicture) {
    Viewer v;
    ASSERT_TRUE(v.ok()) << v.why();
    // Each picture without the overlay, taken after the radio button's click.
    auto pictureWith = [&v](int radioX) {
        v.withPanel();
        v.click(radioX, radioY);
        v.key("space");
        const Image image = v.withoutPanel();
        v.key("space");
        return image;
    };
    const Image over = pictureWith(overX);
    const Image norm = pictureWith(normX);
    const Image mip = pictureWith(mipX);
    EXPECT_GT(brightness(norm), brightness(over) * 11 / 10);
    EXPECT_GE(brightness(mip), brightness(over));
    long long darker = 0;
    for (int y = volumeRegion.y0; y < volumeRegion.y1; ++y)
        for (int x = volumeRegion.x0; x < volumeRegion.x1; ++x)
            for (int c = 0; c < 3; ++c)
                darker += mip.at(x, y)[c] + 2 < over.at(x, y)[c];
    EXPECT_EQ(darker, 0);
    EXPECT_EQ(v.exit().status, 0);
}

TEST(ViewerEndToEnd, LeftDragTurnsAndRightDragDownComesNearer) {
    Viewer v;
    ASSERT_TRUE(v.ok()) << v.why();
    v.key("space");
    const Image before = v.withoutPanel();
    v.drag(1, 400, 240, 470, 200);
    const Image turned =
        v.waitFor([&](const Image& i) { return differentPixels(before, i) > 2000; });
    const long long lit = litPixels(turned, {0, 0, 640, 480});
    v.drag(3, 400, 200, 400, 260);
    v.waitFor([&](const Image& i) { return litPixels(i, {0, 0, 640, 480}) > lit * 2; });
    EXPECT_EQ(v.exit().status, 0);
}

TEST(ViewerEndToEnd, DraggingTheHighBoundRecoloursAtOnceWithPalettes) {
    Viewer v;
    ASSERT_TRUE(v.ok()) << v.why();
    const Image before = v.withPanel();
    v.drag(1, highBoundX, highBoundY, highBoundX - 80, highBoundY);
    v.waitFor([&](const Image& i) { return redPixels(i) > redPixels(before) + 1000; });
    EXPECT_EQ(v.exit().status, 0);
}

TEST(ViewerEndToEnd, WithoutPalettesEditsShowAfterApply) {
    Viewer v({"MESA_EXTENSION_OVERRIDE=-GL_ARB_fragment_program"});
    ASSERT_TRUE(v.ok()) << v.why();
    const Image before = v.withPanel();
    v.drag(1, highBoundX, highBoundY, highBoundX - 80, highBoundY);
    // The editor shows the moved bound at once; the volume keeps its colours.
    const Image dragged =
        v.waitFor([](const Image& i) { return isColour(i, bandX, bandY, 204, 0, 0); });
    EXPECT_LT(redPixels(dragged), redPixels(before) + 100);
    v.click(applyTfX, applyTfY);
    v.waitFor([&](const Image& i) { return redPixels(i) > redPixels(before) + 1000; });
    EXPECT_EQ(v.exit().status, 0);
}

TEST(ViewerEndToEnd, InfosPageAndExitButton) {
    Viewer v;
    ASSERT_TRUE(v.ok()) << v.why();
    v.withPanel();
    v.click(infosX, infosY);
    // The editor (bars over its bands) goes; the extension lines are drawn there instead.
    const Image infos = v.waitFor([](const Image& i) {
        return sumOver(i, {20, 330, 276, 470},
                       [](Rgb c) { return c.r > 200 && c.g < 180 && c.b > 150; }) == 0;
    });
    EXPECT_GT(sumOver(infos, {20, 420, 260, 470}, [](Rgb c) { return c.r > 150 ? 1 : 0; }), 100);
    v.click(menuX, menuY); // back to the menu page
    v.waitFor([](const Image& i) { return isColour(i, 20, 480 - 150, 255, 153, 204); });
    v.click(exitX, exitY);
    const ExitResult r = v.app.wait();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nThe Skorel developers\n"), std::string::npos);
}
