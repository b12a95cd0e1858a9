#include "platform/File.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace {

// Empty when the bytes are not valid in that code page.
std::wstring widen(const char* text, UINT codePage) {
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, &wide[0], n);
    wide.pop_back(); // the terminator MultiByteToWideChar counted
    return wide;
}

} // namespace

FILE* openForReading(const char* fileName) {
    // Without the UTF-8 code page (Windows before 10 1903) the command line
    // arrives in the ANSI code page; such names are rarely valid UTF-8.
    std::wstring name = widen(fileName, CP_UTF8);
    if (name.empty()) name = widen(fileName, CP_ACP);
    const DWORD attributes =
        name.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = attributes == INVALID_FILE_ATTRIBUTES ? ENOENT : EISDIR;
        return nullptr;
    }
    return _wfopen(name.c_str(), L"rb");
}

int64_t regularFileSize(FILE* file) {
    struct _stati64 info;
    if (_fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return -1;
    return info.st_size;
}

#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Opens without waiting: a named pipe with no writer would otherwise block
// for ever (with no writer it reads as empty). A directory opens here but has
// no bytes to give, so it counts as unopenable.
FILE* openForReading(const char* fileName) {
    const int fd = open(fileName, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat info;
    FILE* file = nullptr;
    const bool directory = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    if (!directory && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        file = fdopen(fd, "rb");
    if (!file) {
        const int reason = directory ? EISDIR : errno;
        close(fd);
        errno = reason;
    }
    return file;
}

int64_t regularFileSize(FILE* file) {
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return info.st_size;
}

#endif
