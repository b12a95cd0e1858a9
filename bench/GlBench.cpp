// Figures 3 to 5 through the viewer's own GL code: reset of the editor,
// recolouring against an RGBA rebuild, and frames drawn by display; and the
// driver's upload of a 1024^3 texture.
#include "BenchData.h"

#include "app/Application.h"
#include "gui/ControlPanel.h"
#include "gui/TransferFunctionEditor.h"
#include "platform/Extensions.h"
#include "render/BrickedVolume.h"
#include "render/Navigation.h"
#include "render/Renderer.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"
#include "volume/CoarseCopy.h"
#include "volume/Volume.h"

#include "platform/Extensions.h"

#include <GL/freeglut.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

// Histogram count and display list, as "Init TF" does.
void resetEditor(benchmark::State& state) {
    useDataSet(cube(256));
    for (auto _ : state)
        controlPanel->editor->reset(*volume);
    glFinish();
}

// One editor motion: a control point moves, the table and palette follow.
void recolourOnce() {
    static int step = 0;
    TransferFunctionEditor& editor = *controlPanel->editor;
    editor.controlPoints[2].y = 20 + (step++ & 63);
    editor.buildTable();
    uploadPalette(editor.table);
    glFinish();
}

void recolour(benchmark::State& state) {
    useDataSet(cube(128));
    TransferFunctionEditor& editor = *controlPanel->editor;
    for (auto _ : state)
        recolourOnce();
    editor.resetCurve();
    editor.buildTable();
    uploadPalette(editor.table);
}

// What recolouring costs without a palette: the table baked into a new texture.
void rgbaRebuild(benchmark::State& state) {
    useDataSet(cube(128));
    const TransferTable& table = controlPanel->editor->table;
    for (auto _ : state) {
        buildRgbaTexture(*volume, volumeTexture, table);
        glFinish();
    }
    buildInitialTexture();
}

int paletteUploads = 0;
ColorTableProc countedColorTable = nullptr;
void APIENTRY countColorTable(GLenum target, GLenum internalFormat, GLsizei width, GLenum format,
                              GLenum type, const GLvoid* table) {
    ++paletteUploads;
    countedColorTable(target, internalFormat, width, format, type, table);
}

// The same motion on 128^3 split into 2 x 2 x 2 bricks, with the palette
// uploads counted: one a motion, as on one texture. Then frames of it still
// and turning at 80 slices, against the one texture's (figure 5).
void brickedMotionAndFrames(benchmark::State& state) {
    useDataSet(cube(128));
    BrickLimits limits;
    limits.axis = 64;
    splitVolumeTextures(true, limits);
    buildInitialTexture();
    countedColorTable = extensions.glColorTableEXT;
    extensions.glColorTableEXT = countColorTable;
    paletteUploads = 0;
    for (auto _ : state)
        recolourOnce();
    state.counters["uploads"] = double(paletteUploads) / double(state.iterations());
    extensions.glColorTableEXT = countedColorTable;
    const ViewState saved = viewState;
    for (const bool turning : {false, true}) {
        viewState.sliceCount = turning ? rotatingSliceCount(80) : 80;
        viewState.filter = turning ? GL_NEAREST : GL_LINEAR;
        viewState.coarse = turning;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 10; ++i)
            display();
        glFinish();
        state.counters[turning ? "turning" : "still"] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 10;
    }
    viewState = saved;
    splitVolumeTextures(false);
    buildInitialTexture();
}

constexpr int framesPerIteration = 2;

// Frames through display at a slice count, still or turning (the level of
// detail a left drag sets: two thirds of the slices, nearest filtering, the
// volume's smaller copy where there is one, unless `whole`).
void frames(benchmark::State& state, const DataSet* set, int slices, bool turning,
            bool whole = false) {
    if (set) useDataSet(*set);
    const ViewState saved = viewState;
    viewState.sliceCount = turning ? rotatingSliceCount(slices) : slices;
    viewState.filter = turning ? GL_NEAREST : GL_LINEAR;
    viewState.coarse = turning && !whole;
    float from[3], to[3];
    trackballProject(320, 240, 640, 480, from);
    trackballProject(326, 238, 640, 480, to);
    if (turning) display(); // the copy is made at the first drag: row 21.4 times it alone
    for (auto _ : state) {
        for (int i = 0; i < framesPerIteration; ++i) {
            if (turning) rotateByTrackball(from, to, viewState.rotation);
            display();
        }
        glFinish();
    }
    viewState = saved;
}

// A CT of 2,160 slices of 512 x 512 (one-byte voxels, a body with a ring of
// bone), every voxel in bricks, or averaged by 3 along z to 720 slices as
// skorel-open did before bricks. Frames at 80 slices, still or turning.
void ctFrames(benchmark::State& state, bool full, bool turning) {
    static Volume* shown = nullptr;
    static Volume* const before = (useDataSet(defaultDataSet()), volume);
    const int depth = full ? 2160 : 720;
    if (!shown || shown->depth() != int(padToExtent(uint32_t(depth)))) {
        std::vector<uint8_t> voxels(size_t(512) * 512 * depth);
        for (size_t i = 0; i < voxels.size(); ++i) {
            const double x = double(i % 512) - 256, y = double(i / 512 % 512) - 256,
                         z = double(i / (512 * 512)) * 2160 / depth;
            const double d = std::sqrt(x * x / (215.0 * 215.0) + y * y / (154.0 * 154.0));
            const double bone = std::fabs(d - 0.55 - 0.05 * std::sin(z * 0.02));
            voxels[i] = d >= 1 ? 0 : bone < 0.04 ? 240 : uint8_t(130 + 20 * std::sin(x * 0.05));
        }
        shown = new Volume();
        shown->setVoxels(voxels.data(), 512, 512, depth);
        volume = shown;
        for (int axis = 0; axis < 3; ++axis)
            viewState.textureScale[axis] = volume->scale()[axis] * 0.5f;
        BrickLimits limits;
        limits.axis = 2048;
        const int extent[3] = {shown->width(), shown->height(), shown->depth()};
        splitVolumeTextures(full, driverBrickLimits(extent, TextureContent::index, limits));
        buildControlPanel();
        buildInitialTexture();
    }
    frames(state, nullptr, 80, turning);
    if (!full && turning) { // the last of the four: back to the data sets
        volume = before;
        for (int axis = 0; axis < 3; ++axis)
            viewState.textureScale[axis] = volume->scale()[axis] * 0.5f;
        splitVolumeTextures(false);
        buildControlPanel();
        buildInitialTexture();
    }
}

// The default view with the overlay and without, frame by frame in turn so
// that both see the same load: seconds per frame as counters "on" and "off".
void overlayOnOff(benchmark::State& state) {
    useDataSet(defaultDataSet());
    double seconds[2] = {0, 0};
    for (auto _ : state)
        for (int overlay = 0; overlay < 2; ++overlay) {
            viewState.showOverlay = overlay == 1;
            const auto start = std::chrono::steady_clock::now();
            display();
            glFinish();
            seconds[overlay] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    viewState.showOverlay = true;
    state.counters["off"] = seconds[0] / double(state.iterations());
    state.counters["on"] = seconds[1] / double(state.iterations());
}

// The floor under every frame: clear and swap.
void bareFrame(benchmark::State& state) {
    useDataSet(defaultDataSet());
    for (auto _ : state) {
        for (int i = 0; i < framesPerIteration; ++i) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glutSwapBuffers();
        }
        glFinish();
    }
}

// The driver's part of the floor under a 1024^3 start: one upload of the
// file's bytes, as they are, into a new one-byte texture.
void uploadOnce(benchmark::State& state) {
    startViewer();
    const DataSet& set = cube(1024);
    const size_t bytes = size_t(1) << 30;
    std::vector<uint8_t> texels(bytes);
    FILE* f = std::fopen(set.fileName.c_str(), "rb");
    if (!f || std::fread(texels.data(), 1, bytes, f) != bytes)
        throw std::runtime_error("cannot read " + set.fileName);
    std::fclose(f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (auto _ : state) {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_3D, name);
        extensions.glTexImage3DEXT(GL_TEXTURE_3D, 0, GL_ALPHA8, 1024, 1024, 1024, 0, GL_ALPHA,
                                   GL_UNSIGNED_BYTE, texels.data());
        glFinish();
        glDeleteTextures(1, &name);
    }
    glBindTexture(GL_TEXTURE_3D, volumeTexture);
}

// What the first drag on the largest volume adds: its voxels averaged into
// the smaller copy (the copy's upload, 16 MiB, is in the first frame only);
// counter "read": one plain pass summing the same voxels, the floor.
void averageForDrag(benchmark::State& state) {
    useDataSet(cube(1024));
    const int n[3] = {1024, 1024, 1024}, m[3] = {256, 256, 256};
    std::vector<uint8_t> out(size_t(256) * 256 * 256);
    double read = 0;
    for (auto _ : state) {
        averageBlocks(n, volume->voxels(), m, out.data());
        state.PauseTiming();
        const auto start = std::chrono::steady_clock::now();
        uint64_t sum = 0;
        for (size_t i = 0; i < volume->voxelCount(); ++i)
            sum += volume->voxels()[i];
        benchmark::DoNotOptimize(sum);
        read += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.ResumeTiming();
    }
    state.counters["read"] = read / double(state.iterations());
}

const int sliceCounts[] = {10, 80, 200};

// Registered at start so the data sets exist once, in the order they are drawn.
const bool registered = [] {
    benchmark::RegisterBenchmark("reset/256", resetEditor);
    benchmark::RegisterBenchmark("recolour/palette", recolour);
    benchmark::RegisterBenchmark("recolour/rgba128", rgbaRebuild);
    benchmark::RegisterBenchmark("recolour/bricked128", brickedMotionAndFrames);
    benchmark::RegisterBenchmark("frame/bare", bareFrame)->MinTime(0.1);
    benchmark::RegisterBenchmark("frame/overlay", overlayOnOff)->MinTime(0.5);
    for (const DataSet* set : {&defaultDataSet(), &cube(128), &cube(256)})
        for (int slices : sliceCounts)
            for (bool turning : {false, true}) {
                const std::string name = "frame/" + set->name + "/" + std::to_string(slices) +
                                         (turning ? "/turning" : "/still");
                benchmark::RegisterBenchmark(name.c_str(), frames, set, slices, turning, false)
                    ->MinTime(0.1)
                    ->Repetitions(3);
            }
    benchmark::RegisterBenchmark("upload/1024", uploadOnce)->Iterations(1);
    // Row 21.4: the drag's level of detail on the largest volume, and the same
    // drawn from the whole texture, as before the copy.
    for (bool turning : {false, true})
        benchmark::RegisterBenchmark(turning ? "frame/1024^3/80/turning" : "frame/1024^3/80/still",
                                     frames, &cube(1024), 80, turning, false)
            ->MinTime(0.1)
            ->Repetitions(3);
    benchmark::RegisterBenchmark("frame/1024^3/80/turning-whole", frames, &cube(1024), 80, true,
                                 true)
        ->MinTime(0.1)
        ->Repetitions(3);
    benchmark::RegisterBenchmark("dragcopy/1024", averageForDrag)->Iterations(1);
    for (const bool full : {true, false})
        for (const bool turning : {false, true}) {
            const std::string name = std::string("frame/ct") + (full ? "2160" : "720") +
                                     (turning ? "/turning" : "/still");
            benchmark::RegisterBenchmark(name.c_str(), ctFrames, full, turning)
                ->MinTime(0.1)
                ->Repetitions(3);
        }
    return true;
}();

} // namespace

int benchFramesPerIteration() {
    return framesPerIteration;
}
