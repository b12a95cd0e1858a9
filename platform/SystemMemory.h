// How much memory the system can still give the program.
#pragma once
#include <cstdint>

// Bytes that can be allocated without swapping or failing (Linux's
// MemAvailable, Windows' available physical memory); UINT64_MAX where the
// system does not say.
uint64_t availableMemory();
