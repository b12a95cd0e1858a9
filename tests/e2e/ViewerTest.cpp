// The real program under Xvfb, driven at its widgets' own positions and
// checked on its window's pixels: the volume, the overlay, the controls and
// the editor.
#include "Viewer.h"

#include <gtest/gtest.h>

namespace {

// Window pixels, origin top left. The panel covers x < 280; right of it the
// window shows only the volume.
struct Region {
    int x0, y0, x1, y1;
};
const Region volumeRegion = {290, 100, 460, 380};

long long countPixels(const Image& image, Region region,
                      const std::function<bool(int, int, int)>& counts) {
    long long n = 0;
    for (int y = region.y0; y < region.y1; ++y)
        for (int x = region.x0; x < region.x1; ++x) {
            const unsigned char* p = image.at(x, y);
            n += counts(p[0], p[1], p[2]);
        }
    return n;
}
long long litPixels(const Image& image, Region region = volumeRegion) {
    return countPixels(image, region, [](int r, int g, int b) { return r + g + b > 30; });
}
long long redPixels(const Image& image) {
    return countPixels(image, volumeRegion,
                       [](int r, int g, int b) { return r > 60 && r > 2 * (g + b); });
}
long long nonGreyPixels(const Image& image) {
    return countPixels(image, volumeRegion, [](int r, int g, int b) { return r != g || g != b; });
}
bool isColour(const Image& image, int x, int y, int r, int g, int b) {
    const unsigned char* p = image.at(x, y);
    return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
}

// The editor in window pixels: (lx, ly) of the editor, y turned down.
int editorX(int lx) {
    return panelLayout().editor->x + lx;
}
int editorY(int ly) {
    return 480 - (panelLayout().editor->y + ly);
}

// The viewer once its window shows the first frames.
struct Started : Viewer {
    explicit Started(const std::vector<std::string>& env = {}) : Viewer({}, env) {
        if (waitForWindow()) waitForPicture([](const Image& i) { return litPixels(i) > 10000; });
    }
    Image withPanel() {
        const Box menu = panelLayout().menuButton->box();
        return waitForPicture(
            [&](const Image& i) { return isColour(i, pointX(menu), pointY(menu), 77, 77, 77); });
    }
    Image withoutPanel() {
        const Box menu = panelLayout().menuButton->box();
        return waitForPicture(
            [&](const Image& i) { return isColour(i, pointX(menu), pointY(menu), 0, 0, 0); });
    }
};

} // namespace

TEST(ViewerEndToEnd, DefaultViewShowsTheColouredVolumeAndThePanel) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    const Image image = v.withPanel();
    EXPECT_GT(countPixels(image, volumeRegion,
                          [](int r, int g, int b) { return g > 60 && g > 2 * (r + b); }),
              1000); // the middle values of the default table
    EXPECT_TRUE(isColour(image, editorX(0), editorY(138), 255, 153, 204)); // bar over blue band
    EXPECT_TRUE(isColour(image, editorX(120), editorY(139), 0, 204, 0));  // green band
    v.key("space");
    const Image hidden = v.withoutPanel();
    EXPECT_TRUE(isColour(hidden, editorX(0), editorY(138), 0, 0, 0));
    EXPECT_GT(litPixels(hidden), 10000);
    EXPECT_EQ(v.quit().status, 0);
}

TEST(ViewerEndToEnd, WithoutTransferFunctionTheVolumeIsGrey) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    v.click(panelLayout().useTfCheckBox->box());
    v.key("space"); // no blue outline cube in the way
    const Image image = v.withoutPanel();
    EXPECT_GT(litPixels(image), 5000);
    EXPECT_EQ(nonGreyPixels(image), 0);
    EXPECT_EQ(v.quit().status, 0);
}

// Same state, same picture: coming back to "over" redraws it exactly.
TEST(ViewerEndToEnd, EachOperatorDrawsItsOwnPictureAndOverComesBackExactly) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    auto pictureWith = [&v](const RadioButton* radio) {
        v.withPanel();
        v.click(radio->box());
        v.key("space");
        const Image image = v.withoutPanel();
        v.key("space");
        return image.rgb;
    };
    const auto over = pictureWith(panelLayout().overRadio),
               norm = pictureWith(panelLayout().normRadio),
               att = pictureWith(panelLayout().attRadio), mip = pictureWith(panelLayout().mipRadio);
    EXPECT_TRUE(over != norm && over != att && over != mip && norm != att && norm != mip &&
                att != mip);
    EXPECT_TRUE(pictureWith(panelLayout().overRadio) == over);
    EXPECT_EQ(v.quit().status, 0);
}

TEST(ViewerEndToEnd, LeftDragTurnsAndRightDragDownComesNearer) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    v.key("space");
    const Image before = v.withoutPanel();
    v.drag(1, 400, 240, 470, 200);
    const Image turned = v.waitForPicture([&](const Image& i) { return i.rgb != before.rgb; });
    const long long lit = litPixels(turned, {0, 0, 640, 480});
    v.drag(3, 400, 200, 400, 260);
    v.waitForPicture([&](const Image& i) { return litPixels(i, {0, 0, 640, 480}) > lit * 2; });
    EXPECT_EQ(v.quit().status, 0);
}

TEST(ViewerEndToEnd, DraggingTheHighBoundRecoloursAtOnceWithPalettes) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    const Image before = v.withPanel();
    v.drag(1, editorX(200), editorY(60), editorX(120), editorY(60));
    v.waitForPicture([&](const Image& i) { return redPixels(i) > redPixels(before) + 1000; });
    EXPECT_EQ(v.quit().status, 0);
}

TEST(ViewerEndToEnd, WithoutPalettesEditsShowAfterApply) {
    Started v({"MESA_EXTENSION_OVERRIDE=-GL_ARB_fragment_program"});
    ASSERT_FALSE(v.window.empty()) << v.why();
    const Image before = v.withPanel();
    v.drag(1, editorX(200), editorY(60), editorX(120), editorY(60));
    // The editor shows the moved bound at once; the volume keeps its colours.
    const Image dragged = v.waitForPicture(
        [](const Image& i) { return isColour(i, editorX(120), editorY(139), 204, 0, 0); });
    EXPECT_LT(redPixels(dragged), redPixels(before) + 100);
    v.click(panelLayout().applyTfButton->box());
    v.waitForPicture([&](const Image& i) { return redPixels(i) > redPixels(before) + 1000; });
    EXPECT_EQ(v.quit().status, 0);
}

TEST(ViewerEndToEnd, InfosPageAndExitButton) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    v.withPanel();
    v.click(panelLayout().infosButton->box());
    // The editor goes; the extension lines are drawn in its place.
    const Box paletted = {panelLayout().palettedLabel->x, panelLayout().palettedLabel->y, 240, 50};
    v.waitForPicture([&](const Image& i) {
        return !isColour(i, editorX(0), editorY(138), 255, 153, 204) &&
               countPixels(i,
                           {paletted.x, 480 - paletted.y - paletted.height,
                            paletted.x + paletted.width, 480 - paletted.y},
                           [](int r, int, int) { return r > 150; }) > 100;
    });
    v.click(panelLayout().menuButton->box()); // back to the menu page
    v.waitForPicture(
        [](const Image& i) { return isColour(i, editorX(0), editorY(138), 255, 153, 204); });
    v.click(panelLayout().exitButton->box());
    const ExitResult r = v.wait();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nThe Skorel developers\n"), std::string::npos);
}
