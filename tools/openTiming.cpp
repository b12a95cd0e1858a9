// Times skorel-open's stages on a NIfTI file against ITK reading it alone:
//   openTiming FILE.nii[.gz] [runs]
// Prints the median of each stage in milliseconds.
#include "volume/Volume.h"
#include "volume/formats/ImageReader.h"
#include "volume/formats/IntensityWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <itkNiftiImageIO.h>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()>& stage) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        stage();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: openTiming FILE.nii[.gz] [runs]\n");
        return 1;
    }
    const std::string path = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;

    const double itkAlone = medianMs(runs, [&] {
        const itk::NiftiImageIO::Pointer io = itk::NiftiImageIO::New();
        io->SetFileName(path);
        io->ReadImageInformation();
        itk::ImageIORegion region(io->GetNumberOfDimensions());
        for (unsigned i = 0; i < io->GetNumberOfDimensions(); ++i)
            region.SetSize(i, io->GetDimensions(i));
        io->SetIORegion(region);
        std::vector<char> buffer(io->GetImageSizeInBytes());
        io->Read(buffer.data());
    });
    ImageRead read;
    const double reading = medianMs(runs, [&] { read = readImage(path, -1); });
    if (!read.error.empty()) {
        std::fprintf(stderr, "Error: %s\n", read.error.c_str());
        return 1;
    }
    Samples& s = read.samples;
    const double converting = medianMs(runs, [&] {
        const std::vector<uint8_t> bytes = applyWindow(s.values, defaultWindow(s));
        Volume volume;
        volume.setVoxels(bytes.data(), s.size[0], s.size[1], s.size[2]);
        boxGeometry(s.size, s.spacing);
    });
    s.unsignedBytes = false; // the percentile path, as for 16-bit and float data
    const double percentiles = medianMs(runs, [&] { defaultWindow(s); });
    std::printf("%s, %dx%dx%d, median of %d runs:\n", path.c_str(), s.size[0], s.size[1], s.size[2],
                runs);
    std::printf("  ITK reading alone                      %8.1f ms\n", itkAlone);
    std::printf("  skorel-open reading (check, to float)  %8.1f ms\n", reading);
    std::printf("  window, bytes, placement               %8.1f ms\n", converting);
    std::printf("  percentile window (non-byte data)      %8.1f ms\n", percentiles);
    return 0;
}
