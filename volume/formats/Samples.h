// Samples of any type as read from a file, before they become one-byte voxels:
// the sample types, the headerless reader, and floats for checks and tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class SampleType { u8, i8, u16, i16, u32, i32, u64, i64, f32, f64 };

// Frees a block of allocateLarge: large samples get huge pages, as the voxels do.
struct LargeBlockDeleter {
    size_t bytes = 0;
    void operator()(uint8_t* block) const;
};

// One scalar volume, x fastest, then y, then z; spacing in the file's units.
// The samples stay in the file's type, in this machine's byte order, as the
// reader left them: a value is slope * sample + intercept.
struct Samples {
    int size[3] = {0, 0, 0};
    double spacing[3] = {1, 1, 1};
    bool unsignedBytes = false; // one-byte unsigned source: its values are kept
    // Patient space (LPS, millimetres) where the file gives one: the unit
    // directions of the x, y and z index axes, one row each.
    bool patientSpace = false;
    double direction[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    SampleType type = SampleType::f32;
    double slope = 1, intercept = 0;
    std::unique_ptr<uint8_t[], LargeBlockDeleter> block; // the reader fills it
    const uint8_t* data = nullptr;                       // the first sample, inside block
    // Called once, as the block is allocated: the header has been read and
    // checked against the file, and only the samples remain to be read.
    std::function<void()> headerRead;

    size_t count() const { return size_t(size[0]) * size_t(size[1]) * size_t(size[2]); }
    bool scaled() const { return slope != 1 || intercept != 0; }
    // A block for n samples of the type; data points at its start.
    uint8_t* allocate(SampleType sampleType, size_t n);
    // The values as the viewer sees them (scaled, in float).
    std::vector<float> asFloats() const;
};

// Bytes per sample; the name on the command line (u8 ... f64) and back.
int sampleBytes(SampleType type);
bool parseSampleType(const std::string& name, SampleType& out);

// Appends count samples of the type from bytes (in the given byte order) as floats.
void appendAsFloat(const uint8_t* bytes, size_t count, SampleType type, bool bigEndian,
                   std::vector<float>& out);
// Reverses the bytes of each of count samples of the type in place.
void swapBytes(uint8_t* bytes, size_t count, SampleType type);

// Calls f with the samples as a typed pointer.
template <typename F> auto visitSamples(const Samples& s, F&& f) {
    const void* p = s.data;
    switch (s.type) {
    case SampleType::u8:
        return f(static_cast<const uint8_t*>(p));
    case SampleType::i8:
        return f(static_cast<const int8_t*>(p));
    case SampleType::u16:
        return f(static_cast<const uint16_t*>(p));
    case SampleType::i16:
        return f(static_cast<const int16_t*>(p));
    case SampleType::u32:
        return f(static_cast<const uint32_t*>(p));
    case SampleType::i32:
        return f(static_cast<const int32_t*>(p));
    case SampleType::u64:
        return f(static_cast<const uint64_t*>(p));
    case SampleType::i64:
        return f(static_cast<const int64_t*>(p));
    case SampleType::f32:
        return f(static_cast<const float*>(p));
    case SampleType::f64:
        break;
    }
    return f(static_cast<const double*>(p));
}

struct RawOptions {
    int size[3] = {0, 0, 0};
    SampleType type = SampleType::u8;
    bool bigEndian = false;
    uint64_t header = 0; // bytes skipped before the first sample
    double spacing[3] = {1, 1, 1};
};

// Reads a headerless file whose length must be exactly the header plus the
// samples; on failure returns false with a one-line reason in error.
bool readRaw(const std::string& path, const RawOptions& options, Samples& out, std::string& error);

// Empty when memory will hold samples of sampleBytes; else the one-line reason.
std::string memoryProblem(const std::string& path, uint64_t sampleBytes);
