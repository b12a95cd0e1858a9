// Opening a data file by the name the user typed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>

// Opens fileName for reading in binary mode; null, with errno saying why, when
// it does not exist, cannot be read or is a directory. The name is UTF-8 on
// Windows (the program's code page there) and passed through unchanged
// elsewhere.
FILE* openForReading(const char* fileName);

// A FILE closed when its owner goes.
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

// Bytes in the regular file open as `file`; -1 for a pipe or other
// non-regular file, or when that cannot be told. Asks the open file rather
// than its name, which may not survive a second conversion.
int64_t regularFileSize(FILE* file);
