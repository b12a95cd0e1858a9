// Label, Button, CheckBox, RadioButton and RadioGroup: each widget's hit box
// sits next to its drawing. Shapes are drawn in widget-local pixels after a
// translation to the widget's corner; grey levels are glColor3f(g, g, g).
#include "gui/Widgets.h"

#include <GL/gl.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const int leftButton = 0, buttonDown = 0;

int textWidth(const char* text) {
    return 8 * int(std::strlen(text));
}

void grey(float g) {
    glColor3f(g, g, g);
}

float captionGrey(bool enabled) {
    return enabled ? 0.8f : 0.3f;
}

} // namespace

Label::Label(const char* format, ...) : Widget(0) {
    va_list args;
    va_start(args, format);
    formatText(format, args);
    va_end(args);
}

void Label::setText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatText(format, args);
    va_end(args);
}

void Label::formatText(const char* format, va_list args) {
    if (format) std::vsnprintf(text, sizeof text, format, args);
}

void Label::draw() {
    if (!visible) return;
    glPushMatrix();
    glTranslatef(float(x), float(y), 0);
    grey(captionGrey(enabled));
    drawText(3, 4, "%s", text);
    glPopMatrix();
}

Box Button::box() const {
    return {x, y, textWidth(text) + 6, 17};
}

// The press box is one row taller than the face and the hover box.
void Button::onMouse(int button, int state, int px, int py) {
    if (!reacts()) return;
    Box press = box();
    ++press.height;
    if (button == leftButton && state == buttonDown && press.contains(px, py)) fireCommand();
}

void Button::onPassiveMotion(int px, int py) {
    if (!reacts()) return;
    highlighted = box().contains(px, py);
}

void Button::draw() {
    if (!visible) return;
    const Box face = box();
    glPushMatrix();
    glTranslatef(float(x), float(y), 0);
    grey(highlighted ? 0.5f : enabled ? 0.3f : 0.1f);
    fillRect(0, 0, face.width, face.height);
    grey(captionGrey(enabled));
    drawText(3, 4, "%s", text);
    glPopMatrix();
}

Box Toggle::box() const {
    return {x, y, textWidth(text) + 22, 17};
}

bool Toggle::pressedAt(int button, int state, int px, int py) const {
    return reacts() && button == leftButton && state == buttonDown && box().contains(px, py);
}

void Toggle::onPassiveMotion(int px, int py) {
    if (!reacts()) return;
    highlighted = box().contains(px, py);
}

void Toggle::draw() {
    if (!visible) return;
    const int t = textWidth(text);
    const Box face = box();
    glPushMatrix();
    glTranslatef(float(x), float(y), 0);
    if (highlighted) {
        grey(0.5f);
        fillRect(0, 0, face.width, face.height);
    }
    glTranslatef(3, 4, 0);
    grey(captionGrey(enabled));
    drawText(0, 0, "%s", text);
    fillRect(t + 6, 0, t + 16, 10);
    if (checked) {
        glDisable(GL_BLEND); // the mark is opaque black over the box
        glColor3f(0, 0, 0);
        drawMark(t);
        glEnable(GL_BLEND);
    }
    glPopMatrix();
}

void CheckBox::onMouse(int button, int state, int px, int py) {
    if (!pressedAt(button, state, px, py)) return;
    checked = !checked; // the command already sees the new state
    fireCommand();
}

void CheckBox::drawMark(int t) {
    glBegin(GL_LINES);
    glVertex2i(t + 6, 0);
    glVertex2i(t + 16, 10);
    glVertex2i(t + 16, 0);
    glVertex2i(t + 6, 10);
    glEnd();
}

void RadioButton::onMouse(int button, int state, int px, int py) {
    if (!pressedAt(button, state, px, py)) return;
    select(true);
    fireCommand();
}

void RadioButton::select(bool flag) {
    if (checked) return;
    if (group)
        for (int i = 0; i < group->count(); ++i)
            group->item(i)->setChecked(false);
    checked = flag;
}

void RadioButton::drawMark(int t) {
    fillRect(t + 8, 2, t + 14, 8);
}

bool RadioGroup::add(RadioButton* button) {
    if (memberCount >= capacity()) return false;
    button->setChecked(memberCount == 0);
    items[memberCount++] = button;
    return true;
}
