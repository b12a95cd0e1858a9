// skorel-open: reads a data file in a common format (or a headerless one),
// windows it to one-byte voxels and shows it in the viewer with its physical
// proportions.
#include "app/Application.h"
#include "app/OpenControls.h"
#include "platform/Extensions.h"
#include "platform/Memory.h"
#include "platform/Platform.h"
#include "platform/SystemMemory.h"
#include "render/BrickedVolume.h"
#include "render/ViewState.h"
#include "volume/TextureBricks.h"
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/IntensityWindow.h"
#include "volume/formats/Orientation.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

namespace {

const char* const helpText =
    "Usage: skorel-open FILE [options]\n"
    "       skorel-open DICOM-FOLDER [options]\n"
    "       skorel-open RAW-FILE --size XxYxZ [--type T] [--endian little|big] [--header N]\n"
    "                   [--spacing X,Y,Z] [options]\n"
    "Shows a volume from NIfTI-1 or -2 (.nii, .nii.gz), Analyze (.hdr), NRRD (.nrrd,\n"
    ".nhdr), MetaImage (.mha, .mhd), a DICOM folder tree (the series with the most\n"
    "slices), a multi-page TIFF or a VTK legacy image, in proportion to its voxel\n"
    "spacing; data in patient space are seen from the front, superior up.\n"
    "\n"
    "  --window LOW,HIGH  samples mapped onto the 256 voxel values, clamped\n"
    "                     (default: the 0.5th to the 99.5th percentile)\n"
    "  --volume N         volume N (from 0) of a 4D series (default 0)\n"
    "  --spacing X,Y,Z    voxel spacing (default: the file's; 1,1,1 for headerless data)\n"
    "  --reduce N         average blocks of N x N x N samples (default 1: every voxel)\n"
    "Headerless data:\n"
    "  --size XxYxZ       samples per axis, x fastest in the file\n"
    "  --type T           u8 i8 u16 i16 u32 i32 f32 f64 (default u8)\n"
    "  --endian E         little or big (default little)\n"
    "  --header N         bytes to skip before the first sample (default 0)\n"
    "Views and pictures:\n"
    "  --settings FILE    start with the look a settings file holds (key w writes one)\n"
    "  --view AZ,EL       turned AZ degrees about the vertical, EL about the horizontal\n"
    "  --zoom Z           Z times as large as at start-up (above 0, at most 4.4)\n"
    "  --screenshot OUT   draw one picture into OUT (PNG) and exit\n"
    "  --movie DIR        draw a full turn into DIR/frame-0001.png ... and exit\n"
    "  --frames N         pictures in the movie's turn (default 72)\n"
    "  --picture-size WxH the window's size in pixels (default 640x480)\n"
    "  --overlay          pictures show the cube, letters and panel\n"
    "  --help             this text\n"
    "A value follows its option or joins it: --window 0,100 or --window=0,100.\n";

struct OpenOptions {
    std::string path;
    bool raw = false, windowGiven = false, spacingGiven = false, rawOnlyGiven = false;
    RawOptions rawOptions;
    IntensityWindow window;
    int volumeIndex = -1;
    int reduceBy = 1;
    double spacing[3] = {1, 1, 1};
    ViewOptions view;
};

[[noreturn]] void fail(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: %s\n", message.c_str());
    std::exit(1);
}

// Numbers separated by sep, every one of them parsed in full (decimal only:
// strtod would take "0x4" of "0x4x4" as hexadecimal).
bool parseNumbers(const std::string& text, char sep, int count, double* out) {
    const char* p = text.c_str();
    for (int i = 0; i < count; ++i) {
        const size_t length = std::strspn(p, "0123456789+-.eE");
        if (length == 0 || p[length] != (i + 1 < count ? sep : '\0')) return false;
        const std::string token(p, length);
        char* end = nullptr;
        errno = 0;
        out[i] = std::strtod(token.c_str(), &end);
        if (*end != '\0' || errno == ERANGE || !std::isfinite(out[i])) return false;
        p += length + 1;
    }
    return true;
}

bool isWhole(double v, double low, double high) {
    return v == std::floor(v) && v >= low && v <= high;
}

OpenOptions parseOptions(int argc, char** argv) {
    OpenOptions o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // --name=value is --name value.
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const bool joined = equals != std::string::npos;
        const std::string joinedValue = joined ? arg.substr(equals + 1) : "";
        if (joined) arg.resize(equals);
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", helpText);
            std::exit(0);
        }
        if (arg.rfind("--", 0) != 0) {
            if (!o.path.empty()) fail("more than one file given: " + o.path + " and " + arg);
            o.path = arg;
            continue;
        }
        if (arg == "--overlay") {
            if (joined) fail("--overlay takes no value (skorel-open --help lists the options)");
            o.view.overlay = true;
            continue;
        }
        const char* const known[] = {"--window", "--volume", "--spacing", "--size",
                                     "--type",   "--endian", "--header",  "--reduce"};
        if (std::find(std::begin(known), std::end(known), arg) == std::end(known) &&
            !isViewOption(arg))
            fail("unknown option " + arg + " (skorel-open --help lists the options)");
        if (!joined && i + 1 >= argc)
            fail(arg + " needs a value (skorel-open --help lists the options)");
        const std::string value = joined ? joinedValue : argv[++i];
        const std::string bad = "bad " + arg + " '" + value + "': ";
        double v[3];
        std::string wants;
        if (isViewOption(arg)) {
            if (!readViewOption(arg, value, o.view, wants)) fail(bad + wants);
        } else if (arg == "--window") {
            if (!parseNumbers(value, ',', 2, v)) fail(bad + "give LOW,HIGH");
            if (!(v[0] < v[1])) fail(bad + "low must be below high");
            o.window = {v[0], v[1]}, o.windowGiven = true;
        } else if (arg == "--volume") {
            if (!parseNumbers(value, ',', 1, v) || !isWhole(v[0], 0, 1e6))
                fail(bad + "give a volume number from 0");
            o.volumeIndex = int(v[0]);
        } else if (arg == "--reduce") {
            if (!parseNumbers(value, ',', 1, v) || !isWhole(v[0], 1, 64))
                fail(bad + "give a whole factor from 1 to 64");
            o.reduceBy = int(v[0]);
        } else if (arg == "--spacing") {
            if (!parseNumbers(value, ',', 3, v) || !(v[0] > 0 && v[1] > 0 && v[2] > 0))
                fail(bad + "give three positive numbers X,Y,Z");
            std::copy(v, v + 3, o.spacing), o.spacingGiven = true;
        } else if (arg == "--size") {
            if (!parseNumbers(value, 'x', 3, v) || !isWhole(v[0], 0, 1e6) ||
                !isWhole(v[1], 0, 1e6) || !isWhole(v[2], 0, 1e6))
                fail(bad + "give three whole numbers XxYxZ");
            if (v[0] == 0 || v[1] == 0 || v[2] == 0) fail(bad + "an axis is empty");
            for (int a = 0; a < 3; ++a)
                o.rawOptions.size[a] = int(v[a]);
            o.raw = true;
        } else if (arg == "--type") {
            if (!parseSampleType(value, o.rawOptions.type))
                fail(bad + "give one of u8 i8 u16 i16 u32 i32 f32 f64");
            o.rawOnlyGiven = true;
        } else if (arg == "--endian") {
            if (value != "little" && value != "big") fail(bad + "give little or big");
            o.rawOptions.bigEndian = value == "big", o.rawOnlyGiven = true;
        } else if (arg == "--header") {
            if (!parseNumbers(value, ',', 1, v) || !isWhole(v[0], 0, 1e18))
                fail(bad + "give a number of bytes from 0");
            o.rawOptions.header = uint64_t(v[0]), o.rawOnlyGiven = true;
        }
    }
    if (o.path.empty()) fail("no file given (skorel-open --help shows how to use it)");
    if (o.rawOnlyGiven && !o.raw) fail("--type, --endian and --header need --size");
    if (o.raw && o.volumeIndex > 0) fail("--volume needs a 4D file, not headerless data");
    return o;
}

// What the viewer's start-up takes over once the window exists.
OpenOptions options;
Samples samples;
IntensityWindow window;
Look look;

void startControls() {
    startOpenControls(options.view, look, options.path);
}

int reduceBy = 1;

// Test settings, read once: bricks of at most this many texels an axis
// (0: the driver's limits), and the memory taken as available (0: the system's).
const int testBrickLimit = [] {
    const char* n = std::getenv("SKOREL_BRICK_LIMIT");
    return n ? std::max(std::atoi(n), 0) : 0;
}();
const uint64_t testAvailableMemory = [] {
    const char* n = std::getenv("SKOREL_AVAILABLE_MEMORY");
    return n ? uint64_t(std::strtoull(n, nullptr, 10)) : 0;
}();

// Splits the volume into bricks where one texture in the first form would
// pass the driver's limits; returns the limits the bricks are cut within.
BrickLimits chooseTextures(const int size[3], int& texel) {
    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxTextureSize);
    BrickLimits limits;
    limits.axis = maxTextureSize > 0 ? int(maxTextureSize) : 1024;
    limits.bytes = UINT64_MAX;
    if (testBrickLimit > 0) limits.axis = std::min(limits.axis, std::max(testBrickLimit, 2));
    const TextureContent first =
        extensions.hasPalettedTexture ? TextureContent::index : TextureContent::rgba;
    texel = texelBytes(first);
    int extent[3];
    for (int axis = 0; axis < 3; ++axis)
        extent[axis] = int(padToExtent(uint32_t(size[axis])));
    limits = driverBrickLimits(extent, first, limits);
    if (needsBricks(extent, texel, limits)) splitVolumeTextures(true, limits);
    return limits;
}

// Refuses, before the voxel block and the textures exist, a volume of the
// shown size n that they do not fit in. The samples as read stay until the
// block is filled, and go before the textures are built.
void checkMemory(const int n[3], const BrickLimits& limits, int texel) {
    const uint64_t samplesHeld = uint64_t(samples.count()) * uint64_t(sampleBytes(samples.type));
    const uint64_t available =
        (testAvailableMemory > 0 ? testAvailableMemory : availableMemory()) + samplesHeld;
    const bool tooLong = std::max({n[0], n[1], n[2]}) > 32765;
    const uint64_t block =
        uint64_t(padToExtent(n[0])) * padToExtent(n[1]) * uint64_t(padToExtent(n[2]));
    const uint64_t needed =
        tooLong ? UINT64_MAX : std::max(bytesToShow(n, texel, limits), samplesHeld + block);
    if (needed <= available) return;
    // Conservative: the reduced volume's textures fit beside the samples.
    const int factor = reductionToFit(n, texel, limits, available - samplesHeld);
    const std::string need = tooLong ? "an axis past 32765 voxels" : formatBytes(needed);
    char remedy[80];
    if (factor > 0)
        std::snprintf(remedy, sizeof remedy, "--reduce %d makes it fit", factor);
    else
        std::snprintf(remedy, sizeof remedy, "it does not fit even with --reduce 64");
    fail(std::to_string(n[0]) + "x" + std::to_string(n[1]) + "x" + std::to_string(n[2]) +
         " voxels need " + need + " for the samples, voxels and textures, and " +
         formatBytes(available) + " is available: " + remedy);
}

void prepareVolume() {
    // Patient-space data are reordered to come closest to the front view.
    const Reorientation turn =
        samples.patientSpace ? reorientation(samples.direction) : Reorientation();
    // Every voxel is shown, in several textures where one cannot hold them;
    // --reduce averages blocks of reduceBy voxels a side first.
    const int factors[3] = {reduceBy, reduceBy, reduceBy};
    int size[3];
    double spacing[3];
    std::copy(samples.size, samples.size + 3, size);
    std::copy(samples.spacing, samples.spacing + 3, spacing);
    reducedShape(factors, size, spacing);
    if (reduceBy > 1)
        std::printf("Reduced %dx%dx%d by %d per axis to %dx%dx%d (--reduce)\n", samples.size[0],
                    samples.size[1], samples.size[2], reduceBy, size[0], size[1], size[2]);
    int texel = 1;
    const BrickLimits limits = chooseTextures(size, texel);
    checkMemory(size, limits, texel);
    std::fflush(stdout);
    warnBorderAxes(size);
    // The voxels go straight from the samples to their place in the padded
    // block, in the new axes' order.
    volume = new Volume();
    int n[3];
    double d[3];
    if (!placeVoxels(samples, window, factors, turn, *volume, n, d))
        fail("not enough memory for the volume");
    samples = Samples();
    const BoxGeometry g = boxGeometry(n, d);
    for (int axis = 0; axis < 3; ++axis) {
        viewState.boxScale[axis] = g.boxScale[axis];
        viewState.textureScale[axis] = g.textureScale[axis];
        viewState.textureCentre[axis] = g.textureCentre[axis];
    }
    std::copy(turn.rotation, turn.rotation + 16, viewState.rotation);
    std::copy(turn.labels, turn.labels + 6, viewState.faceLabels);
}

// The reading thread: the samples, their notes or error, and their range.
struct Reading {
    std::mutex mutex;
    std::condition_variable changed;
    bool headerRead = false, finished = false;
    std::string error;
    std::vector<std::string> notes;
    SampleRange range;
};
Reading reading;
std::thread reader;

void tell(bool& flag) {
    std::lock_guard<std::mutex> lock(reading.mutex);
    flag = true;
    reading.changed.notify_one();
}

void readSamples() {
    const auto headerRead = [] { tell(reading.headerRead); };
    try {
        if (options.raw) {
            samples.headerRead = headerRead;
            readRaw(options.path, options.rawOptions, samples, reading.error);
        } else {
            ImageRead r = readImage(options.path, options.volumeIndex, headerRead);
            reading.error = std::move(r.error);
            reading.notes = std::move(r.notes);
            samples = std::move(r.samples);
        }
        if (reading.error.empty())
            reading.range = sampleRange(samples, !options.windowGiven && !look.windowGiven &&
                                                     !samples.unsignedBytes);
    } catch (const std::exception& e) {
        reading.error = "cannot read " + options.path + ": " + e.what();
    }
    samples.headerRead = nullptr;
    tell(reading.finished);
}

// Once the window is open: the read's outcome, the window and what it shows.
void finishReading() {
    if (reader.joinable()) reader.join();
    if (!reading.error.empty()) fail(reading.error);
    for (const std::string& note : reading.notes)
        std::printf("%s\n", note.c_str());
    if (options.spacingGiven) std::copy(options.spacing, options.spacing + 3, samples.spacing);
    for (int axis = 0; axis < 3; ++axis)
        if (!(samples.spacing[axis] > 0) || !std::isfinite(samples.spacing[axis]))
            fail(options.path + " has a voxel spacing that is not positive; give --spacing");

    const SampleRange& range = reading.range;
    if (!range.any) fail(options.path + " holds no finite sample");
    const double min = range.min, max = range.max;
    // Constant data give no window: one just below the value shows them as a block.
    const bool constant = min == max && !options.windowGiven && !look.windowGiven;
    window = options.windowGiven     ? options.window
             : look.windowGiven      ? IntensityWindow{look.window[0], look.window[1]}
             : constant              ? IntensityWindow{min - 1, min}
             : samples.unsignedBytes ? IntensityWindow()
                                     : range.percentiles;
    if (constant) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "Warning: %s holds one value, %g, everywhere: the window cannot come from "
                     "the data; %g to %g shows it as a block\n",
                     options.path.c_str(), min, window.low, window.high);
    }
    // A sheared grid is shown at right angles, with the spacing as given.
    const double sheared = samples.patientSpace ? orthonormalise(samples.direction) : 0;
    if (sheared > 0)
        std::printf("%s: the axes are sheared by up to %.1f degrees; the shear is dropped, "
                    "spacing %g x %g x %g\n",
                    options.path.c_str(), sheared, samples.spacing[0], samples.spacing[1],
                    samples.spacing[2]);
    if (sheared < 0)
        std::printf("%s: the axes' directions are degenerate; shown in index order\n",
                    options.path.c_str());
    samples.patientSpace = samples.patientSpace && sheared >= 0;
    const std::string code =
        samples.patientSpace ? ", orientation " + orientationCode(samples.direction) : "";
    std::printf("Opened %s: %dx%dx%d voxels, spacing %g x %g x %g%s\n", options.path.c_str(),
                samples.size[0], samples.size[1], samples.size[2], samples.spacing[0],
                samples.spacing[1], samples.spacing[2], code.c_str());
    std::printf("Data range %g to %g; window %g to %g (%s)\n", min, max, window.low, window.high,
                options.windowGiven     ? "--window"
                : look.windowGiven      ? "settings"
                : constant              ? "constant data"
                : samples.unsignedBytes ? "one-byte data, values kept"
                                        : "0.5th to 99.5th percentile");
    look.window[0] = window.low, look.window[1] = window.high, look.windowGiven = true;
    reduceBy = options.reduceBy;
}

} // namespace

int main(int argc, char** argv) {
    restartWithHugePages(argv);
    lineBufferStandardOutput();
    keepFreedMemory();
    // Out of memory anywhere in reading, windowing or reducing ends with one
    // line, written without allocating.
    std::set_new_handler([] {
        std::fflush(stdout);
        std::fputs("Error: not enough memory for the volume\n", stderr);
        std::_Exit(1);
    });
    options = parseOptions(argc, argv);
    if (!options.view.settings.empty()) readSettingsFile(options.view.settings, look);
    // The samples are read beside the window's opening, once their header has
    // been read and checked: a file refused for its header never opens one.
    try {
        reader = std::thread(readSamples);
    } catch (const std::system_error&) {
        readSamples();
    }
    bool refused = false;
    {
        std::unique_lock<std::mutex> lock(reading.mutex);
        reading.changed.wait(lock, [] { return reading.headerRead || reading.finished; });
        refused = reading.finished && !reading.error.empty();
    }
    if (refused) finishReading();
    prepareWindow(options.view);
    return runViewer(argc, argv, finishReading, prepareVolume, startControls);
}
