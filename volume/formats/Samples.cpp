#include "volume/formats/Samples.h"

#include "platform/File.h"
#include "platform/Memory.h"
#include "platform/SystemMemory.h"
#include "volume/Volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <utility>

namespace {

const char* const typeNames[] = {"u8",  "i8",  "u16", "i16", "u32",
                                 "i32", "u64", "i64", "f32", "f64"};

template <typename T>
void appendTyped(const uint8_t* bytes, size_t count, bool swap, std::vector<float>& out) {
    const size_t first = out.size();
    out.resize(first + count);
    float* dst = out.data() + first;
    uint8_t word[sizeof(T)];
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(word, bytes + i * sizeof(T), sizeof(T));
        if (swap)
            for (size_t b = 0; b < sizeof(T) / 2; ++b)
                std::swap(word[b], word[sizeof(T) - 1 - b]);
        T value;
        std::memcpy(&value, word, sizeof(T));
        dst[i] = float(value);
    }
}

} // namespace

int sampleBytes(SampleType type) {
    const int bytes[] = {1, 1, 2, 2, 4, 4, 8, 8, 4, 8};
    return bytes[int(type)];
}

bool parseSampleType(const std::string& name, SampleType& out) {
    for (int i = 0; i < 10; ++i)
        if (name == typeNames[i] && i != int(SampleType::u64) && i != int(SampleType::i64)) {
            out = SampleType(i);
            return true;
        }
    return false;
}

void LargeBlockDeleter::operator()(uint8_t* block) const {
    freeLarge(block, bytes);
}

uint8_t* Samples::allocate(SampleType sampleType, size_t n) {
    if (headerRead) std::exchange(headerRead, nullptr)();
    type = sampleType;
    block.reset();
    const size_t bytes = n * size_t(sampleBytes(sampleType));
    uint8_t* p;
    while (!(p = static_cast<uint8_t*>(allocateLarge(bytes)))) { // as new does
        const std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
    block = std::unique_ptr<uint8_t[], LargeBlockDeleter>(p, LargeBlockDeleter{bytes});
    data = p;
    return p;
}

std::vector<float> Samples::asFloats() const {
    std::vector<float> values;
    appendAsFloat(data, count(), type, __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__, values);
    if (scaled())
        for (float& v : values)
            v = float(slope * v + intercept);
    return values;
}

void swapBytes(uint8_t* bytes, size_t count, SampleType type) {
    const size_t n = size_t(sampleBytes(type));
    for (uint8_t* p = bytes; n > 1 && p < bytes + count * n; p += n)
        std::reverse(p, p + n);
}

void appendAsFloat(const uint8_t* bytes, size_t count, SampleType type, bool bigEndian,
                   std::vector<float>& out) {
    const bool swap = bigEndian != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
    switch (type) {
    case SampleType::u8:
        return appendTyped<uint8_t>(bytes, count, false, out);
    case SampleType::i8:
        return appendTyped<int8_t>(bytes, count, false, out);
    case SampleType::u16:
        return appendTyped<uint16_t>(bytes, count, swap, out);
    case SampleType::i16:
        return appendTyped<int16_t>(bytes, count, swap, out);
    case SampleType::u32:
        return appendTyped<uint32_t>(bytes, count, swap, out);
    case SampleType::i32:
        return appendTyped<int32_t>(bytes, count, swap, out);
    case SampleType::u64:
        return appendTyped<uint64_t>(bytes, count, swap, out);
    case SampleType::i64:
        return appendTyped<int64_t>(bytes, count, swap, out);
    case SampleType::f32:
        return appendTyped<float>(bytes, count, swap, out);
    case SampleType::f64:
        return appendTyped<double>(bytes, count, swap, out);
    }
}

bool readRaw(const std::string& path, const RawOptions& options, Samples& out, std::string& error) {
    const uint64_t count =
        uint64_t(options.size[0]) * uint64_t(options.size[1]) * uint64_t(options.size[2]);
    const uint64_t expected = options.header + count * uint64_t(sampleBytes(options.type));
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "cannot open " + path + ": not a regular file";
        return false;
    }
    if (uint64_t(info.st_size) != expected) {
        char text[200];
        std::snprintf(text, sizeof text, "has %llu bytes, but the options describe %llu",
                      static_cast<unsigned long long>(info.st_size),
                      static_cast<unsigned long long>(expected));
        error = path + " " + text;
        return false;
    }
    for (int axis = 0; axis < 3; ++axis) {
        out.size[axis] = options.size[axis];
        out.spacing[axis] = options.spacing[axis];
    }
    error = memoryProblem(path, expected - options.header);
    if (!error.empty()) return false;
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    uint8_t* bytes = out.allocate(options.type, size_t(count));
    const size_t length = size_t(expected - options.header);
    if (!file || fseeko(file.get(), off_t(options.header), SEEK_SET) != 0 ||
        std::fread(bytes, 1, length, file.get()) != length) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (options.bigEndian != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__))
        swapBytes(bytes, size_t(count), options.type);
    out.unsignedBytes = options.type == SampleType::u8;
    return true;
}

std::string memoryProblem(const std::string& path, uint64_t sampleBytes) {
    // Only the samples here: what showing them costs besides is checked once
    // they are read, against the textures the driver will take.
    const uint64_t available = availableMemory();
    if (sampleBytes <= available) return std::string();
    char text[200];
    std::snprintf(text, sizeof text,
                  "not enough memory to open %s: its samples need %.1f GiB, and %.1f GiB is "
                  "available",
                  path.c_str(), double(sampleBytes) / (1 << 30), double(available) / (1 << 30));
    return text;
}
