// The real skorel binary on a private Xvfb server: started, waited for on
// conditions with deadlines, driven with xdotool at the panel's own widget
// positions, read back pixel by pixel, and ended.
#pragma once
#include "gui/ControlPanel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A private X server (Xvfb); gone when destroyed.
class XServer {
  public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    std::string display;

  private:
    int pid = -1;
};

struct ExitResult {
    bool exited = false; // false: killed by a signal or still running at the deadline
    int status = -1;
    std::string out, err;
};

// Polls until done() holds; false once the deadline passes.
bool waitUntil(const std::function<bool()>& done, double seconds = 20);

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom
    const unsigned char* at(int x, int y) const { return &rgb[3 * (size_t(y) * width + x)]; }
};

// The panel as start-up lays it out in the 640 x 480 window, built in the
// test's own GL context: where to click.
const ControlPanel& panelLayout();
// GLUT window position (y down) of the middle of a box in panel coordinates.
int pointX(const Box& b);
int pointY(const Box& b);

class Viewer {
  public:
    // Starts skorel on `server`, or on a server of its own; env entries are
    // "NAME=value" additions (SKOREL_FULLSCREEN=no unless given).
    explicit Viewer(const std::vector<std::string>& args = {},
                    const std::vector<std::string>& env = {}, const XServer* server = nullptr);
    ~Viewer();

    // Waits for a viewable top-level window with exactly this title.
    bool waitForWindow(const std::string& title = "Skorel");
    std::string why(); // what the program said, for a failed assertion
    // A shell command on the server; its standard output.
    std::string run(const std::string& line);
    void xdotool(const std::string& args) { run("xdotool " + args); }
    void key(const std::string& keys);
    void click(const Box& b);
    // A left or right (3) drag in ten steps, GLUT window coordinates.
    void drag(int button, int x0, int y0, int x1, int y1);
    Image screenshot();
    // The first 640 x 480 picture that shows what the test waits for; a
    // failure at the deadline.
    Image waitForPicture(const std::function<bool(const Image&)>& shows, double seconds = 20);
    bool running();
    ExitResult wait(double seconds = 20);
    ExitResult quit(); // Esc, then wait
    std::string stdoutSoFar() const;

    std::string window;

  private:
    std::unique_ptr<XServer> own;
    const XServer& server;
    int pid = -1;
    std::string outPath, errPath;
    ExitResult result;
    bool finished = false;
};
