// Available memory from the system's own count.
#include "platform/SystemMemory.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

uint64_t availableMemory() {
#ifdef _WIN32
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? uint64_t(status.ullAvailPhys) : UINT64_MAX;
#else
    FILE* info = std::fopen("/proc/meminfo", "r");
    if (!info) return UINT64_MAX;
    char line[128];
    unsigned long long kib = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, info))
        found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
    std::fclose(info);
    return found ? uint64_t(kib) * 1024 : UINT64_MAX;
#endif
}
