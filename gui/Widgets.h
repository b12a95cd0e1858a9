// The concrete panel elements: text label, push button, check box, radio
// button and the group that keeps one radio button checked.
//
// Captions are measured at 8 pixels per character (t = 8 * length). Widgets
// other than Label keep a pointer to their caption, which must outlive them.
#pragma once
#include "gui/Widget.h"

#include <cstdarg>
#include <vector>

class Label : public Widget {
  public:
    // A null format leaves the text empty; text beyond 63 characters is cut.
    explicit Label(const char* format, ...) PRINTF_LIKE(2, 3);
    // A null format keeps the old text.
    void setText(const char* format, ...) PRINTF_LIKE(2, 3);
    void draw() override;

    char text[64] = {};

  private:
    void formatText(const char* format, va_list args);
};

// Fires on a left press in its box and the row above it; hovers in its box.
class Button : public Widget {
  public:
    Button(int id, const char* text) : Widget(id), text(text) {}
    // The face: (t + 6) x 17 pixels.
    Box box() const;
    void onMouse(int button, int state, int x, int y) override;
    void onPassiveMotion(int x, int y) override;
    void draw() override;

    const char* text;
};

// Check boxes and radio buttons: caption, a 10 x 10 box after it and a mark in
// the box while checked. Presses, hovering and the highlight use box().
class Toggle : public Widget {
  public:
    Toggle(int id, const char* text) : Widget(id), text(text) { checked = true; }
    // Caption and check box: (t + 22) x 17 pixels.
    Box box() const;
    void onPassiveMotion(int x, int y) override;
    void draw() override;

    const char* text;

  protected:
    bool pressedAt(int button, int state, int x, int y) const;
    // Drawn over the box, relative to the caption origin, with blending off.
    virtual void drawMark(int textWidth) = 0;
};

// Starts checked; a left press flips it, then fires.
class CheckBox : public Toggle {
  public:
    CheckBox(int id, const char* text) : Toggle(id, text) {}
    void onMouse(int button, int state, int x, int y) override;

  protected:
    void drawMark(int textWidth) override;
};

class RadioGroup;

// A left press selects it within its group and fires, even when it was
// already checked.
class RadioButton : public Toggle {
  public:
    RadioButton(int id, const char* text, RadioGroup* group) : Toggle(id, text), group(group) {}
    void onMouse(int button, int state, int x, int y) override;
    // Unchecks every member of the group, then stores flag; no-op when checked.
    void select(bool flag);

    RadioGroup* group;

  protected:
    void drawMark(int textWidth) override;
};

// A fixed-capacity list of radio buttons it does not own; the selection lives
// in the members' checked flags.
class RadioGroup {
  public:
    explicit RadioGroup(int capacity) : items(capacity > 0 ? capacity : 0) {}
    // The first member becomes checked, later ones unchecked. Returns false and
    // leaves the button alone when the group is full.
    bool add(RadioButton* button);
    int count() const { return memberCount; }
    RadioButton* item(int i) const { return items[i]; }
    int capacity() const { return int(items.size()); }

  private:
    std::vector<RadioButton*> items;
    int memberCount = 0;
};
