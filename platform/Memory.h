// Large zero-filled blocks straight from the system, on huge pages where the
// kernel offers them: a fresh block then costs one fault per 2 MiB instead of
// one per 4 KiB.
#pragma once
#include <cstddef>

// A zero-filled block of bytes, or nullptr when memory runs out.
void* allocateLarge(size_t bytes);
// Frees a block of allocateLarge, given the same size; null is ignored.
void freeLarge(void* block, size_t bytes);

// Keeps memory freed at the top of the heap for reuse instead of returning
// it to the system: the GL driver frees and takes back about a megabyte
// every frame, which would otherwise come back as fresh pages, a fault each.
void keepFreedMemory();

// With SKOREL_HUGE_PAGES=yes, restarts the program (the same executable and
// arguments, once) so that the C library hands out its own large blocks, the
// GL driver's copy of the texture among them, on transparent huge pages:
// where the kernel offers them only on request (madvise mode) and the C
// library has the switch (glibc 2.35 and later, glibc.malloc.hugetlb=1 in
// GLIBC_TUNABLES). Off by default: on the virtual machines measured, fresh
// huge pages cost more than the 4 KiB faults they save. Call first thing in
// main. Returns at once where there is nothing to gain: other systems, huge
// pages always or never, a tunable already set, another allocator (valgrind,
// sanitizers), or a failed exec.
void restartWithHugePages(char** argv);
