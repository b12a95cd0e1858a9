// Our own readers on random files: NIfTI-2 (with the check of a file's length
// or gzip stream against its header), the other formats' header checks, TIFF
// directories and headerless data.
// The whole input is the file; byte 0 picks the volume and the raw byte
// order, bytes 1-3 the raw sizes, byte 4 the raw type and header.
#include "volume/formats/FileChecks.h"
#include "volume/formats/Nifti2.h"
#include "volume/formats/TiffInfo.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// One line without a line end, or samples that fill their sizes.
static void check(const ImageRead& r, bool read) {
    if (r.error.find('\n') != std::string::npos || read != r.error.empty() ||
        (read && r.samples.count() > 0 && !r.samples.data))
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/skorel-formats-fuzz-" + std::to_string(getpid());
    FILE* f = size >= 5 ? std::fopen(path.c_str(), "wb") : nullptr;
    const bool written = f && std::fwrite(data, 1, size, f) == size;
    if (!f || std::fclose(f) != 0 || !written) return 0;
    ImageRead r;
    if (isNifti2(path)) readNifti2(path, data[0] % 5 - 1, r), check(r, r.error.empty());
    r = ImageRead();
    const TiffInfo info = readTiffInfo(path);
    applyTiffInfo(path, info, r);
    if (info.error.find('\n') != std::string::npos || (!info.imageJ && !r.notes.empty()))
        std::abort();
    // The text headers of the other formats: where their samples are, and
    // whether the file can hold as many as byte 1 claims (up to 2^63).
    for (const char* reader : {"NrrdImageIO", "MetaImageIO", "VTKImageIO", "NiftiImageIO"})
        if (shortDataProblem(dataPlace(path, reader), uint64_t(1) << (data[1] % 64)).find('\n') !=
            std::string::npos)
            std::abort();
    RawOptions raw;
    for (int i = 0; i < 3; ++i)
        raw.size[i] = data[1 + i] % 9;
    raw.type = SampleType(data[4] % 10), raw.bigEndian = data[0] & 0x80;
    raw.header = data[4] / 10 % 8;
    r = ImageRead();
    check(r, readRaw(path, raw, r.samples, r.error));
    return 0;
}
