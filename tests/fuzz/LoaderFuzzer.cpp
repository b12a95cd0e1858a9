// Volume::load on random sizes, sample sizes and file contents, checked voxel
// by voxel against the file-order definition of the format.
// Input: byte 0 bit 0 one-byte samples, bytes 1-3 the sizes (from 210 on,
// boundaries a user might type), the rest the file.
#include "volume/Volume.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int special[] = {-1, -1024, -2147483647 - 1, 1023, 1024, 1025, 2147483647, 257};
    static const std::string path = "/tmp/skorel-fuzz-" + std::to_string(getpid()) + ".raw";
    static FILE* quiet = std::freopen("/dev/null", "w", stdout); // the progress line
    if (size < 4 || !quiet) return 0;
    const bool eightBit = data[0] & 1;
    int given[3];
    uint64_t padded[3], total = 1;
    for (int i = 0; i < 3; ++i) {
        given[i] = data[1 + i] < 210 ? data[1 + i] % 70 : special[data[1 + i] % 8];
        total *= padded[i] = padToPowerOfTwo(uint32_t(given[i]));
    }
    if (total > (1 << 18)) return 0;          // large blocks would make each run slow
    FILE* f = std::fopen(path.c_str(), "wb"); // closed on every path: runs are many
    const bool written = f && std::fwrite(data + 4, 1, size - 4, f) == size - 4;
    if (!f || std::fclose(f) != 0 || !written) return 0;
    Volume v;
    const LoadStatus status = v.load(path.c_str(), given[0], given[1], given[2], eightBit);
    if (status != (total ? LoadStatus::ok : LoadStatus::badSize) || (total && !v.voxels()))
        std::abort();
    const uint64_t sampleBytes = eightBit ? 1 : 2, available = (size - 4) / sampleBytes;
    for (uint64_t i = 0; i < total; ++i) { // x fastest, then y, then z
        const uint64_t x = i % padded[0], y = i / padded[0] % padded[1],
                       z = i / padded[0] / padded[1];
        const uint64_t k = x + uint64_t(given[0]) * (y + uint64_t(given[1]) * z); // file order
        const bool present = x < uint64_t(given[0]) && y < uint64_t(given[1]) &&
                             z < uint64_t(given[2]) && k < available;
        if (v.voxels()[i] != (present ? data[4 + k * sampleBytes + sampleBytes - 1] : 0))
            std::abort();
    }
    return 0;
}
