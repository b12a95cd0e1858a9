// The command-line stage without a window: parseCommandLine and sizeProblem
// on any argument vector, and padToPowerOfTwo on any size.
//
// Input: byte 0 picks the driver's largest 3D texture, the rest is split at
// zero bytes into the arguments after the program's name (at most 8).
#include "app/Application.h"
#include "volume/Volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "command-line invariant broken: %s\n", what);
    std::abort();
}

// What the digits say, held in a wide type: far past int for long numbers.
long long typedValue(const std::string& word) {
    errno = 0;
    return std::strtoll(word.c_str(), nullptr, 10);
}

void checkPadding(uint32_t n) {
    const uint32_t p = padToPowerOfTwo(n);
    if (n > 1024) {
        check(p == 0, "sizes above 1024 pad to 0");
        return;
    }
    check(p >= n && p >= 2 && (p & (p - 1)) == 0 && p != 4 && p != 8, "padded size");
    check(p == 2 || p == 16 || p / 2 < n, "padding is the smallest allowed power");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const int maxSizes[] = {1, 2, 16, 64, 512, 1024, 2048, 16384};
    const int maxTextureSize = maxSizes[data[0] % 8];

    std::vector<std::string> words;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    for (size_t start = 0; start <= length && words.size() < 8;) {
        const size_t end = std::find(text + start, text + length, '\0') - text;
        if (end == length && start == length) break;
        words.emplace_back(text + start, end - start);
        start = end + 1;
    }
    std::vector<const char*> argv = {"skorel"};
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    const int argc = int(argv.size());
    argv.push_back(nullptr);

    CommandLine line;
    const bool parsed = parseCommandLine(argc, argv.data(), line);
    check(parsed == (argc == 1 || argc == 6), "only 0 or 5 arguments are a command line");
    if (!parsed) return 0;
    if (argc == 6) {
        check(line.fileName == words[0], "the file name is kept whole");
        check(line.eightBit == (typedValue(words[4]) == 8), "eight-bit samples exactly for 8");
    }

    const std::string problem = sizeProblem(line, maxTextureSize);
    check(problem.find('\n') == std::string::npos, "one line without its end");
    const int sizes[] = {line.width, line.height, line.depth};
    bool fits = true;
    for (int i = 0; i < 3; ++i) {
        checkPadding(uint32_t(sizes[i]));
        const uint32_t p = padToPowerOfTwo(uint32_t(sizes[i]));
        fits = fits && p != 0 && int(p) <= maxTextureSize;
        if (argc == 6) {
            // Whatever the conversion, a size typed out of range is never loaded.
            const long long typed = typedValue(words[1 + i]);
            if (typed < 0 || typed > 1024)
                check(!problem.empty(), "an out-of-range size passed");
            else
                check(sizes[i] == int(typed), "a size in range is read as typed");
        }
    }
    check(problem.empty() == fits, "refused exactly when a size does not fit");
    if (!problem.empty()) check(problem.rfind("Error: volume ", 0) == 0, "message prefix");
    return 0;
}
