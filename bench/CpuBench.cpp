// Figures 1 to 3 without GL: loading against one fread, staging fills
// against memcpy, histogram counting against a summing pass.
#include "BenchData.h"

#include "gui/TransferFunctionEditor.h"
#include "volume/Bricks.h"
#include "volume/Staging.h"
#include "volume/Volume.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

const Volume& loaded256() {
    static Volume* v = [] {
        Volume* loaded = new Volume();
        const DataSet& set = cube(256);
        loaded->load(set.fileName.c_str(), 256, 256, 256, true);
        return loaded;
    }();
    return *v;
}

void loadVolume(benchmark::State& state, bool eightBit) {
    const DataSet& set = cube(256, eightBit);
    for (auto _ : state) {
        Volume v;
        v.load(set.fileName.c_str(), 256, 256, 256, eightBit);
        benchmark::DoNotOptimize(v.voxels());
    }
}

// The plain read the loader is held against: a size^3 file into fresh memory
// (256^3 against the load alone; 256^3 and 512^3 against start-up's loading
// work without GL: read, histogram count and brick ranges; 1024^3 as part of
// the floor under a start).
void freadCube(benchmark::State& state, int size, bool eightBit) {
    const DataSet& set = cube(size, eightBit);
    const size_t bytes = size_t(size) * size * size * (eightBit ? 1 : 2);
    for (auto _ : state) {
        FILE* f = std::fopen(set.fileName.c_str(), "rb");
        char* block = static_cast<char*>(std::malloc(bytes));
        benchmark::DoNotOptimize(std::fread(block, 1, bytes, f));
        std::fclose(f);
        std::free(block);
    }
}

void loadCube(benchmark::State& state, int size, bool counting) {
    const DataSet& set = cube(size);
    std::vector<int> histogram(256);
    for (auto _ : state) {
        Volume v;
        v.load(set.fileName.c_str(), size, size, size, true);
        if (!counting) continue;
        // As start-up does it: brick ranges and histogram in one pass.
        const BrickGrid grid = computeBrickGrid(size, size, size, v.voxels(), histogram.data());
        benchmark::DoNotOptimize(grid.low.data());
    }
}

// The box decision one editor motion triggers, over a 512^3 volume.
void decideBox(benchmark::State& state) {
    static const BrickGrid grid = [] {
        Volume v;
        v.load(cube(512).fileName.c_str(), 512, 512, 512, true);
        return computeBrickGrid(512, 512, 512, v.voxels());
    }();
    TransferTable table = {};
    int step = 0;
    for (auto _ : state) {
        const int start = 20 + (step++ & 63); // where the opacity ramp begins
        for (int v = 0; v < 256; ++v)
            table[v][3] = v > start ? uint8_t(v - start) : 0;
        benchmark::DoNotOptimize(decideVisibleBox(grid, TextureContent::index, table, 0.1f, 0.2f));
    }
}

void alphaStaging(benchmark::State& state) {
    const Volume& v = loaded256();
    std::vector<uint8_t> out(stagingBytes(256, 256, 256, 1), 1);
    for (auto _ : state) {
        fillAlphaStaging(256, 256, 256, v.voxels(), 0, 256, out.data());
        benchmark::ClobberMemory();
    }
}

void rgbaStaging(benchmark::State& state) {
    const Volume& v = loaded256();
    TransferTable table;
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 4; ++c)
            table[i][c] = uint8_t(i * 7 + c * 61);
    std::vector<uint8_t> out(stagingBytes(256, 256, 256, 4), 1);
    for (auto _ : state) {
        fillRgbaStaging(256, 256, 256, v.voxels(), table, 0, 256, out.data());
        benchmark::ClobberMemory();
    }
}

// memcpy of as many bytes as a staging fill writes (texelBytes per voxel).
void copyBytes(benchmark::State& state, int texelBytes) {
    const size_t bytes = size_t(256) * 256 * 256 * size_t(texelBytes);
    std::vector<uint8_t> in(bytes, 1), out(bytes, 2);
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), bytes);
        benchmark::ClobberMemory();
    }
}

void histogramCount(benchmark::State& state) {
    const Volume& v = loaded256();
    std::vector<int> histogram(256);
    for (auto _ : state) {
        countHistogram(v.voxels(), size_t(v.voxelCount()), histogram.data());
        benchmark::ClobberMemory();
    }
}

void sumBytes(benchmark::State& state) {
    const Volume& v = loaded256();
    for (auto _ : state) {
        const uint8_t* p = v.voxels();
        benchmark::DoNotOptimize(std::accumulate(p, p + v.voxelCount(), uint64_t(0)));
    }
}

} // namespace

BENCHMARK_CAPTURE(loadVolume, 8bit, true)->Name("load/8bit");
BENCHMARK_CAPTURE(freadCube, 8bit, 256, true)->Name("fread/8bit");
BENCHMARK_CAPTURE(loadVolume, 16bit, false)->Name("load/16bit");
BENCHMARK_CAPTURE(freadCube, 16bit, 256, false)->Name("fread/16bit");
BENCHMARK_CAPTURE(loadCube, 256, 256, true)->Name("load+count/256");
BENCHMARK_CAPTURE(freadCube, 256, 256, true)->Name("fread/256");
BENCHMARK_CAPTURE(loadCube, 512, 512, false)->Name("load/512");
BENCHMARK_CAPTURE(loadCube, 512, 512, true)->Name("load+count/512");
BENCHMARK_CAPTURE(freadCube, 512, 512, true)->Name("fread/512");
// The read under a 1024^3 start: the floor of row 21.3 with upload/1024.
BENCHMARK_CAPTURE(freadCube, 1024, 1024, true)->Name("fread/1024")->Iterations(1);
BENCHMARK(decideBox)->Name("box/512");
BENCHMARK(alphaStaging)->Name("staging/alpha");
BENCHMARK_CAPTURE(copyBytes, 16MiB, 1)->Name("memcpy/16MiB");
BENCHMARK(rgbaStaging)->Name("staging/rgba");
BENCHMARK_CAPTURE(copyBytes, 64MiB, 4)->Name("memcpy/64MiB");
BENCHMARK(histogramCount)->Name("histogram/count");
BENCHMARK(sumBytes)->Name("sum/bytes");
