// Large blocks: anonymous mappings aligned to 2 MiB with transparent huge
// pages asked for on Linux, calloc elsewhere and for small blocks.
#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>

#ifndef _WIN32
#include <sys/mman.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
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
