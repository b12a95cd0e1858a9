// Data sets, the in-process viewer, and the medians store.
#include "BenchData.h"

#include "Viewer.h"
#include "app/Application.h"
#include "app/ExtensionProbe.h"
#include "app/Window.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/FrameCounter.h"
#include "render/Navigation.h"
#include "render/ViewState.h"
#include "volume/Volume.h"

#include <GL/freeglut.h>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

std::string benchFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/skorel-bench-XXXXXX";
        if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
        return std::string(name);
    }();
    return folder;
}

} // namespace

std::string benchFile(const std::string& name) {
    return benchFolder() + "/" + name;
}

void removeBenchFiles() {
    std::filesystem::remove_all(benchFolder());
}

namespace {

// Density falls from the centre to the ball's surface, with a little noise.
void writeBall(const std::string& fileName, int size, bool eightBit) {
    std::vector<unsigned char> bytes(size_t(size) * size * size * (eightBit ? 1 : 2));
    uint32_t noise = 2463534242u;
    const double c = (size - 1) / 2.0;
    size_t at = 0;
    for (int z = 0; z < size; ++z)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
                const double r =
                    std::sqrt((x - c) * (x - c) + (y - c) * (y - c) + (z - c) * (z - c)) /
                    (0.45 * size);
                const int v = r >= 1 ? 0 : int(255 * (1 - r) * 0.9 + (noise & 15));
                if (!eightBit) bytes[at++] = uint8_t(noise >> 8);
                bytes[at++] = uint8_t(v);
            }
    FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        throw std::runtime_error("cannot write " + fileName);
    std::fclose(f);
}

std::map<std::string, std::pair<double, std::map<std::string, double>>> medians;

} // namespace

const DataSet& defaultDataSet() {
    static const DataSet set{"default 64^3", std::string(SKOREL_SOURCE_DIR) + "/data/neghip.raw",
                             64, true};
    return set;
}

const DataSet& cube(int size, bool eightBit) {
    static std::map<std::pair<int, bool>, std::unique_ptr<DataSet>> made;
    std::unique_ptr<DataSet>& set = made[{size, eightBit}];
    if (!set) {
        const std::string name = std::to_string(size) + "^3" + (eightBit ? "" : " 16-bit");
        const std::string file =
            benchFile("ball" + std::to_string(size) + (eightBit ? "x8" : "x16") + ".raw");
        writeBall(file, size, eightBit);
        set.reset(new DataSet{name, file, size, eightBit});
    }
    return *set;
}

namespace {
XServer* server = nullptr;
}

void stopViewer() {
    delete server; // the X server would otherwise outlive the run
    server = nullptr;
}

void startViewer() {
    if (server) return;
    server = new XServer(); // lives until the process ends
    setenv("DISPLAY", server->display.c_str(), 1);
    setenv("SKOREL_FULLSCREEN", "no", 1);
    int argc = 1;
    char name[] = "skorelbench";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    initWindow();
    initGLState();
    mouseState = new MouseState();
    frameCounter = new FrameCounter();
    probeExtensions();
}

void useDataSet(const DataSet& set) {
    static const DataSet* current = nullptr;
    startViewer();
    if (current == &set) return;
    // Earlier volumes and panels stay alive, as the program never frees its own.
    volume = new Volume();
    if (volume->load(set.fileName.c_str(), set.size, set.size, set.size, set.eightBit) !=
        LoadStatus::ok)
        throw std::runtime_error("cannot load " + set.fileName);
    for (int axis = 0; axis < 3; ++axis)
        viewState.textureScale[axis] = volume->scale()[axis] * 0.5f;
    buildControlPanel();
    if (!buildInitialTexture()) throw std::runtime_error("no memory for the texture");
    current = &set;
    // Let the window map and take its size before anything is timed.
    for (int i = 0; i < 10; ++i)
        glutMainLoopEvent();
    glFinish();
}

void recordMedian(const std::string& name, double seconds,
                  const std::map<std::string, double>& counters) {
    medians[name] = {seconds, counters};
}

double medianSeconds(const std::string& name) {
    const auto it = medians.find(name);
    return it == medians.end() ? NAN : it->second.first;
}

double medianCounter(const std::string& name, const std::string& counter) {
    const auto it = medians.find(name);
    if (it == medians.end()) return NAN;
    const auto c = it->second.second.find(counter);
    return c == it->second.second.end() ? NAN : c->second;
}

std::string fmt(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}
