// Volume record and raw loader.
#include "volume/Volume.h"

#include "platform/File.h"
#include "platform/Memory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

uint32_t padToPowerOfTwo(uint32_t n) {
    if (n <= 2) return 2;
    if (n > 1024) return 0;
    uint32_t padded = 16; // 4 and 8 are never results
    while (padded < n)
        padded *= 2;
    return padded;
}

std::array<uint32_t, 3> paddedSizes(int width, int height, int depth) {
    return {padToPowerOfTwo(uint32_t(width)), padToPowerOfTwo(uint32_t(height)),
            padToPowerOfTwo(uint32_t(depth))};
}

Volume* volume = nullptr;

Volume::~Volume() {
    freeLarge(data, size_t(voxelCount()));
}

void Volume::takeBlock(uint8_t* block, uint64_t pw, uint64_t ph, uint64_t pd) {
    static uint64_t lastSerial = 0;
    freeLarge(data, size_t(voxelCount()));
    data = block;
    w = int16_t(pw), h = int16_t(ph), d = int16_t(pd);
    missing = 0;
    serial = ++lastSerial;
}

namespace {

// Reads up to `count` samples into dst (one byte per sample kept); returns how
// many samples were read in full. Two-byte samples keep their second byte.
size_t readSamples(FILE* file, uint8_t* dst, size_t count, bool eightBit, uint8_t* scratch) {
    if (eightBit) return std::fread(dst, 1, count, file);
    const size_t got = std::fread(scratch, 2, count, file);
    for (size_t i = 0; i < got; ++i)
        dst[i] = scratch[2 * i + 1];
    return got;
}

// Scales that stretch the longest padded axis over the others.
void setScales(float scales[3], int16_t w, int16_t h, int16_t d) {
    const float largest = float(std::max({w, h, d}));
    scales[0] = largest / float(w);
    scales[1] = largest / float(h);
    scales[2] = largest / float(d);
}

// Samples per read call: large enough to run at the speed of the disk, small
// enough that two-byte samples need only a small scratch buffer.
const size_t readChunk = size_t(1) << 20;

} // namespace

LoadStatus Volume::load(const char* fileName, int width, int height, int depth, bool eightBit) {
    const auto [pw, ph, pd] = paddedSizes(width, height, depth);
    if (pw == 0 || ph == 0 || pd == 0) return LoadStatus::badSize;

    const size_t total = size_t(pw) * ph * pd;
    uint8_t* block = static_cast<uint8_t*>(allocateLarge(total));
    if (!block) return LoadStatus::noMemory;
    takeBlock(block, pw, ph, pd);
    extra = 0;

    UniqueFile file(openForReading(fileName));
    if (!file) return LoadStatus::cannotOpen;
    std::printf("Loading volume (%s) : w=%d/%d h=%d/%d d=%d/%d\n", fileName, width, w, height, h,
                depth, d);

    // Sizes of 0 contribute no samples; the block is already zero. Given rows
    // that fill the padded rows make whole slices contiguous, and slices that
    // fill the padded slices make the whole extent contiguous: read each
    // contiguous run in large chunks.
    const size_t gw = size_t(std::max(width, 0)), gh = size_t(std::max(height, 0)),
                 gd = size_t(std::max(depth, 0));
    const size_t rowsPerRun = gw == pw ? gh : 1;
    const size_t slicesPerRun = gw == pw && gh == ph ? gd : 1;
    const size_t run = gw * rowsPerRun * slicesPerRun;
    const size_t chunk = std::min(run, readChunk);
    std::unique_ptr<uint8_t[]> scratch;
    if (!eightBit && chunk > 0) {
        scratch.reset(new (std::nothrow) uint8_t[2 * chunk]);
        if (!scratch) return LoadStatus::noMemory;
    }
    size_t got = 0;
    bool atEnd = gw * gh * gd == 0;
    for (size_t z = 0; z < gd && !atEnd; z += slicesPerRun) {
        for (size_t y = 0; y < gh && !atEnd; y += rowsPerRun) {
            uint8_t* dst = data + size_t(pw) * (y + size_t(ph) * z);
            for (size_t done = 0; done < run && !atEnd; done += chunk) {
                const size_t count = std::min(chunk, run - done);
                const size_t n =
                    readSamples(file.get(), dst + done, count, eightBit, scratch.get());
                got += n;
                atEnd = n < count;
            }
        }
    }
    missing = gw * gh * gd - got;
    // Asked of the open file: a name in the ANSI code page may not convert twice.
    const int64_t size = regularFileSize(file.get());
    const uint64_t wanted = uint64_t(gw * gh * gd) * (eightBit ? 1 : 2);
    if (size > 0 && uint64_t(size) > wanted) extra = uint64_t(size) - wanted;

    setScales(scales, w, h, d);
    return LoadStatus::ok;
}

uint8_t* Volume::allocateVoxels(int width, int height, int depth) {
    const size_t pw = padToExtent(uint32_t(width)), ph = padToExtent(uint32_t(height)),
                 pd = padToExtent(uint32_t(depth));
    if (std::max({pw, ph, pd}) > 32767) return nullptr;
    // From allocateLarge, as load's: the destructor hands it back to freeLarge.
    uint8_t* block = static_cast<uint8_t*>(allocateLarge(size_t(pw) * ph * pd));
    if (!block) return nullptr;
    takeBlock(block, pw, ph, pd);
    setScales(scales, w, h, d);
    return block;
}

bool Volume::setVoxels(const uint8_t* voxels, int width, int height, int depth) {
    if (!allocateVoxels(width, height, depth)) return false;
    const size_t ox = centredOffset(uint32_t(width)), oy = centredOffset(uint32_t(height)),
                 oz = centredOffset(uint32_t(depth));
    for (size_t z = 0; z < size_t(depth); ++z)
        for (size_t y = 0; y < size_t(height); ++y)
            std::memcpy(data + ox + size_t(w) * (oy + y + size_t(h) * (oz + z)),
                        voxels + size_t(width) * (y + size_t(height) * z), size_t(width));
    return true;
}
