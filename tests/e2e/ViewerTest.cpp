// The real program under Xvfb, driven at its widgets' own positions and
// checked on its window's pixels: the volume, the overlay, the controls and
// the editor.
#include "Viewer.h"

#include <gtest/gtest.h>

namespace {

// Right of the panel (x < 280) the window shows only the volume.
long long count(const Image& image, const std::function<bool(int, int, int)>& counts, int x0 = 290,
                int y0 = 100, int x1 = 460, int y1 = 380) {
    long long n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += counts(image.at(x, y)[0], image.at(x, y)[1], image.at(x, y)[2]);
    return n;
}
long long lit(const Image& i) {
    return count(i, [](int r, int g, int b) { return r + g + b > 30; });
}
bool isColour(const Image& image, int x, int y, int r, int g, int b) {
    const unsigned char* p = image.at(x, y);
    return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
}

const ControlPanel& panel() {
    return panelLayout();
} // Window pixels of editor position (lx, ly).
int editorX(int lx) {
    return panel().editor->x + lx;
}
int editorY(int ly) {
    return 480 - (panel().editor->y + ly);
}
// The histogram bar of value 0 over the blue band.
bool showsEditor(const Image& i) {
    return isColour(i, editorX(0), editorY(138), 255, 153, 204);
}

// The viewer once its window shows the first frames.
struct Started : Viewer {
    Started() {
        if (waitForWindow()) waitForPicture([](const Image& i) { return lit(i) > 10000; });
    }
    Image panelShown(bool shown) {
        const Box menu = panel().menuButton->box();
        const int grey = shown ? 77 : 0;
        return waitForPicture([&](const Image& i) {
            return isColour(i, pointX(menu), pointY(menu), grey, grey, grey);
        });
    }
};

} // namespace

TEST(ViewerEndToEnd, PanelOverlayPagesTransferFunctionAndExitButton) {
    Started v;
    ASSERT_FALSE(v.window.empty()) << v.why();
    const Image first = v.panelShown(true);
    EXPECT_TRUE(showsEditor(first) && isColour(first, editorX(120), editorY(139), 0, 204, 0));
    EXPECT_GT(count(first, [](int r, int g, int b) { return g > 60 && g > 2 * (r + b); }), 1000);
    v.key("space");
    EXPECT_FALSE(showsEditor(v.panelShown(false)));
    v.key("space");
    v.panelShown(true);
    v.click(panel().useTfCheckBox->box()); // off: a grey volume
    v.key("space");                        // no blue outline cube in the way
    const Image grey = v.panelShown(false);
    EXPECT_GT(lit(grey), 5000);
    EXPECT_EQ(count(grey, [](int r, int g, int b) { return r != g || g != b; }), 0);
    v.key("space");
    v.panelShown(true);                  // the panel takes clicks from the frame that shows it
    v.click(panel().infosButton->box()); // the extension lines replace the editor
    const Label& paletted = *panel().palettedLabel;
    v.waitForPicture([&](const Image& i) {
        return !showsEditor(i) &&
               count(
                   i, [](int r, int, int) { return r > 150; }, paletted.x, 480 - paletted.y - 50,
                   paletted.x + 240, 480 - paletted.y) > 100;
    });
    v.click(panel().menuButton->box());
    v.waitForPicture(showsEditor);
    v.click(panel().exitButton->box());
    const ExitResult r = v.wait();
    EXPECT_TRUE(r.exited && r.status == 0) << r.status;
    EXPECT_NE(r.out.find("\nThe Skorel developers\n"), std::string::npos);
}
