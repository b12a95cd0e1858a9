// The base of every panel element, the panel base, bitmap text and the
// window-pixel projection the panel draws in.
//
// Coordinates are integer window pixels, origin at the lower left, y up; a
// widget's (x, y) is its lower left corner.
#pragma once
#include "platform/Compiler.h"

// What each widget reports when pressed; labels carry noCommand. Callbacks
// pass these as plain integers.
enum CommandId : int {
    noCommand = 0,
    applyTfCommand = 1,
    menuCommand = 2,
    densityPlusCommand = 3,
    densityMinusCommand = 4,
    slicesPlusCommand = 5,
    slicesMinusCommand = 6,
    intensityPlusCommand = 7,
    intensityMinusCommand = 8,
    infosCommand = 9,
    useTfCommand = 10,
    filterCommand = 11,
    editorCommand = 22,
    overCommand = 30,
    attCommand = 31,
    mipCommand = 32,
    normCommand = 33,
    exitCommand = 91,
    initTfCommand = 92,
};

// A widget's rectangle in window pixels: columns x .. x + width - 1, rows
// y .. y + height - 1.
struct Box {
    int x, y, width, height;
    bool contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

typedef void (*CommandCallback)(int id);
typedef void (*ChangeCallback)(int id, int x, int y);

class Widget {
  public:
    explicit Widget(int id) : id(id) {}
    virtual ~Widget() = default;

    // GLUT's button (0 left, 1 middle, 2 right) and state (0 down, 1 up).
    virtual void onMouse(int /*button*/, int /*state*/, int /*x*/, int /*y*/) {}
    virtual void onMotion(int /*button*/, int /*prevX*/, int /*prevY*/, int /*x*/, int /*y*/) {}
    virtual void onPassiveMotion(int /*x*/, int /*y*/) {}
    virtual void draw() {}

    void setCommandCallback(CommandCallback cb) { commandCallback = cb; }
    void setChangeCallback(ChangeCallback cb) { changeCallback = cb; }
    void setEnabled(bool flag) { enabled = flag; }
    void setVisible(bool flag) { visible = flag; }
    void setChecked(bool flag) { checked = flag; }
    bool isChecked() const { return checked; }

    int x = 0;
    int y = 0;
    int id;
    int highlighted = 0;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    CommandCallback commandCallback = nullptr;
    ChangeCallback changeCallback = nullptr;

  protected:
    bool reacts() const { return visible && enabled; }
    // Callbacks are installed before events arrive; a missing one is skipped.
    void fireCommand() const {
        if (commandCallback) commandCallback(id);
    }
};

class Panel : public Widget {
  public:
    explicit Panel(int id) : Widget(id) {}
    virtual void drawPanel(int /*width*/, int /*height*/) {}

    // One GL unit per window pixel between the two; depth testing is off.
    static void beginOverlay(int width, int height);
    // Leaves the model-view matrix current and depth testing on.
    static void endOverlay();
};

// printf-style text in the 8 x 13 bitmap font at raster position (x, y) of the
// current model-view; each character advances 8 pixels. Text beyond 1023
// characters is cut; a null format draws nothing.
void drawText(int x, int y, const char* format, ...) PRINTF_LIKE(3, 4);

// Text in the same font centred on the point (x, y, z) of the current
// model-view and projection; nothing where the point is clipped.
void drawCentredText(float x, float y, float z, const char* text);

// Filled quad (x0, y0), (x1, y0), (x1, y1), (x0, y1): counter-clockwise when
// x0 < x1 and y0 < y1.
void fillRect(int x0, int y0, int x1, int y1);
