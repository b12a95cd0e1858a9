// Real files for loader tests: written to /tmp, removed when the object goes.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

class TempFile {
  public:
    explicit TempFile(const std::vector<unsigned char>& bytes) {
        char name[] = "/tmp/skorel-volume-XXXXXX";
        const int fd = mkstemp(name);
        path = name;
        if (fd >= 0) {
            if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
                path.clear();
            close(fd);
        }
    }
    ~TempFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
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
