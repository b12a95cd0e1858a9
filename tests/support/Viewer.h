// A real binary (skorel unless told) on a private Xvfb server, waited for with
// deadlines, driven at the panel's own widget positions, read back.
#pragma once
#include "TestData.h"
#include "gui/ControlPanel.h"

#include <functional>
#include <string>
#include <vector>

struct XServer { // gone when destroyed
    XServer();
    ~XServer();
    std::string display;
    int pid = -1;
};

struct ExitResult {
    bool exited = false; // false: killed by a signal or at the deadline
    int status = -1;
    std::string out, err;
};

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom
    const unsigned char* at(int x, int y) const { return &rgb[3 * (size_t(y) * width + x)]; }
};

// The panel as start-up lays it out, built in the test's own GL context, and
// the middle of a widget's box in the 640 x 480 window (y down).
const ControlPanel& panelLayout();
inline const auto pointX = [](const Box& b) { return b.x + b.width / 2; };
inline const auto pointY = [](const Box& b) { return 480 - (b.y + b.height / 2); };

class Viewer {
  public:
    // On the test process's X server, with env's "NAME=value" entries added.
    explicit Viewer(const std::vector<std::string>& args = {},
                    const std::vector<std::string>& env = {},
                    const std::string& binary = SKOREL_BINARY);
    ~Viewer();
    // A viewable top-level window whose whole title matches the pattern.
    bool waitForWindow(const std::string& title = "Skorel");
    std::string why();                        // what the program said, for a failed assertion
    std::string run(const std::string& line); // a shell command on the server: its output
    void key(const std::string& keys);
    void click(const Box& b);
    // The first 640 x 480 picture that shows(); a failure at the deadline.
    Image waitForPicture(const std::function<bool(const Image&)>& shows, double seconds = 20);
    bool running();
    ExitResult wait(double seconds = 20);
    ExitResult quit() { return key("Escape"), wait(); }

    std::string window;

  private:
    Image screenshot();
    std::string display;
    int pid = -1;
    TempFile out, err;
    ExitResult result;
};
