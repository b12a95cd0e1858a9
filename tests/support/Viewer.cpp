#include "Viewer.h"
#include "GlTestContext.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

XServer::XServer() {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    const std::string fd = std::to_string(fds[1]); // no allocation after fork
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // ends with the test process
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0), dup2(null, 1), dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    display = ":";
    for (char c; read(fds[0], &c, 1) == 1 && c != '\n';)
        display += c;
    close(fds[0]);
    if (display == ":") throw std::runtime_error("Xvfb did not start (is it installed?)");
}

XServer::~XServer() {
    if (pid > 0) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
}

// Polls until done() holds; false once the deadline passes.
static bool waitUntil(const std::function<bool()>& done, double seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (std::chrono::steady_clock::now() > deadline) return false;
    return true;
}

const ControlPanel& panelLayout() {
    static ControlPanel* panel = nullptr;
    if (!panel) {
        ensureGlContext();
        panel = new ControlPanel(0, *new Volume());
        panel->setPosition(10, 10), panel->setPage(menuPage);
    }
    return *panel;
}

// The test's environment, DISPLAY, SKOREL_FULLSCREEN=no, then env: later ones win.
Viewer::Viewer(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& binary)
    : out({}, ".out"), err({}, ".err") {
    static const XServer server; // one per test process
    std::vector<std::string> argv = {"/usr/bin/env", "DISPLAY=" + server.display,
                                     "SKOREL_FULLSCREEN=no"};
    argv.insert(argv.end(), env.begin(), env.end());
    argv.push_back(binary);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> a(argv.size() + 1); // ends with a null
    for (size_t i = 0; i < argv.size(); ++i)
        a[i] = &argv[i][0];
    display = server.display;
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a test that dies
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(out.c_str(), O_WRONLY), 1);
        dup2(open(err.c_str(), O_WRONLY), 2);
        execv(a[0], a.data());
        _exit(127);
    }
}

Viewer::~Viewer() {
    if (running()) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
}

std::string Viewer::run(const std::string& line) {
    std::string output;
    if (FILE* p = popen(("DISPLAY=" + display + " " + line + " 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            output.append(buffer, n);
        pclose(p);
    }
    return output;
}

bool Viewer::waitForWindow(const std::string& title) {
    // Only a viewable window takes the input focus that key presses need.
    const std::string search = "xdotool search --onlyvisible --name '^" + title + "$'";
    waitUntil([&] { return !(window = run(search)).empty() || !running(); }, 30);
    window = window.substr(0, window.find('\n'));
    return !window.empty();
}

std::string Viewer::why() {
    const ExitResult r = wait(5);
    return "status " + std::to_string(r.status) + "\n" + r.out + r.err;
}

// Keys go to the focused window; the pointer rests at (5, 5), over no widget.
void Viewer::key(const std::string& keys) {
    run("xdotool mousemove --window " + window + " 5 5 windowfocus --sync " + window + " key " +
        keys);
}

void Viewer::click(const Box& b) {
    run("xdotool mousemove --window " + window + " " + std::to_string(pointX(b)) + " " +
        std::to_string(pointY(b)) + " click 1 mousemove --window " + window + " 5 5");
}

Image Viewer::waitForPicture(const std::function<bool(const Image&)>& shows, double seconds) {
    Image i;
    auto showing = [&] { return (i = screenshot()).width == 640 && i.height == 480 && shows(i); };
    if (!waitUntil(showing, seconds)) ADD_FAILURE() << "the window never showed what was expected";
    return i;
}

bool Viewer::running() {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, WNOHANG) != pid) return pid > 0;
    pid = -1;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : -1;
    result.out = out.contents(), result.err = err.contents();
    return false;
}

ExitResult Viewer::wait(double seconds) {
    if (!waitUntil([&] { return !running(); }, seconds)) {
        kill(pid, SIGKILL); // reaped as killed: exited stays false
        waitUntil([&] { return !running(); });
    }
    return result;
}

Image Viewer::screenshot() {
    Image image;
    std::istringstream ppm(run("import -window " + window + " -depth 8 ppm:-"));
    std::string magic;
    int maxValue = 0;
    if (!(ppm >> magic >> image.width >> image.height >> maxValue) || magic != "P6") return {};
    ppm.get();
    image.rgb.resize(size_t(image.width) * image.height * 3);
    if (!ppm.read(reinterpret_cast<char*>(image.rgb.data()), std::streamsize(image.rgb.size())))
        return {};
    return image;
}
