// Samples of any type as read from a file, before they become one-byte voxels:
// the sample types, the headerless reader and the conversion to float.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class SampleType { u8, i8, u16, i16, u32, i32, u64, i64, f32, f64 };

// One scalar volume, x fastest, then y, then z; spacing in the file's units.
struct Samples {
    int size[3] = {0, 0, 0};
    double spacing[3] = {1, 1, 1};
    bool unsignedBytes = false; // one-byte unsigned source: its values are kept
    // Patient space (LPS, millimetres) where the file gives one: the unit
    // directions of the x, y and z index axes, one row each.
    bool patientSpace = false;
    double direction[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    std::vector<float> values;
};

// Bytes per sample; the name on the command line (u8 ... f64) and back.
int sampleBytes(SampleType type);
bool parseSampleType(const std::string& name, SampleType& out);

// Appends count samples of the type from bytes (in the given byte order) as floats.
void appendAsFloat(const uint8_t* bytes, size_t count, SampleType type, bool bigEndian,
                   std::vector<float>& out);

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
