// Whether a file holds the samples its header promises, asked before anything
// is allocated for them: a cut file is refused, never drawn.
#pragma once
#include <cstdint>
#include <string>

// Where a format keeps its samples: a file, the byte they start at, and how
// they are stored there.
enum class Storage { raw, gzip, zlib, unknown };
struct DataPlace {
    std::string file;
    uint64_t offset = 0; // where the samples, or their compressed stream, start
    uint64_t skip = 0;   // bytes of the decompressed stream before the samples
    Storage storage = Storage::raw;
    uint64_t compressedBytes = 0; // the stream's size where the header gives it
};

// The place of the samples of a file read by ITK's reader of the given class
// (NiftiImageIO, NrrdImageIO, MetaImageIO, VTKImageIO); storage is unknown
// where the format keeps them some other way (text, lists of files).
DataPlace dataPlace(const std::string& path, const std::string& readerClass);

// Empty when the place holds imageBytes bytes of samples; otherwise one line
// that names the file and says how many bytes are missing.
std::string shortDataProblem(const DataPlace& place, uint64_t imageBytes);
