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
