// Volume::load on random sizes, sample sizes and file contents, checked
// voxel by voxel against the file-order definition of the format.
//
// Input: byte 0 flags (bit 0 one-byte samples, bits 1-2 what the name is:
// 0 or 1 a file, 2 a missing file, 3 a directory), bytes 1-3 the three sizes
// (see sizeFrom), the rest the file's contents.
#include "volume/Volume.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string filePath, missingPath, directoryPath;

// Small sizes directly, then the boundaries and values a user might type.
int sizeFrom(uint8_t b) {
    static const int special[] = {-1,   -2,   -1024, -2147483647 - 1, 1023, 1024, 1025,
                                  2048, 4096, 65536, 2147483647,      512,  513,  256,
                                  257,  129};
    return b < 240 ? b % 70 : special[b - 240];
}

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "loader invariant broken: %s\n", what);
    std::abort();
}

bool writeFile(const uint8_t* bytes, size_t size) {
    const int fd = open(filePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    const bool ok = write(fd, bytes, size) == ssize_t(size);
    close(fd);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The loader's progress line is not what is under test.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    char dir[] = "/tmp/skorel-fuzz-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    filePath = std::string(dir) + "/volume.raw";
    missingPath = std::string(dir) + "/missing.raw";
    directoryPath = dir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const bool eightBit = data[0] & 1;
    const int kind = (data[0] >> 1) & 3;
    const int given[3] = {sizeFrom(data[1]), sizeFrom(data[2]), sizeFrom(data[3])};
    const uint8_t* contents = data + 4;
    const size_t length = size - 4;

    uint32_t padded[3];
    uint64_t total = 1;
    for (int i = 0; i < 3; ++i)
        total *= padded[i] = padToPowerOfTwo(uint32_t(given[i]));
    // Accepted blocks up to 256 Ki voxels keep every run short; refused sizes
    // allocate nothing and always run.
    if (total > (uint64_t(1) << 18)) return 0;

    const char* name = kind == 2   ? missingPath.c_str()
                       : kind == 3 ? directoryPath.c_str()
                                   : filePath.c_str();
    if (kind < 2 && !writeFile(contents, length)) return 0;

    Volume volume;
    const LoadStatus status = volume.load(name, given[0], given[1], given[2], eightBit);
    if (total == 0) {
        check(status == LoadStatus::badSize, "a size above 1024 or negative was not refused");
        check(volume.voxels() == nullptr && volume.width() == 0, "a refused load kept voxels");
        return 0;
    }
    check(volume.width() == int(padded[0]) && volume.height() == int(padded[1]) &&
              volume.depth() == int(padded[2]),
          "padded sizes");
    if (kind >= 2) {
        check(status == LoadStatus::cannotOpen, "a missing file or directory was opened");
        return 0;
    }
    check(status == LoadStatus::ok, "a readable file with good sizes was not loaded");

    const size_t sampleBytes = eightBit ? 1 : 2;
    const uint64_t gw = uint64_t(std::max(given[0], 0)), gh = uint64_t(std::max(given[1], 0)),
                   gd = uint64_t(std::max(given[2], 0));
    const uint64_t needed = gw * gh * gd, available = length / sampleBytes;
    check(volume.missingSamples() == needed - std::min(needed, available), "missing count");

    const uint8_t* voxels = volume.voxels();
    for (uint64_t z = 0; z < padded[2]; ++z)
        for (uint64_t y = 0; y < padded[1]; ++y)
            for (uint64_t x = 0; x < padded[0]; ++x) {
                uint8_t expected = 0;
                if (x < gw && y < gh && z < gd) {
                    const uint64_t k = x + gw * (y + gh * z); // sample index in file order
                    if (k < available) expected = contents[k * sampleBytes + sampleBytes - 1];
                }
                check(voxels[x + padded[0] * (y + padded[1] * z)] == expected, "voxel value");
            }

    const float largest = float(std::max({padded[0], padded[1], padded[2]}));
    for (int i = 0; i < 3; ++i)
        check(volume.scale()[i] == largest / float(padded[i]), "scale factor");
    return 0;
}
