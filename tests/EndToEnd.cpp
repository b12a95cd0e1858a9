#include "EndToEnd.h"
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
            r.timedOut = true;
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

ExitResult runWithoutDisplay(const std::vector<std::string>& args, double timeoutSeconds) {
    std::vector<std::string> argv = {SKOREL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string out = tempPath("out"), err = tempPath("err");
    ExitResult r =
        reap(spawn(argv, environment({"SKOREL_FULLSCREEN=no"}), out, err), timeoutSeconds);
    r.out = readFile(out), r.err = readFile(err);
    std::remove(out.c_str()), std::remove(err.c_str());
    return r;
}

SkorelProcess::SkorelProcess(const XServer& server, const std::vector<std::string>& args,
                             const std::vector<std::string>& env)
    : server(server), outPath(tempPath("out")), errPath(tempPath("err")) {
    std::vector<std::string> argv = {SKOREL_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> extra = {"DISPLAY=" + server.display(), "SKOREL_FULLSCREEN=no"};
    for (const std::string& e : env) {
        if (e.rfind("SKOREL_FULLSCREEN=", 0) == 0) extra.erase(extra.begin() + 1);
        extra.push_back(e);
    }
    pid = spawn(argv, environment(extra), outPath, errPath);
}

SkorelProcess::~SkorelProcess() {
    if (!finished) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::remove(outPath.c_str()), std::remove(errPath.c_str());
}

std::string SkorelProcess::command(const std::string& program, const std::string& args) {
    const std::string line = "DISPLAY=" + server.display() + " " + program + " " + args;
    std::string output;
    if (FILE* p = popen(line.c_str(), "r")) {
        char buffer[512];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            output.append(buffer, n);
        pclose(p);
    }
    return output;
}

int SkorelProcess::xdotool(const std::string& args) {
    const std::string line =
        "DISPLAY=" + server.display() + " xdotool " + args + " >/dev/null 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SkorelProcess::xdotoolOutput(const std::string& args) {
    return command("xdotool", args);
}

std::string SkorelProcess::waitForWindow(const std::string& title, double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(long(timeoutSeconds * 1000));
    std::string pattern;
    for (char c : title) {
        if (std::strchr(".^$*+?()[]{}|\\", c)) pattern += '\\';
        pattern += c;
    }
    while (std::chrono::steady_clock::now() < deadline) {
        // Only a viewable window takes the input focus that key presses need.
        const std::string id = xdotoolOutput("search --onlyvisible --name '^" + pattern + "$'");
        if (!id.empty()) return id.substr(0, id.find('\n'));
        if (!running()) return "";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
}

bool SkorelProcess::running() {
    if (finished) return false;
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done != pid) return true;
    finished = true;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : -1;
    result.out = readFile(outPath), result.err = readFile(errPath);
    return false;
}

ExitResult SkorelProcess::wait(double timeoutSeconds) {
    if (!finished) {
        result = reap(pid, timeoutSeconds);
        finished = true;
        result.out = readFile(outPath), result.err = readFile(errPath);
    }
    return result;
}

std::string SkorelProcess::stdoutSoFar() const {
    return readFile(outPath);
}

void SkorelProcess::settle(double seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(long(seconds * 1000)));
}

Image SkorelProcess::screenshot(const std::string& windowId) {
    Image image;
    Display* dpy = XOpenDisplay(server.display().c_str());
    if (!dpy) return image;
    const Window win = Window(std::strtoul(windowId.c_str(), nullptr, 10));
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
