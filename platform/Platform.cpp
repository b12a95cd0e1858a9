// Entry points and dialogs: Windows interfaces where they exist, GLX and a
// small Xlib window of our own elsewhere.
#include "platform/Platform.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

void lineBufferStandardOutput() {
    // The C runtime has no line buffering (it refuses _IOLBF): no buffer at all.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

void* getGlProcAddress(const char* name) {
    // Some Windows drivers answer 1, 2, 3 or -1 instead of null.
    const intptr_t address = reinterpret_cast<intptr_t>(wglGetProcAddress(name));
    return address >= -1 && address <= 3 ? nullptr : reinterpret_cast<void*>(address);
}

bool askYesNo(const char* caption, const char* text) {
    return MessageBoxA(nullptr, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

namespace {

BOOL CALLBACK disableWindow(HWND window, LPARAM disabled) {
    if (IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        reinterpret_cast<std::vector<HWND>*>(disabled)->push_back(window);
    }
    return TRUE;
}

} // namespace

void showNotice(const char* caption, const char* text) {
    // The box's message loop would hand the GL window's mouse and keys to
    // GLUT callbacks of a program still starting; disabled, it gets none.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), disableWindow, reinterpret_cast<LPARAM>(&disabled));
    MessageBoxA(nullptr, text, caption, MB_OK);
    for (HWND window : disabled)
        EnableWindow(window, TRUE);
}

#else
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

void lineBufferStandardOutput() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

void* getGlProcAddress(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

namespace {

struct DialogButton {
    const char* caption;
    bool answer;
    int x, y, w, h; // window pixels, origin top left
};

std::vector<std::string> splitLines(const char* text) {
    std::vector<std::string> lines(1);
    for (const char* c = text; *c; ++c) {
        if (*c == '\n')
            lines.emplace_back();
        else
            lines.back() += *c;
    }
    return lines;
}

// Runs a modal window with the given buttons; returns the chosen answer.
// Enter picks the first button, Escape and the window manager's close the last.
bool runDialog(const char* caption, const char* text, std::vector<DialogButton> buttons,
               bool yesNo) {
    const bool cancelAnswer = buttons.back().answer;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return cancelAnswer;
    }
    const int screen = DefaultScreen(dpy);
    XFontStruct* font = XLoadQueryFont(dpy, "fixed");
    const int lineHeight = font ? font->ascent + font->descent + 2 : 15;
    const int charWidth = font ? font->max_bounds.width : 8;

    const std::vector<std::string> lines = splitLines(text);
    size_t longest = 0;
    for (const std::string& l : lines)
        longest = l.size() > longest ? l.size() : longest;
    const int margin = 16, buttonW = 80, buttonH = 26, gap = 12;
    int width = int(longest) * charWidth + 2 * margin;
    const int buttonsW = int(buttons.size()) * (buttonW + gap) - gap;
    if (width < buttonsW + 2 * margin) width = buttonsW + 2 * margin;
    const int height = margin + int(lines.size()) * lineHeight + gap + buttonH + margin;
    int bx = (width - buttonsW) / 2;
    for (DialogButton& b : buttons) {
        b.x = bx, b.y = height - margin - buttonH, b.w = buttonW, b.h = buttonH;
        bx += buttonW + gap;
    }

    const unsigned long black = BlackPixel(dpy, screen), white = WhitePixel(dpy, screen);
    Window win = XCreateSimpleWindow(
        dpy, RootWindow(dpy, screen), (DisplayWidth(dpy, screen) - width) / 2,
        (DisplayHeight(dpy, screen) - height) / 2, width, height, 1, black, white);
    XStoreName(dpy, win, caption);
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(dpy, win, &hints);
    Atom wmDelete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, win, &wmDelete, 1);
    XSelectInput(dpy, win, ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
    GC gc = XCreateGC(dpy, win, 0, nullptr);
    if (font) XSetFont(dpy, gc, font->fid);
    XMapRaised(dpy, win);

    bool answer = cancelAnswer;
    for (bool done = false; !done;) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        switch (ev.type) {
        case Expose:
            if (ev.xexpose.count) break;
            XSetForeground(dpy, gc, black);
            for (size_t i = 0; i < lines.size(); ++i)
                XDrawString(dpy, win, gc, margin, margin + int(i + 1) * lineHeight - 2,
                            lines[i].c_str(), int(lines[i].size()));
            for (const DialogButton& b : buttons) {
                XDrawRectangle(dpy, win, gc, b.x, b.y, b.w, b.h);
                const int len = int(std::strlen(b.caption));
                XDrawString(dpy, win, gc, b.x + (b.w - len * charWidth) / 2,
                            b.y + b.h / 2 + lineHeight / 2 - 3, b.caption, len);
            }
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&ev.xkey, 0);
            if (key == XK_Return || key == XK_KP_Enter) {
                answer = buttons.front().answer, done = true;
            } else if (key == XK_Escape) {
                answer = cancelAnswer, done = true;
            } else if (yesNo && key == XK_y) {
                answer = true, done = true;
            } else if (yesNo && key == XK_n) {
                answer = false, done = true;
            }
            break;
        }
        case ButtonPress:
            for (const DialogButton& b : buttons)
                if (ev.xbutton.x >= b.x && ev.xbutton.x < b.x + b.w && ev.xbutton.y >= b.y &&
                    ev.xbutton.y < b.y + b.h)
                    answer = b.answer, done = true;
            break;
        case ClientMessage:
            if (Atom(ev.xclient.data.l[0]) == wmDelete) answer = cancelAnswer, done = true;
            break;
        default:
            break;
        }
    }
    XFreeGC(dpy, gc);
    if (font) XFreeFont(dpy, font);
    XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);
    return answer;
}

} // namespace

bool askYesNo(const char* caption, const char* text) {
    return runDialog(caption, text, {{"Yes", true, 0, 0, 0, 0}, {"No", false, 0, 0, 0, 0}}, true);
}

void showNotice(const char* caption, const char* text) {
    runDialog(caption, text, {{"OK", true, 0, 0, 0, 0}}, false);
}
#endif
