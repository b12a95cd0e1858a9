// The one data set: 8-bit voxels padded to power-of-two sizes (past 1024, by
// one layer each side), x fastest,
// then y, then z, with per-axis scale factors that keep its proportions.
#pragma once
#include <array>
#include <cstdint>

// 256 entries of red, green, blue, alpha bytes, indexed by voxel value.
typedef uint8_t TransferTable[256][4];

// Padded size for a given size: 2, 16, 32, ... 1024, or 0 above 1024
// (which takes in every negative size seen as unsigned).
uint32_t padToPowerOfTwo(uint32_t n);

// skorel-open's padded size: padToPowerOfTwo up to 1024; beyond, where the
// volume is split into several textures, one zero layer either side.
inline uint32_t padToExtent(uint32_t n) {
    return n <= 1024 ? padToPowerOfTwo(n) : n + 2;
}

// padToPowerOfTwo of each of the three sizes, seen as unsigned.
std::array<uint32_t, 3> paddedSizes(int width, int height, int depth);

// Where n data voxels start inside their padded size: centred, so that the
// texture's zero outer layer misses the data wherever the padding leaves room.
inline uint32_t centredOffset(uint32_t n) {
    return (padToExtent(n) - n) / 2;
}

enum class LoadStatus { ok, cannotOpen, badSize, noMemory };

class Volume {
  public:
    Volume() = default;
    Volume(const Volume&) = delete;
    Volume& operator=(const Volume&) = delete;
    ~Volume();

    // Reads a headerless raw file of width x height x depth samples (one byte
    // each, or two of which the second in file order is kept). Prints the
    // "Loading volume" line once the file is open. Missing samples of a short
    // file stay 0 and are counted in missingSamples.
    LoadStatus load(const char* fileName, int width, int height, int depth, bool eightBit);

    // Takes width x height x depth voxels (x fastest, each size 1 to 32765)
    // into a block padded by padToExtent, at centredOffset per axis; false
    // without memory.
    bool setVoxels(const uint8_t* voxels, int width, int height, int depth);
    // The zero padded block for width x height x depth voxels, for the caller
    // to write them at centredOffset per axis; null without memory.
    uint8_t* allocateVoxels(int width, int height, int depth);

    int16_t width() const { return w; }
    int16_t height() const { return h; }
    int16_t depth() const { return d; }
    const uint8_t* voxels() const { return data; }
    const float* scale() const { return scales; }
    uint64_t voxelCount() const { return uint64_t(w) * uint64_t(h) * uint64_t(d); }
    uint64_t missingSamples() const { return missing; }
    // Bytes of a regular file past the samples the sizes call for (0 for pipes).
    uint64_t extraBytes() const { return extra; }
    // New whenever the block is replaced, in every volume: copies made from
    // the voxels (the drag's smaller texture) know whose voxels they hold.
    uint64_t blockSerial() const { return serial; }

  private:
    int16_t w = 0, h = 0, d = 0;
    uint8_t* data = nullptr;
    float scales[3] = {1.0f, 1.0f, 1.0f};
    uint64_t missing = 0;
    uint64_t extra = 0;
    uint64_t serial = 0;
    void takeBlock(uint8_t* block, uint64_t pw, uint64_t ph, uint64_t pd);
};

extern Volume* volume; // the one data set, created by start-up, never freed
