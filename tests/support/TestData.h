// Files, volumes and tables for tests; no X server or GL needed.
#pragma once
#include "volume/Volume.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

// A real file, removed when the object goes; names end with `suffix`.
class TempFile {
  public:
    explicit TempFile(const std::vector<unsigned char>& bytes, const std::string& suffix = "") {
        // Test processes run in parallel: a random tag per process keeps names apart.
        static const std::string tag = std::to_string(std::random_device{}());
        static int serial = 0;
        // Names are UTF-8, as the program reads them on every system.
        file = std::filesystem::temp_directory_path() /
               std::filesystem::u8path("skorel-" + tag + "-" + std::to_string(serial++) + suffix);
        path = file.u8string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(file); }
    const char* c_str() const { return path.c_str(); }
    std::string contents() const {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::filesystem::path file;
    std::string path;
};

// Bytes that differ from their neighbours and are never 0.
inline std::vector<unsigned char> patternBytes(size_t count) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + 3) % 251 + 1);
    return bytes;
}

// Voxels that differ between neighbours on every axis.
inline std::unique_ptr<Volume> loadTestVolume(int w, int h, int d) {
    TempFile file(patternBytes(size_t(w) * h * d));
    auto volume = std::make_unique<Volume>();
    return volume->load(file.c_str(), w, h, d, true) == LoadStatus::ok ? std::move(volume)
                                                                       : nullptr;
}

// Entries differ from one another; entry 0 is zero like the border.
inline void patternTable(TransferTable table) {
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 4; ++c)
            table[i][c] = i == 0 ? 0 : uint8_t(i * (2 * c + 1) + c);
}
