// Hit boxes of buttons, check boxes and radio buttons, to the pixel.
#include "gui/Widgets.h"

#include <gtest/gtest.h>
#include <vector>

const int left = 0, right = 2, down = 0, up = 1;
static std::vector<int> fired;

// Presses and hovers of widgets at (10, 20): a button's press box is a row taller
// than its face, (t + 6) x 17; toggles use (t + 22) x 17 for both.
TEST(Widgets, PressAndHoverBoxesToThePixel) {
    Button menu(menuCommand, "Menu");       // 38 wide
    CheckBox useTf(useTfCommand, "Use TF"); // 70 wide
    RadioGroup group(1);
    RadioButton norm(normCommand, "norm", &group); // 54 wide
    const struct {
        Widget* widget;
        int width, pressRows;
    } rows[] = {{&menu, 38, 18}, {&useTf, 70, 17}, {&norm, 54, 17}};
    for (const auto& row : rows) {
        Widget& w = *row.widget;
        w.x = 10, w.y = 20;
        w.setCommandCallback([](int id) { fired.push_back(id); });
        for (int dx : {-1, 0, row.width - 1, row.width})
            for (int dy : {-1, 0, 16, row.pressRows - 1, row.pressRows}) {
                fired.clear();
                w.onMouse(left, down, 10 + dx, 20 + dy);
                w.onPassiveMotion(10 + dx, 20 + dy);
                const bool inside = dx >= 0 && dx < row.width && dy >= 0;
                const std::vector<int> fires(inside && dy < row.pressRows, w.id);
                EXPECT_EQ(std::make_pair(fired, w.highlighted),
                          std::make_pair(fires, int(inside && dy < 17)))
                    << w.id << " " << dx << "," << dy;
            }
        fired.clear();
        w.onMouse(right, down, 15, 25);
        w.onMouse(left, up, 15, 25);
        w.onPassiveMotion(15, 25);
        w.setEnabled(false); // deaf, and keeps its highlight
        w.onMouse(left, down, 15, 25);
        w.onPassiveMotion(0, 0);
        EXPECT_EQ(std::make_pair(fired.size(), w.highlighted), std::make_pair(size_t(0), 1));
    }
}
