// Volume::load on random sizes, sample sizes and file contents, checked voxel
// by voxel against the file-order definition of the format.
//
// Input: byte 0 bit 0 one-byte samples, bytes 1-3 the sizes (below 210 small
// sizes, above that boundaries a user might type), the rest the file.
#include "volume/Volume.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string path;

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "loader invariant broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    path = "/tmp/skorel-fuzz-" + std::to_string(getpid()) + ".raw";
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1; // the progress line is not under test
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int special[] = {-1, -1024, -2147483647 - 1, 1023, 1024, 1025, 2147483647, 257};
    if (size < 4) return 0;
    const bool eightBit = data[0] & 1;
    int given[3];
    uint64_t padded[3], total = 1;
    for (int i = 0; i < 3; ++i) {
        given[i] = data[1 + i] < 210 ? data[1 + i] % 70 : special[data[1 + i] % 8];
        total *= padded[i] = padToPowerOfTwo(uint32_t(given[i]));
    }
    if (total > (uint64_t(1) << 18)) return 0; // keeps each run short
    FILE* f = std::fopen(path.c_str(), "wb");
    const size_t length = f ? std::fwrite(data + 4, 1, size - 4, f) : 0;
    if (!f || std::fclose(f) != 0) return 0;

    Volume volume;
    const LoadStatus status = volume.load(path.c_str(), given[0], given[1], given[2], eightBit);
    if (total == 0) {
        check(status == LoadStatus::badSize && volume.voxels() == nullptr, "bad size loaded");
        return 0;
    }
    check(status == LoadStatus::ok, "a readable file with good sizes was not loaded");
    check(uint64_t(volume.width()) == padded[0] && uint64_t(volume.height()) == padded[1] &&
              uint64_t(volume.depth()) == padded[2],
          "padded sizes");
    const uint64_t sampleBytes = eightBit ? 1 : 2, available = length / sampleBytes;
    const uint64_t gw = uint64_t(std::max(given[0], 0)), gh = uint64_t(std::max(given[1], 0)),
                   gd = uint64_t(std::max(given[2], 0)), needed = gw * gh * gd;
    check(volume.missingSamples() == needed - std::min(needed, available), "missing count");
    for (uint64_t z = 0; z < padded[2]; ++z)
        for (uint64_t y = 0; y < padded[1]; ++y)
            for (uint64_t x = 0; x < padded[0]; ++x) {
                const uint64_t k = x + gw * (y + gh * z); // sample index in file order
                const bool present = x < gw && y < gh && z < gd && k < available;
                check(volume.voxels()[x + padded[0] * (y + padded[1] * z)] ==
                          (present ? data[4 + k * sampleBytes + sampleBytes - 1] : 0),
                      "voxel value");
            }
    const float largest = float(std::max({padded[0], padded[1], padded[2]}));
    for (int i = 0; i < 3; ++i)
        check(volume.scale()[i] == largest / float(padded[i]), "scale factor");
    return 0;
}
