// Times skorel-open's open against ITK reading the same file alone:
//   openTiming stages FILE [runs]   median of each stage (read, range and
//                                   percentiles, window + reduce + place) in ms
//   openTiming itk FILE             one read by ITK alone into its own buffer, ms
//   openTiming padded FILE          skorel-open's padded sizes, as a shape skorel takes
//   openTiming ball W H D OUT       a headerless 8-bit ball of those sizes
//   openTiming start PROGRAM ARGS   runs it (SKOREL_EXIT_AFTER_FRAMES=1 set by
//                                   the caller); ms to its first frame, peak KiB
#include "ItkAlone.h"
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/IntensityWindow.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

ImageRead readOrExit(const std::string& path) {
    ImageRead r = readImage(path, -1);
    if (!r.error.empty()) {
        std::fprintf(stderr, "Error: %s\n", r.error.c_str());
        std::exit(1);
    }
    return r;
}

// The rest of the open as skorel-open does it, without the texture.
void toVoxels(const Samples& s, int factors[3], int size[3]) {
    const SampleRange range = sampleRange(s, !s.unsignedBytes);
    const IntensityWindow window = s.unsignedBytes ? IntensityWindow() : range.percentiles;
    factors[0] = factors[1] = factors[2] = 1; // every voxel, as skorel-open shows them
    double spacing[3];
    Volume volume;
    placeVoxels(s, window, factors, Reorientation(), volume, size, spacing);
}

int stages(const std::string& path, int runs) {
    ImageRead read;
    double itk = 0, reading = 0, ranging = 0, windowing = 0, whole = 0;
    int factors[3], size[3];
    // Each stage in turn, so that a slow spell hits all of them.
    std::vector<double> t[5];
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        readWithItkAlone(path);
        t[0].push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        read = readOrExit(path);
        t[1].push_back(msSince(start));
        const Samples& s = read.samples;
        start = std::chrono::steady_clock::now();
        sampleRange(s, !s.unsignedBytes);
        t[2].push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        toVoxels(s, factors, size);
        t[3].push_back(msSince(start) - t[2].back()); // its range again, taken out
        read = ImageRead();
        start = std::chrono::steady_clock::now();
        toVoxels(readOrExit(path).samples, factors, size);
        t[4].push_back(msSince(start));
    }
    double* out[5] = {&itk, &reading, &ranging, &windowing, &whole};
    for (int k = 0; k < 5; ++k) {
        std::sort(t[k].begin(), t[k].end());
        *out[k] = t[k][t[k].size() / 2];
    }
    std::printf("%s -> %dx%dx%d voxels, median of %d runs:\n", path.c_str(), size[0], size[1],
                size[2], runs);
    std::printf("  ITK reading alone              %8.1f ms\n", itk);
    std::printf("  read (header, checks, samples) %8.1f ms\n", reading);
    std::printf("  range and percentiles          %8.1f ms\n", ranging);
    std::printf("  window, reduce, place          %8.1f ms\n", windowing);
    std::printf("  open, all of it                %8.1f ms  (%.2fx ITK alone)\n", whole,
                whole / itk);
    return 0;
}

// skorel-open's padded block in a shape skorel takes: past 1024 a side, the
// power of two nearest its voxel count, as evenly split as it goes.
int padded(const std::string& path) {
    const Samples& s = readOrExit(path).samples;
    uint32_t p[3];
    for (int a = 0; a < 3; ++a)
        p[a] = padToExtent(uint32_t(s.size[a]));
    if (*std::max_element(p, p + 3) > 1024) {
        const long bits = std::lround(std::log2(double(p[0]) * p[1] * p[2]));
        p[0] = p[1] = p[2] = 1;
        for (long b = 0; b < std::min(bits, 30L); ++b)
            *std::min_element(p, p + 3) *= 2;
    }
    std::printf("%u %u %u\n", p[0], p[1], p[2]);
    return 0;
}

// Density falls from the centre to the ball's surface, with a little noise.
int ball(int w, int h, int d, const char* fileName) {
    std::vector<uint8_t> bytes(size_t(w) * size_t(h) * size_t(d));
    uint32_t noise = 2463534242u;
    size_t at = 0;
    for (int z = 0; z < d; ++z)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
                const double dx = (x - w / 2.0) / w, dy = (y - h / 2.0) / h, dz = (z - d / 2.0) / d;
                const double r = std::sqrt(dx * dx + dy * dy + dz * dz) / 0.45;
                bytes[at++] = uint8_t(r >= 1 ? 0 : int(255 * (1 - r) * 0.9 + (noise & 15)));
            }
    FILE* f = std::fopen(fileName, "wb");
    return f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && !std::fclose(f)
               ? 0
               : 1;
}

int start(char** argv) {
    int out[2];
    if (pipe(out) != 0) return 1;
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1), close(out[0]);
        execvp(argv[0], argv);
        _exit(127);
    }
    close(out[1]);
    std::string text;
    double ms = -1;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, size_t(n));
        if (ms < 0 && text.find("Swapped frame") != std::string::npos) ms = msSince(begin);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (ms < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "Error: %s did not reach its first frame\n", argv[0]);
        return 1;
    }
    std::printf("%.1f %ld\n", ms, usage.ru_maxrss);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "stages") return stages(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    if (mode == "itk") {
        const auto begin = std::chrono::steady_clock::now();
        readWithItkAlone(argv[2]);
        std::printf("%.1f\n", msSince(begin));
        return 0;
    }
    if (mode == "padded") return padded(argv[2]);
    if (mode == "ball" && argc == 6)
        return ball(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (mode == "start") return start(argv + 2);
    std::fprintf(stderr, "Usage: openTiming stages|itk|padded FILE, ball W H D OUT, "
                         "start PROGRAM ARGS...\n");
    return 1;
}
