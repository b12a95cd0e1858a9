#include "Viewer.h"
#include "GlTestContext.h"

#include <gtest/gtest.h>
// After gtest: Xlib defines None.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string tempPath(const char* what) {
    char name[] = "/tmp/skorel-test-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    return std::string(name) + "." + what;
}

// Environment of this process without DISPLAY, plus the given entries.
std::vector<std::string> environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = entry.rfind("DISPLAY=", 0) == 0;
        for (const std::string& x : extra)
            replaced =
                replaced || entry.substr(0, entry.find('=') + 1) == x.substr(0, x.find('=') + 1);
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

int spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::string& outPath, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a test that dies
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0), dup2(out, 1), dup2(err, 2);
        std::vector<char*> a, e;
        for (const std::string& s : argv)
            a.push_back(const_cast<char*>(s.c_str()));
        for (const std::string& s : env)
            e.push_back(const_cast<char*>(s.c_str()));
        a.push_back(nullptr), e.push_back(nullptr);
        execve(a[0], a.data(), e.data());
        _exit(127);
    }
    return pid;
}

// Waits for pid until the deadline; kills it past the deadline.
ExitResult reap(int pid, double timeoutSeconds) {
    ExitResult r;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(long(timeoutSeconds * 1000));
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace

XServer::XServer() {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        // The GL tests' server lives as long as their process: end with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0), dup2(null, 1), dup2(null, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    pid = child;
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start (is it installed?)");
    name = ":" + number;
}

XServer::~XServer() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

ExitResult runWithoutDisplay(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {SKOREL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string out = tempPath("out"), err = tempPath("err");
    ExitResult r = reap(spawn(argv, environment({"SKOREL_FULLSCREEN=no"}), out, err), 20);
    r.out = readFile(out), r.err = readFile(err);
    std::remove(out.c_str()), std::remove(err.c_str());
    return r;
}

bool waitUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(long(seconds * 1000));
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

const ControlPanel& panelLayout() {
    static ControlPanel* panel = [] {
        ensureGlContext();
        static Volume empty;
        ControlPanel* p = new ControlPanel(0, empty);
        p->setPosition(10, 10);
        p->setPage(menuPage);
        return p;
    }();
    return *panel;
}

int pointX(const Box& b) {
    return b.x + b.width / 2;
}
int pointY(const Box& b) {
    return 480 - (b.y + b.height / 2);
}

Viewer::Viewer(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const XServer* shared)
    : own(shared ? nullptr : new XServer()), server(shared ? *shared : *own),
      outPath(tempPath("out")), errPath(tempPath("err")) {
    std::vector<std::string> argv = {SKOREL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> extra = {"DISPLAY=" + server.display(), "SKOREL_FULLSCREEN=no"};
    for (const std::string& e : env) {
        if (e.rfind("SKOREL_FULLSCREEN=", 0) == 0) extra.erase(extra.begin() + 1);
        extra.push_back(e);
    }
    pid = spawn(argv, environment(extra), outPath, errPath);
}

Viewer::~Viewer() {
    if (!finished) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::remove(outPath.c_str()), std::remove(errPath.c_str());
}

std::string Viewer::command(const std::string& line) {
    std::string output;
    if (FILE* p = popen(("DISPLAY=" + server.display() + " " + line).c_str(), "r")) {
        char buffer[512];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            output.append(buffer, n);
        pclose(p);
    }
    return output;
}

int Viewer::xdotool(const std::string& args) {
    const std::string line =
        "DISPLAY=" + server.display() + " xdotool " + args + " >/dev/null 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Viewer::waitForWindow(const std::string& title) {
    std::string pattern;
    for (char c : title) {
        if (std::strchr(".^$*+?()[]{}|\\", c)) pattern += '\\';
        pattern += c;
    }
    window.clear();
    // Only a viewable window takes the input focus that key presses need.
    waitUntil(
        [&] {
            window = command("xdotool search --onlyvisible --name '^" + pattern + "$'");
            window = window.substr(0, window.find('\n'));
            return !window.empty() || !running();
        },
        30);
    return !window.empty();
}

std::string Viewer::why() {
    const ExitResult r = wait(5);
    return "status " + std::to_string(r.status) + "\n" + r.out + r.err;
}

void Viewer::key(const std::string& keys) {
    xdotool("mousemove --window " + window + " 600 20 windowfocus --sync " + window + " key " +
            keys);
}

void Viewer::clickAt(int x, int y) {
    xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
            " click 1 mousemove --window " + window + " 600 20");
}

void Viewer::click(const Box& b) {
    clickAt(pointX(b), pointY(b));
}

void Viewer::drag(int button, int x0, int y0, int x1, int y1, int steps) {
    std::string args = "mousemove --window " + window + " " + std::to_string(x0) + " " +
                       std::to_string(y0) + " mousedown " + std::to_string(button);
    for (int i = 1; i <= steps; ++i)
        args += " mousemove --window " + window + " " + std::to_string(x0 + (x1 - x0) * i / steps) +
                " " + std::to_string(y0 + (y1 - y0) * i / steps) + " sleep 0.02";
    xdotool(args + " mouseup " + std::to_string(button) + " mousemove --window " + window +
            " 600 20");
}

Image Viewer::waitForPicture(const std::function<bool(const Image&)>& shows, double seconds) {
    Image current;
    if (!waitUntil(
            [&] {
                current = screenshot();
                return current.width == 640 && current.height == 480 && shows(current);
            },
            seconds))
        ADD_FAILURE() << "the window never showed what was expected";
    return current;
}

bool Viewer::running() {
    if (finished) return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return true;
    finished = true;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : -1;
    result.out = readFile(outPath), result.err = readFile(errPath);
    return false;
}

ExitResult Viewer::wait(double seconds) {
    if (!finished) {
        result = reap(pid, seconds);
        finished = true;
        result.out = readFile(outPath), result.err = readFile(errPath);
    }
    return result;
}

ExitResult Viewer::quit() {
    key("Escape");
    return wait();
}

std::string Viewer::stdoutSoFar() const {
    return readFile(outPath);
}

Image Viewer::screenshot() {
    Image image;
    Display* dpy = XOpenDisplay(server.display().c_str());
    if (!dpy) return image;
    const Window win = Window(std::strtoul(window.c_str(), nullptr, 10));
    XWindowAttributes attributes;
    if (XGetWindowAttributes(dpy, win, &attributes)) {
        XImage* x = XGetImage(dpy, win, 0, 0, unsigned(attributes.width),
                              unsigned(attributes.height), AllPlanes, ZPixmap);
        if (x) {
            image.width = attributes.width, image.height = attributes.height;
            image.rgb.resize(size_t(image.width) * image.height * 3);
            for (int y = 0; y < image.height; ++y)
                for (int xx = 0; xx < image.width; ++xx) {
                    const unsigned long p = XGetPixel(x, xx, y);
                    unsigned char* dst = &image.rgb[3 * (size_t(y) * image.width + xx)];
                    dst[0] = (p >> 16) & 0xff, dst[1] = (p >> 8) & 0xff, dst[2] = p & 0xff;
                }
            XDestroyImage(x);
        }
    }
    XCloseDisplay(dpy);
    return image;
}
