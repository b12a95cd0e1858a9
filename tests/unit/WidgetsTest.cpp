// Hit boxes of buttons, check boxes and radio buttons to the pixel, the
// radio group, and label text.
#include "gui/Widgets.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const int left = 0, right = 2, down = 0, up = 1;

std::vector<int> fired;
void recordCommand(int id) {
    fired.push_back(id);
}

TEST(WidgetsTest, ButtonPressBoxIsOneRowTallerThanHoverBox) {
    fired.clear();
    Button menu(menuCommand, "Menu"); // 38 pixels wide
    menu.x = 10, menu.y = 420;
    menu.setCommandCallback(recordCommand);
    menu.onMouse(left, down, 10, 420);
    menu.onMouse(left, down, 47, 437);
    for (auto miss : {std::pair<int, int>{48, 420}, {10, 438}, {9, 425}, {20, 419}})
        menu.onMouse(left, down, miss.first, miss.second);
    menu.onMouse(right, down, 20, 425);
    menu.onMouse(left, up, 20, 425);
    EXPECT_EQ(fired, (std::vector<int>{menuCommand, menuCommand}));
    menu.onPassiveMotion(47, 436);
    EXPECT_EQ(menu.highlighted, 1);
    menu.onPassiveMotion(47, 437);
    EXPECT_EQ(menu.highlighted, 0);

    menu.onPassiveMotion(20, 425);
    menu.setEnabled(false); // disabled: deaf, and keeps its highlight
    menu.onMouse(left, down, 20, 425);
    menu.onPassiveMotion(0, 0);
    EXPECT_EQ(menu.highlighted, 1);
    EXPECT_EQ(fired.size(), 2u);
}

TEST(WidgetsTest, CheckBoxTogglesBeforeReporting) {
    fired.clear();
    CheckBox box(10, "Use TF"); // w = 48 + 22 = 70, rows 0..16
    box.x = 10, box.y = 190;
    static CheckBox* current = nullptr;
    static bool seenChecked = true;
    current = &box;
    box.setCommandCallback([](int id) {
        recordCommand(id);
        seenChecked = current->isChecked();
    });
    box.onMouse(left, down, 79, 206);
    box.onMouse(left, down, 80, 206);
    box.onMouse(left, down, 79, 207);
    EXPECT_EQ(fired, std::vector<int>{10});
    EXPECT_FALSE(seenChecked);
    box.setCommandCallback(nullptr); // a missing callback is skipped
    box.onMouse(left, down, 10, 190);
    EXPECT_TRUE(box.isChecked());
}

TEST(WidgetsTest, RadioGroupKeepsOneMemberChecked) {
    fired.clear();
    RadioGroup group(4);
    RadioButton a(30, "over", &group), b(31, "att", &group), c(32, "mip", &group),
        d(33, "norm", &group);
    for (RadioButton* r : {&a, &b, &c, &d}) {
        EXPECT_TRUE(group.add(r));
        r->setCommandCallback(recordCommand);
    }
    EXPECT_TRUE(a.isChecked());
    EXPECT_FALSE(b.isChecked() || c.isChecked() || d.isChecked());

    d.x = 100; // "norm": w = 32 + 22 = 54
    d.onMouse(left, down, 154, 0);
    d.onMouse(left, down, 100, 17);
    d.onMouse(left, down, 153, 16);
    d.onMouse(left, down, 100, 0); // already checked: no change, still reports
    EXPECT_EQ(fired, (std::vector<int>{33, 33}));
    EXPECT_TRUE(d.isChecked());
    EXPECT_FALSE(a.isChecked() || b.isChecked() || c.isChecked());

    RadioButton extra(34, "extra", &group);
    extra.setChecked(false);
    EXPECT_FALSE(group.add(&extra));
    EXPECT_EQ(group.count(), 4);
    EXPECT_FALSE(extra.isChecked());
}

TEST(WidgetsTest, LabelTextIsCutToItsBuffer) {
    Label label("Slices: %d", 80);
    label.setText(nullptr);
    EXPECT_STREQ(label.text, "Slices: 80");
    const std::string longText(100, 'x');
    label.setText("%s", longText.c_str());
    EXPECT_EQ(std::string(label.text), longText.substr(0, 63));
    const char* noFormat = nullptr;
    EXPECT_STREQ(Label(noFormat).text, "");
}

} // namespace
