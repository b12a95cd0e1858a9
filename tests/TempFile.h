// Real files for loader tests: written to the system's temporary folder,
// removed when the object goes.
#pragma once
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

// The temporary folder as a UTF-8 name, the form the loader takes.
inline std::string tempFolder() {
    return std::filesystem::temp_directory_path().u8string();
}

class TempFile {
  public:
    // The file's name is prefix (UTF-8) and a random part: tests run in
    // parallel processes.
    explicit TempFile(const std::vector<unsigned char>& bytes,
                      const std::string& prefix = "skorel-volume-") {
        std::random_device random;
        const std::filesystem::path name =
            std::filesystem::temp_directory_path() /
            std::filesystem::u8path(prefix + std::to_string(random()) + std::to_string(random()));
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (out.flush()) path = name, utf8Name = name.u8string();
    }
    ~TempFile() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove(path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* c_str() const { return utf8Name.c_str(); }

  private:
    std::filesystem::path path;
    std::string utf8Name;
};

// Deterministic bytes that differ from their neighbours and are never all 0.
inline std::vector<unsigned char> patternBytes(size_t count) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + 3) % 251 + 1);
    return bytes;
}
