// The real program under Xvfb, clicked at its widgets' positions, read back in pixels.
#include "Viewer.h"

#include <gtest/gtest.h>

// Pixels for which counts(r, g, b) holds; by default right of the panel
// (x < 280), where the window shows only the volume.
static long long count(const Image& image, const std::function<bool(int, int, int)>& counts,
                       int x0 = 290, int y0 = 100, int x1 = 460, int y1 = 380) {
    long long n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += counts(image.at(x, y)[0], image.at(x, y)[1], image.at(x, y)[2]);
    return n;
}
static bool isColour(const Image& image, int x, int y, int r, int g, int b) {
    const unsigned char* p = image.at(x, y);
    return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
}
// Editor point (lx, ly); the histogram bar of value 0 shows the editor.
static bool editorShows(const Image& i, int lx, int ly, int r, int g, int b) {
    return isColour(i, panelLayout().editor->x + lx, 480 - panelLayout().editor->y - ly, r, g, b);
}
const auto showsEditor = [](const Image& i) { return editorShows(i, 0, 138, 255, 153, 204); };

TEST(ViewerEndToEnd, PanelOverlayPagesTransferFunctionAndExitButton) {
    const ControlPanel& panel = panelLayout();
    Viewer v;
    ASSERT_TRUE(v.waitForWindow()) << v.why();
    const int menuX = pointX(panel.menuButton->box()), menuY = pointY(panel.menuButton->box());
    auto panelShown = [&](bool shown) { // the "Menu" face, or black where it was
        const int g = shown ? 77 : 0;
        return v.waitForPicture([&](const Image& i) { return isColour(i, menuX, menuY, g, g, g); });
    };
    const Image first = panelShown(true);
    EXPECT_TRUE(showsEditor(first));
    EXPECT_TRUE(editorShows(first, 120, 139, 0, 204, 0)); // the green band
    EXPECT_GT(count(first, [](int r, int g, int b) { return g > 60 && g > 2 * (r + b); }), 1000);
    v.key("space");
    EXPECT_FALSE(showsEditor(panelShown(false)));
    v.key("space");
    panelShown(true);                    // the panel takes clicks from the frame that shows it
    v.click(panel.useTfCheckBox->box()); // off: a grey volume
    v.key("space");                      // no blue outline cube in the way
    const Image grey = panelShown(false);
    EXPECT_GT(count(grey, [](int r, int g, int b) { return r + g + b > 30; }), 5000);
    EXPECT_EQ(count(grey, [](int r, int g, int b) { return r != g || g != b; }), 0);
    v.key("space");
    panelShown(true);
    v.click(panel.infosButton->box()); // the extension lines replace the editor
    const int x = panel.palettedLabel->x, y = 480 - panel.palettedLabel->y;
    auto red = [](int r, int, int) { return r > 150; };
    v.waitForPicture([&](const Image& i) {
        return !showsEditor(i) && count(i, red, x, y - 50, x + 240, y) > 100;
    });
    v.click(panel.menuButton->box());
    v.waitForPicture(showsEditor);
    v.click(panel.exitButton->box());
    const ExitResult r = v.wait();
    EXPECT_EQ(std::make_pair(r.exited, r.status), std::make_pair(true, 0));
    EXPECT_NE(r.out.find("\nThe Skorel developers\n"), std::string::npos);
}
