// Real files for loader tests, removed when the object goes.
#pragma once
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

class TempFile {
  public:
    explicit TempFile(const std::vector<unsigned char>& bytes, const std::string& name = "") {
        // Test processes run in parallel: a random tag per process keeps names apart.
        static const std::string tag = std::to_string(std::random_device{}());
        static std::atomic<int> serial{0};
        path = (std::filesystem::temp_directory_path() /
                ("skorel-" + tag + "-" + std::to_string(serial++) + name))
                   .string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(path); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* c_str() const { return path.c_str(); }

  private:
    std::string path;
};

// Deterministic bytes that differ from their neighbours and are never all 0.
inline std::vector<unsigned char> patternBytes(size_t count) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + 3) % 251 + 1);
    return bytes;
}
