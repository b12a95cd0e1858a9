// Large blocks: anonymous mappings aligned to 2 MiB with transparent huge
// pages asked for on Linux, calloc elsewhere and for small blocks; and the
// restart that gives the C library's own large blocks huge pages.
#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>

#ifndef _WIN32
#include <sys/mman.h>
#endif
#ifdef __GLIBC__
#include <cstdio>
#include <cstring>
#include <gnu/libc-version.h>
#include <malloc.h>
#include <string>
#include <unistd.h>
#endif

namespace {

const size_t hugePage = size_t(2) << 20;

// Below this a mapping saves nothing and wastes most of a huge page.
bool mapped(size_t bytes) {
#ifdef _WIN32
    (void)bytes;
    return false;
#else
    return bytes >= hugePage;
#endif
}

} // namespace

void* allocateLarge(size_t bytes) {
    if (!mapped(bytes)) return std::calloc(bytes > 0 ? bytes : 1, 1);
#ifndef _WIN32
    // Over-map by one huge page and trim, so the block starts on a boundary
    // the kernel can back with huge pages from its first byte.
    const size_t length = (bytes + hugePage - 1) / hugePage * hugePage;
    if (length < bytes || length + hugePage < length) return nullptr;
    void* area = mmap(nullptr, length + hugePage, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) return nullptr;
    char* start = static_cast<char*>(area);
    const size_t lead = (hugePage - uintptr_t(start) % hugePage) % hugePage;
    if (lead > 0) munmap(start, lead);
    munmap(start + lead + length, hugePage - lead);
#ifdef MADV_HUGEPAGE
    madvise(start + lead, length, MADV_HUGEPAGE); // refused where not offered; fine
#endif
    return start + lead;
#else
    return nullptr;
#endif
}

void freeLarge(void* block, size_t bytes) {
    if (!block) return;
    if (!mapped(bytes)) {
        std::free(block);
        return;
    }
#ifndef _WIN32
    munmap(block, (bytes + hugePage - 1) / hugePage * hugePage);
#endif
}

void keepFreedMemory() {
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define SKOREL_OWN_MALLOC 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SKOREL_OWN_MALLOC 1
#endif

#if defined(__GLIBC__) && !defined(SKOREL_OWN_MALLOC)
namespace {

const char* const hugetlbTunable = "glibc.malloc.hugetlb";

// In "always" mode the kernel gives large mappings huge pages by itself.
bool hugePagesOnRequest() {
    FILE* f = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r");
    if (!f) return false;
    char modes[128] = {};
    const size_t n = std::fread(modes, 1, sizeof modes - 1, f);
    std::fclose(f);
    modes[n] = '\0';
    return std::strstr(modes, "[madvise]") != nullptr;
}

bool libraryHasTunable() {
    int major = 0, minor = 0;
    return std::sscanf(gnu_get_libc_version(), "%d.%d", &major, &minor) == 2 &&
           (major > 2 || (major == 2 && minor >= 35));
}

// Valgrind replaces malloc through a preloaded library.
bool underValgrind() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "vgpreload");
}

} // namespace

void restartWithHugePages(char** argv) {
    const char* wanted = std::getenv("SKOREL_HUGE_PAGES");
    if (!wanted || std::strcmp(wanted, "yes") != 0) return;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    // Set by the user, or by this function before the restart: never twice.
    if (tunables && std::strstr(tunables, hugetlbTunable)) return;
    if (!libraryHasTunable() || underValgrind() || !hugePagesOnRequest()) return;
    const std::string before = tunables ? tunables : "";
    const std::string value = (before.empty() ? "" : before + ":") + hugetlbTunable + "=1";
    setenv("GLIBC_TUNABLES", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    if (tunables) // the exec failed: run on as started
        setenv("GLIBC_TUNABLES", before.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}
#else
void restartWithHugePages(char**) {}
#endif
