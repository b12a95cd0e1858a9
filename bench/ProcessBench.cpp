// Figures 6 and 7: the real binary from exec to its first swapped frame
// (SKOREL_EXIT_AFTER_FRAMES=1 makes it say so and exit), and its peak
// resident memory, which the kernel keeps as ru_maxrss (VmHWM) after exit.
#include "BenchData.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int startRounds = 7;

StartResult startOnce(const DataSet& set) {
    std::vector<std::string> args = {SKOREL_BINARY};
    if (set.fileName.find("/data/neghip.raw") == std::string::npos)
        args.insert(args.end(), {set.fileName, std::to_string(set.size), std::to_string(set.size),
                                 std::to_string(set.size), set.eightBit ? "8" : "16"});
    return startProgram(args, {});
}

} // namespace

StartResult startProgram(std::vector<std::string> args, std::vector<std::string> env) {
    // Everything the child needs is made before fork: the GL driver runs threads here.
    env.insert(env.end(), {"SKOREL_FULLSCREEN=no", "SKOREL_EXIT_AFTER_FRAMES=1"});
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "SKOREL_", 7) != 0) env.push_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    for (std::string& e : env)
        envp.push_back(&e[0]);
    argv.push_back(nullptr), envp.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0), dup2(out[1], 1), dup2(null, 2);
        close(out[0]);
        if (chdir(SKOREL_SOURCE_DIR) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    double seconds = -1;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, size_t(n));
        if (seconds < 0 && text.find("Swapped frame") != std::string::npos)
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (seconds < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " did not reach its first frame:\n" + text);
    return {seconds, double(usage.ru_maxrss) * 1024.0};
}

namespace {} // namespace

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

namespace {

// Start-up is noisy on a shared machine: the data sets take turns, round by
// round, so that a slow spell hits all of them, and the medians are our own.
void startUps(benchmark::State& state) {
    startViewer(); // the X server the binaries draw on
    const std::pair<const char*, const DataSet*> sets[] = {{"startup/2^3", &cube(2)},
                                                           {"startup/default", &defaultDataSet()},
                                                           {"startup/256", &cube(256)},
                                                           {"startup/1024", &cube(1024)}};
    const int count = int(std::size(sets));
    std::vector<std::vector<double>> seconds(count), peaks(count);
    for (auto _ : state)
        for (int round = 0; round < startRounds; ++round)
            for (int i = 0; i < count; ++i) {
                const StartResult r = startOnce(*sets[i].second);
                seconds[i].push_back(r.seconds);
                peaks[i].push_back(r.peakBytes);
            }
    for (int i = 0; i < count; ++i)
        recordMedian(sets[i].first, median(seconds[i]), {{"peak", median(peaks[i])}});
}

BENCHMARK(startUps)->Name("startup")->Iterations(1)->Repetitions(1);

} // namespace
