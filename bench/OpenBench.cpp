// skorel-open against ITK reading the same file alone: the open in process
// (read, range and percentiles, window, reduce, place), and the real binary
// from exec to its first frame against ITK's read plus skorel's own start on
// a volume of the same padded size, references given huge pages.
#include "BenchData.h"

#include "ItkAlone.h"
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/IntensityWindow.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <itkImage.h>
#include <itkImageFileWriter.h>
#include <itkMetaImageIO.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

namespace {

constexpr int openRounds = 5;
const char* const brainFile = "/usr/share/mricron/templates/ch2better.nii.gz";
const char* const hugePages = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1";

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// A long 16-bit scan where tools/makeCtFiles left none: a ball of bone in
// air, 256 x 256 x 2160, reduced on open as the long CT is.
std::string longScan() {
    if (exists("/tmp/ct21/ct-long.mha")) return "/tmp/ct21/ct-long.mha";
    static const std::string made = [] {
        using Image = itk::Image<int16_t, 3>;
        const Image::Pointer image = Image::New();
        Image::SizeType size;
        size[0] = 256, size[1] = 256, size[2] = 2160;
        image->SetRegions(Image::RegionType(size));
        image->Allocate();
        int16_t* p = image->GetBufferPointer();
        uint32_t noise = 2463534242u;
        for (int z = 0; z < 2160; ++z)
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x, ++p) {
                    noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
                    const double r = std::hypot(x - 127.5, y - 127.5) / 110;
                    *p = int16_t(r >= 1 ? -1000 : 1200 * (1 - r) + (noise & 63) - 32);
                }
        const std::string path = benchFile("long.mha");
        const auto writer = itk::ImageFileWriter<Image>::New();
        writer->SetImageIO(itk::MetaImageIO::New());
        writer->SetInput(image);
        writer->SetFileName(path);
        writer->Update();
        return path;
    }();
    return made;
}

double secondsOf(void (*work)(const std::string&), const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    work(path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void itkAlone(const std::string& path) {
    benchmark::DoNotOptimize(readWithItkAlone(path));
}

void openAlone(const std::string& path) {
    const ImageRead r = readImage(path, -1);
    if (!r.error.empty()) throw std::runtime_error(r.error);
    const Samples& s = r.samples;
    const SampleRange range = sampleRange(s, !s.unsignedBytes);
    const int factors[3] = {1, 1, 1}; // every voxel, as skorel-open shows them
    int size[3];
    double spacing[3];
    Volume volume;
    placeVoxels(s, s.unsignedBytes ? IntensityWindow() : range.percentiles, factors,
                Reorientation(), volume, size, spacing);
}

// Target 1: each file read by ITK alone and opened, in turn.
void opens(benchmark::State& state) {
    std::vector<std::pair<std::string, std::string>> files = {{"long16", longScan()}};
    if (exists(brainFile)) files.push_back({"brain8", brainFile});
    for (auto _ : state)
        for (const auto& file : files) {
            std::vector<double> itk, open;
            for (int round = 0; round < openRounds; ++round) {
                itk.push_back(secondsOf(itkAlone, file.second));
                open.push_back(secondsOf(openAlone, file.second));
            }
            recordMedian("itkread/" + file.first, median(itk), {});
            recordMedian("open/" + file.first, median(open), {});
        }
}

// Target 2: the 8-bit brain (padded to 512^3) from exec to its first frame.
void openStarts(benchmark::State& state) {
    if (!exists(brainFile)) {
        state.SkipWithError("no ch2better.nii.gz");
        return;
    }
    startViewer();
    const DataSet& padded = cube(512);
    std::vector<double> open, itk, skorel, peak;
    for (auto _ : state)
        for (int round = 0; round < openRounds; ++round) {
            const StartResult r = startProgram({SKOREL_OPEN_BINARY, brainFile}, {});
            open.push_back(r.seconds), peak.push_back(r.peakBytes);
            itk.push_back(secondsOf(itkAlone, brainFile));
            skorel.push_back(
                startProgram({SKOREL_BINARY, padded.fileName, "512", "512", "512", "8"},
                             {hugePages})
                    .seconds);
        }
    recordMedian("openstart/brain8", median(open), {{"peak", median(peak)}});
    recordMedian("openstart/itk+skorel", median(itk) + median(skorel), {});
}

BENCHMARK(opens)->Name("opens")->Iterations(1)->Repetitions(1);
BENCHMARK(openStarts)->Name("openstarts")->Iterations(1)->Repetitions(1);

} // namespace
