#include "app/Application.h"

#include "app/ExtensionProbe.h"
#include "app/TextBuffer.h"
#include "app/Window.h"
#include "commands/Commands.h"
#include "gui/ControlPanel.h"
#include "gui/TransferFunctionEditor.h"
#include "platform/Extensions.h"
#include "platform/Memory.h"
#include "platform/Platform.h"
#include "render/FrameCounter.h"
#include "render/Navigation.h"
#include "render/SliceClip.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"
#include "volume/Volume.h"

#include <GL/freeglut.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

const char* const usageLine = "Usage: skorel filename width height depth [8|16]\n";

namespace {

// atoi, except that numbers past the range of int stay past it instead of
// wrapping into a size that looks valid (4294967297 would load as 1).
int toInt(const char* word) {
    return int(std::clamp<long long>(std::strtoll(word, nullptr, 10), INT_MIN, INT_MAX));
}

} // namespace

bool parseCommandLine(int argc, const char* const* argv, CommandLine& out) {
    if (argc == 1) {
        out = CommandLine();
        return true;
    }
    if (argc != 6) return false;
    out.fileName = argv[1];
    out.width = toInt(argv[2]);
    out.height = toInt(argv[3]);
    out.depth = toInt(argv[4]);
    out.eightBit = toInt(argv[5]) == 8;
    return true;
}

std::string sizeProblem(const CommandLine& line, int maxTextureSize) {
    const char* const axes[] = {"width", "height", "depth"};
    const int sizes[] = {line.width, line.height, line.depth};
    for (int i = 0; i < 3; ++i) {
        const uint32_t padded = padToPowerOfTwo(uint32_t(sizes[i]));
        char text[160];
        if (padded == 0) {
            std::snprintf(text, sizeof text,
                          "Error: volume %s %d is out of range (0 to 1024 voxels)", axes[i],
                          sizes[i]);
            return text;
        }
        if (int(padded) > maxTextureSize) {
            std::snprintf(text, sizeof text,
                          "Error: volume %s %d pads to %u, above this driver's largest 3D "
                          "texture (%d)",
                          axes[i], sizes[i], padded, maxTextureSize);
            return text;
        }
    }
    return std::string();
}

void warnBorderAxes(const int sizes[3]) {
    const char* const axes[] = {"width", "height", "depth"};
    for (int i = 0; i < 3; ++i)
        if (sizes[i] <= 2)
            std::fprintf(stderr,
                         "Warning: a volume %s of %d voxels is all transparent border: nothing "
                         "will be drawn\n",
                         axes[i], sizes[i]);
}

namespace {

[[noreturn]] void usage() {
    std::printf("%s", usageLine);
    std::exit(0);
}

// Ends the program when GL_EXT_texture3D is missing, before any data is read.
void checkRequiredExtensions() {
    TextBuffer missingExtensions;
    if (!extensions.hasTexture3D) missingExtensions.append("GL_EXT_texture3D\n");
    if (missingExtensions.empty()) return;
    // The console text starts with a blank line and ends with a line end; the box's does not.
    const char* consoleIntro = "\nThe following required OpenGL extensions isn't supported by "
                               "the graphic card and driver you're using:\n\n";
    const TextBuffer consoleText =
        (consoleIntro + missingExtensions) + "\nThis application will now exit.\n";
    std::printf("%s", consoleText.text());
    std::fflush(stdout);
    const TextBuffer boxText =
        (consoleIntro + 1 + missingExtensions) + "\nThis application will now exit.";
    showNotice("Missing extensions", boxText.text());
    std::exit(-1);
}

// The commonest mistakes load without error but show noise, stripes or nothing.
void reportSizeDoubts(const CommandLine& line, const Volume& loaded) {
    std::fflush(stdout);
    if (loaded.missingSamples() > 0)
        std::fprintf(stderr, "Warning: %s is short: %llu of %dx%dx%d samples missing, left 0\n",
                     line.fileName.c_str(),
                     static_cast<unsigned long long>(loaded.missingSamples()), line.width,
                     line.height, line.depth);
    if (loaded.extraBytes() > 0)
        std::fprintf(stderr,
                     "Warning: %s is %llu bytes longer than %dx%dx%d samples of %d bytes: the "
                     "sizes or the sample size may be wrong, or the file may have a header\n",
                     line.fileName.c_str(), static_cast<unsigned long long>(loaded.extraBytes()),
                     line.width, line.height, line.depth, line.eightBit ? 1 : 2);
    const int sizes[] = {line.width, line.height, line.depth};
    warnBorderAxes(sizes);
}

// Reads the command line, loads the volume and derives the texture scale.
void loadVolumeStage(int argc, char** argv) {
    CommandLine line;
    if (!parseCommandLine(argc, argv, line)) usage();

    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxTextureSize);
    const std::string problem = sizeProblem(line, maxTextureSize > 0 ? maxTextureSize : 1024);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::exit(1);
    }

    volume = new Volume();
    const LoadStatus status =
        volume->load(line.fileName.c_str(), line.width, line.height, line.depth, line.eightBit);
    switch (status) {
    case LoadStatus::ok:
        break;
    case LoadStatus::cannotOpen: {
        const int reason = errno; // of the failed open
        std::printf("Error: unable to open volume\n");
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", line.fileName.c_str(), std::strerror(reason));
        std::exit(1);
    }
    case LoadStatus::badSize: // sizeProblem has refused these already
    case LoadStatus::noMemory:
        std::fprintf(stderr, "Error: not enough memory for a volume of %dx%dx%d voxels\n",
                     line.width, line.height, line.depth);
        std::exit(1);
    }
    reportSizeDoubts(line, *volume);
    for (int axis = 0; axis < 3; ++axis)
        viewState.textureScale[axis] = volume->scale()[axis] * 0.5f;
}

} // namespace

void buildControlPanel() {
    // The slices' brick ranges and the editor's histogram: one pass.
    int histogram[256] = {};
    volumeBricks = computeBrickGrid(volume->width(), volume->height(), volume->depth(),
                                    volume->voxels(), histogram);
    ControlPanel& panel = *(controlPanel = new ControlPanel(0, *volume, histogram));
    panel.setPosition(10, 10);
    panel.setPage(menuPage);
    panel.setCommandCallback(handleCommand);
    panel.setChangeCallback(handleChange);
    exitAction = exitApplication;
    panel.sizeLabel->setText("Size: %dx%dx%d", volume->width(), volume->height(), volume->depth());
    panel.densityLabel->setText("Density: %.2f", double(viewState.density));
    panel.intensityLabel->setText("Intensity: %.2f", double(viewState.intensity));
    panel.slicesLabel->setText("Slices: %d", viewState.sliceCount);
    panel.densityLabel->setEnabled(false);
    panel.densityPlusButton->setEnabled(false);
    panel.densityMinusButton->setEnabled(false);
    if (extensions.hasPalettedTexture) panel.applyTfButton->setEnabled(false);
    if (!extensions.hasBlendColor) panel.attRadio->setEnabled(false);
    if (!extensions.hasBlendMinmax) panel.mipRadio->setEnabled(false);
}

bool buildInitialTexture() {
    const TransferTable& table = controlPanel->editor->table;
    const bool built = extensions.hasPalettedTexture
                           ? buildIndexTexture(*volume, volumeTexture, table)
                           : buildRgbaTexture(*volume, volumeTexture, table);
    setSliceTextureContent(
        extensions.hasPalettedTexture ? TextureContent::index : TextureContent::rgba, table);
    return built;
}

namespace {

void initBeforeVolume() {
    mouseState = new MouseState();
    frameCounter = new FrameCounter();
    probeExtensions();
    checkRequiredExtensions();
}

void initAfterVolume() {
    buildControlPanel();
    if (!buildInitialTexture()) std::exit(1); // the builder has said why
}

} // namespace

void initApplication(int argc, char** argv) {
    initBeforeVolume();
    loadVolumeStage(argc, argv);
    initAfterVolume();
}

void exitApplication() {
    if (fullScreen) glutLeaveGameMode();
    std::printf("\nThe Skorel developers\nhttps://skorel.example.org\n");
    std::exit(0);
}

int runSkorel(int argc, char** argv) {
    lineBufferStandardOutput();
    keepFreedMemory();
    if (argc != 6 && argc != 1) usage();
    glutInit(&argc, argv);
    // glutInit may have taken its own options out of the vector.
    if (argc != 6 && argc != 1) usage();
    initWindow();
    initGLState();
    initApplication(argc, argv);
    glutMainLoop();
    return 0;
}

namespace {

const char* programName = "";
void (*beforeExit)() = nullptr;

// GLUT's fatal errors, in its own words, after the caller's windowOpen: what
// it reports comes first, as when the window was opened after it.
void glutError(const char* format, va_list arguments) {
    if (beforeExit) std::exchange(beforeExit, nullptr)();
    std::fflush(stdout);
    std::fprintf(stderr, "freeglut (%s): ", programName);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    std::exit(1);
}

} // namespace

int runViewer(int argc, char** argv, void (*windowOpen)(), void (*prepareVolume)(),
              void (*started)()) {
    programName = argv[0];
    beforeExit = windowOpen;
    glutInitErrorFunc(glutError);
    glutInit(&argc, argv);
    initWindow();
    initGLState();
    if (beforeExit) std::exchange(beforeExit, nullptr)();
    initBeforeVolume();
    prepareVolume();
    initAfterVolume();
    if (started) started();
    glutMainLoop();
    return 0;
}
