// Runs the real skorel binary on a private Xvfb server, drives it with
// xdotool and reads its window back pixel by pixel.
#pragma once
#include <string>
#include <vector>

// A private X server (Xvfb) for one test; gone when destroyed.
class XServer {
  public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& display() const { return name; }

  private:
    int pid = -1;
    std::string name;
};

struct ExitResult {
    bool exited = false; // false: killed by a signal or still running at the deadline
    int status = -1;     // exit status when exited
    bool timedOut = false;
    std::string out, err; // everything written to standard output and error
};

// Runs skorel to completion with no display at all; for command lines that
// must end before any window opens.
ExitResult runWithoutDisplay(const std::vector<std::string>& args, double timeoutSeconds = 20);

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom
    const unsigned char* at(int x, int y) const { return &rgb[3 * (size_t(y) * width + x)]; }
};

class SkorelProcess {
  public:
    // Starts skorel with the arguments on the server; env entries are
    // "NAME=value" additions (SKOREL_FULLSCREEN=no is set unless given).
    SkorelProcess(const XServer& server, const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {});
    ~SkorelProcess();

    // Waits for a top-level window with exactly this title; returns its id or "".
    std::string waitForWindow(const std::string& title, double timeoutSeconds = 30);
    // Lets the program draw: waits until the window's picture stops changing.
    void settle(double seconds = 0.5);
    Image screenshot(const std::string& windowId);
    // xdotool with the arguments, on this server; returns its exit status.
    int xdotool(const std::string& args);
    std::string xdotoolOutput(const std::string& args);
    std::string command(const std::string& program, const std::string& args);
    ExitResult wait(double timeoutSeconds = 20);
    bool running();
    std::string stdoutSoFar() const;

  private:
    const XServer& server;
    int pid = -1;
    std::string outPath, errPath;
    ExitResult result;
    bool finished = false;
};
