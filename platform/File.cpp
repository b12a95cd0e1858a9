#include "platform/File.h"

#ifdef _WIN32
#include <windows.h>

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
    if (name.empty()) return nullptr;
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return nullptr;
    return _wfopen(name.c_str(), L"rb");
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
    if (fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
}

#endif
