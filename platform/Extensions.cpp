#include "platform/Extensions.h"

#include <cstring>

ExtensionSupport extensions;

bool hasExtension(const char* extensionString, const char* name) {
    if (!extensionString || !name || !*name) return false;
    const size_t n = std::strlen(name);
    for (const char* at = std::strstr(extensionString, name); at; at = std::strstr(at + 1, name)) {
        const bool startsName = at == extensionString || at[-1] == ' ';
        const bool endsName = at[n] == ' ' || at[n] == '\0';
        if (startsName && endsName) return true;
    }
    return false;
}
