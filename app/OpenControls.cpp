// skorel-open's own controls: option parsing, settings files, then the keys,
// the wheel and the frame hooks (palette correction, pictures, batch runs).
#include "app/OpenControls.h"

#include "app/Picture.h"
#include "commands/Commands.h"
#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "render/Navigation.h"
#include "render/Renderer.h"
#include "render/SliceClip.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"
#include "volume/Volume.h"

#include <GL/freeglut.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

bool isViewOption(const std::string& arg) {
    for (const char* name : {"--screenshot", "--movie", "--frames", "--settings", "--view",
                             "--zoom", "--picture-size"})
        if (arg == name) return true;
    return false;
}

bool readViewOption(const std::string& arg, const std::string& value, ViewOptions& o,
                    std::string& wants) {
    int used = -1;
    double a = 0, b = 0;
    const char* v = value.c_str();
    if (arg == "--screenshot" || arg == "--movie" || arg == "--settings") {
        (arg == "--movie" ? o.movie : arg == "--settings" ? o.settings : o.screenshot) = value;
        wants = "give a file name";
        return !value.empty();
    }
    if (arg == "--frames") {
        wants = "give a whole number of frames from 1 to 100000";
        return std::sscanf(v, "%d%n", &o.frames, &used) == 1 && v[used] == '\0' && o.frames >= 1 &&
               o.frames <= 100000;
    }
    if (arg == "--view") {
        wants = "give AZIMUTH,ELEVATION in degrees";
        o.viewGiven = true;
        const bool ok = std::sscanf(v, "%lf,%lf%n", &a, &b, &used) == 2 && v[used] == '\0' &&
                        std::isfinite(a) && std::isfinite(b);
        return o.view[0] = float(a), o.view[1] = float(b), ok;
    }
    if (arg == "--zoom") {
        wants = "give a zoom above 0, at most 4.4 (1: the start-up view)";
        const bool ok =
            std::sscanf(v, "%lf%n", &a, &used) == 1 && v[used] == '\0' && a > 0 && a <= 4.4;
        return o.zoom = float(a), ok;
    }
    wants = "give WIDTHxHEIGHT, each from 16 to 4096";
    return std::sscanf(v, "%dx%d%n", &o.size[0], &o.size[1], &used) == 2 && v[used] == '\0' &&
           o.size[0] >= 16 && o.size[0] <= 4096 && o.size[1] >= 16 && o.size[1] <= 4096;
}

void readSettingsFile(const std::string& path, Look& look) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    std::string error;
    std::vector<std::string> warnings;
    if (!(in && text << in.rdbuf()))
        error = std::strerror(errno);
    else
        parseLook(text.str(), look, error, warnings);
    std::fflush(stdout);
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "Warning: %s %s\n", path.c_str(), warning.c_str());
    if (!error.empty())
        std::fprintf(stderr, "Warning: settings %s, %s; the defaults are kept\n", path.c_str(),
                     error.c_str());
}

void prepareWindow(const ViewOptions& options) {
    if (!options.screenshot.empty() || !options.movie.empty()) setenv("SKOREL_FULLSCREEN", "no", 1);
}

namespace {

ViewOptions options;
std::string stem; // pictures and settings files are named after the data
Look startLook;   // the window the voxels were made with
bool correction = true;
bool pictureWanted = false;
int movieFrame = 0;
float viewRotation[16]; // the batch view that a movie turns about

// rotation = turn about the screen's x or y axis x rotation (as glRotatef turns).
void turnOnScreen(int axis, float degrees, float rotation[16]) {
    const float r = degrees * float(M_PI / 180.0), c = std::cos(r), s = std::sin(r);
    const int u = axis == 0 ? 1 : 2, v = axis == 0 ? 2 : 0; // the plane that turns
    for (int col = 0; col < 4; ++col) {
        float* m = rotation + 4 * col;
        const float a = m[u], b = m[v];
        m[u] = c * a - s * b, m[v] = s * a + c * b;
    }
}

void showSettingLabels() {
    ControlPanel& panel = *controlPanel;
    panel.densityLabel->setText("Density: %.2f", double(viewState.density));
    panel.intensityLabel->setText("Intensity: %.2f", double(viewState.intensity));
    panel.slicesLabel->setText("Slices: %d", viewState.sliceCount);
    panel.filterCheckBox->setChecked(viewState.filter == GL_LINEAR);
    RadioButton* radios[] = {panel.normRadio, panel.overRadio, panel.attRadio, panel.mipRadio};
    radios[int(viewState.blendOperator)]->select(true);
}

void applyLook(const Look& look) {
    TransferFunctionEditor& editor = *controlPanel->editor;
    static_cast<TransferFunction&>(editor) = look.transfer;
    editor.buildTable();
    const bool driverHas = (look.blendOperator != BlendOperator::att || extensions.hasBlendColor) &&
                           (look.blendOperator != BlendOperator::mip || extensions.hasBlendMinmax);
    if (driverHas) viewState.blendOperator = look.blendOperator;
    viewState.density = look.density, viewState.intensity = look.intensity;
    viewState.sliceCount = look.sliceCount;
    viewState.filter = look.linearFilter ? GL_LINEAR : GL_NEAREST;
    for (int col = 0; col < 3 && look.rotationGiven; ++col)
        std::copy(look.rotation + 3 * col, look.rotation + 3 * col + 3,
                  viewState.rotation + 4 * col);
    viewState.distance = look.distance;
    viewState.clip = look.clip;
    correction = look.opacityCorrection;
    showSettingLabels();
    // Colour indices take the new table through the palette, the RGBA form by a rebuild.
    if (sliceTextureContent() == TextureContent::index) {
        uploadPalette(editor.table);
        setSliceTextureContent(TextureContent::index, editor.table);
    } else if (sliceTextureContent() == TextureContent::rgba &&
               buildRgbaTexture(*volume, volumeTexture, editor.table)) {
        setSliceTextureContent(TextureContent::rgba, editor.table);
    }
}

Look currentLook() {
    Look look = startLook;
    look.transfer = *controlPanel->editor;
    look.blendOperator = viewState.blendOperator;
    look.density = viewState.density, look.intensity = viewState.intensity;
    look.sliceCount = viewState.sliceCount;
    look.linearFilter = viewState.filter == GL_LINEAR;
    look.rotationGiven = true;
    for (int col = 0; col < 3; ++col)
        std::copy(viewState.rotation + 4 * col, viewState.rotation + 4 * col + 3,
                  look.rotation + 3 * col);
    look.distance = viewState.distance;
    look.clip = viewState.clip;
    look.opacityCorrection = correction;
    return look;
}

// One line either way; the viewer runs on.
void saveNumbered(const char* ext, const std::string& text, const std::vector<unsigned char>* rgb,
                  int width, int height) {
    std::string path, error;
    std::FILE* file = createNumbered(".", stem, ext, path, error);
    bool written = file != nullptr;
    if (file && rgb) written = writePng(file, width, height, *rgb);
    if (file && !rgb) written = std::fputs(text.c_str(), file) >= 0;
    if (file) written = std::fclose(file) == 0 && written;
    if (file && !written) error = std::strerror(errno ? errno : EIO);
    std::fflush(stdout);
    if (written)
        std::printf("Saved %s\n", path.c_str());
    else
        std::fprintf(stderr, "Error: cannot write %s: %s\n", path.c_str(), error.c_str());
}

// The palette's correction follows the slice count (which a drag lowers),
// the intensity and the o key. An edit of the colour-index form only builds
// the table and marks the palette stale: the next frame uploads it once,
// corrected or not.
bool paletteStale = true;
int correctedSlices = 0;
float correctedIntensity = 0;
bool corrected = false;

void openChange(int id, int x, int y) {
    if (id == editorCommand && sliceTextureContent() == TextureContent::index)
        controlPanel->editor->buildTable();
    else
        handleChange(id, x, y);
    paletteStale = true;
}

// Only operators that add up the slices' alphas need the correction: att
// divides its constant among the slices already, and mip takes the largest.
bool correctionApplies() {
    return correction && sliceTextureContent() == TextureContent::index &&
           (viewState.blendOperator == BlendOperator::over ||
            viewState.blendOperator == BlendOperator::norm);
}

void syncCorrectedPalette() {
    if (sliceTextureContent() != TextureContent::index) return;
    if (!paletteStale && correctedSlices == viewState.sliceCount &&
        correctedIntensity == viewState.intensity && corrected == correctionApplies())
        return;
    TransferTable table;
    std::memcpy(table, controlPanel->editor->table, sizeof table);
    if (correctionApplies()) correctOpacity(table, viewState.intensity, viewState.sliceCount);
    uploadPalette(table);
    noteSlicePalette(table);
    paletteStale = false;
    correctedSlices = viewState.sliceCount, correctedIntensity = viewState.intensity;
    corrected = correctionApplies();
}

bool isBatch() {
    return !options.screenshot.empty() || !options.movie.empty();
}

void openDisplay() {
    if (!options.movie.empty()) {
        std::copy(viewRotation, viewRotation + 16, viewState.rotation);
        turnOnScreen(1, 360.0f * float(movieFrame) / float(options.frames), viewState.rotation);
    }
    syncCorrectedPalette();
    controlPanel->opacityLabel->setText("Opacity fix: %s", !correction           ? "off"
                                                           : correctionApplies() ? "on"
                                                                                 : "n/a");
    display();
}

// A batch run's picture, once the window has its size; then the next frame
// of a movie, or the end.
void saveBatchPicture(int width, int height) {
    std::string path = options.screenshot;
    if (!options.movie.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.png", movieFrame + 1);
        path = options.movie + name;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file && writePng(file, width, height, readWindowPixels(width, height));
    if (!file || std::fclose(file) != 0 || !written) {
        const int reason = errno ? errno : EIO;
        std::fflush(stdout);
        std::fprintf(stderr, "Error: cannot write %s: %s\n", path.c_str(), std::strerror(reason));
        std::exit(1);
    }
    if (options.movie.empty()) std::printf("Saved %s\n", path.c_str());
    if (options.movie.empty() || ++movieFrame == options.frames) {
        if (!options.movie.empty())
            std::printf("Saved %d frames in %s; a video of them:\n"
                        "ffmpeg -framerate 24 -i '%s/frame-%%04d.png' -pix_fmt yuv420p '%s.mp4'\n",
                        options.frames, options.movie.c_str(), options.movie.c_str(),
                        options.movie.c_str());
        std::fflush(stdout);
        std::exit(0);
    }
}

void savePictures() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int width = viewport[2], height = viewport[3];
    if (isBatch()) {
        if (width == options.size[0] && height == options.size[1]) saveBatchPicture(width, height);
    } else if (pictureWanted) {
        pictureWanted = false;
        const std::vector<unsigned char> rgb = readWindowPixels(width, height);
        saveNumbered(".png", std::string(), &rgb, width, height);
    }
}

void openKeyboard(unsigned char key, int x, int y) {
    switch (std::tolower(key)) {
    case 'p':
        pictureWanted = true; // a frame drawn now, read before it is shown
        openDisplay();
        break;
    case 'w':
        saveNumbered(".skorel", formatLook(currentLook()), nullptr, 0, 0);
        break;
    case 'c':
        viewState.clip = viewState.clip.on ? ClipPlane() : facingClipPlane(viewState.rotation);
        break;
    case 'v':
        if (viewState.clip.on) flipClipPlane(viewState.clip);
        break;
    case 'o':
        correction = !correction;
        break;
    default:
        keyboard(key, x, y);
    }
}

// GLUT reports the wheel as buttons 3 (up) and 4 (down).
void openMouse(int button, int state, int x, int y) {
    if (button != 3 && button != 4) return mouse(button, state, x, y);
    if (state == GLUT_DOWN && viewState.clip.on)
        moveClipPlane(viewState.clip, button == 3 ? 0.05f : -0.05f, viewState.boxScale);
}

} // namespace

void startOpenControls(const ViewOptions& given, const Look& look, const std::string& dataPath) {
    options = given;
    stem = dataStem(dataPath);
    startLook = look;
    float front[16];
    std::copy(viewState.rotation, viewState.rotation + 16, front);
    applyLook(look);
    if (options.viewGiven) {
        std::copy(front, front + 16, viewState.rotation);
        turnOnScreen(1, options.view[0], viewState.rotation);
        turnOnScreen(0, options.view[1], viewState.rotation);
    }
    if (options.zoom > 0) viewState.distance = std::min(-4.4f / options.zoom, -1.0f);
    std::copy(viewState.rotation, viewState.rotation + 16, viewRotation);
    if (isBatch()) {
        viewState.showOverlay = options.overlay;
        for (int i = 0; i < 2; ++i)
            options.size[i] = options.size[i] ? options.size[i] : i ? 480 : 640;
        if (!options.movie.empty() && mkdir(options.movie.c_str(), 0777) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "Error: cannot make the folder %s: %s\n", options.movie.c_str(),
                         std::strerror(errno));
            std::exit(1);
        }
    }
    if (options.size[0]) glutReshapeWindow(options.size[0], options.size[1]);
    controlPanel->setChangeCallback(openChange);
    glutDisplayFunc(openDisplay);
    glutKeyboardFunc(openKeyboard);
    glutMouseFunc(openMouse);
    beforeSwap = savePictures;
}
