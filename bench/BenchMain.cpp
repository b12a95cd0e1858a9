// Runs every benchmark with repetitions, keeps the medians, and prints one
// table: each figure beside the reference it was measured with in this run.
#include "BenchData.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <unistd.h>
#include <vector>

int benchFramesPerIteration();

namespace {

FILE* table = stdout; // the program's progress lines go to /dev/null instead

// Keeps the median of each benchmark and shows progress on standard error.
class MedianCollector : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            std::map<std::string, double> counters;
            for (const auto& c : run.counters)
                counters[c.first] = c.second.value;
            const std::string& name = run.run_name.function_name;
            recordMedian(name, seconds, counters);
            std::fprintf(stderr, "  %-40s %10.3f ms\n", name.c_str(), seconds * 1e3);
        }
    }
};

// Rows of benchmarks left out by a filter are not printed.
void row(const char* figure, const std::string& what, const std::string& value,
         const std::string& reference, double ratio, const char* target, const char* met) {
    if (std::isnan(ratio)) return;
    std::fprintf(table, "| %s | %s | %s | %s | %s | %s | %s |\n", figure, what.c_str(),
                 value.c_str(), reference.c_str(),
                 std::isnan(ratio) ? "-" : (fmt("%.2fx", ratio)).c_str(), target, met);
}

std::string ms(const std::string& name) {
    return fmt("%.2f ms", medianSeconds(name) * 1e3);
}

// Ratio of a measured time to its reference, checked against "at most" a limit.
void timeRatio(const char* figure, const std::string& what, const std::string& name,
               const std::string& reference, double limit) {
    const double ratio = medianSeconds(name) / medianSeconds(reference);
    row(figure, what, ms(name), ms(reference) + " (" + reference + ")", ratio,
        fmt("<= %.1fx", limit).c_str(), ratio <= limit ? "yes" : "NO");
}

void printTable() {
    std::fprintf(table, "\n| # | figure | median | reference (median) | ratio | target | met |\n");
    std::fprintf(table, "|---|---|---|---|---|---|---|\n");
    timeRatio("1", "load 256^3 8-bit", "load/8bit", "fread/8bit", 1.5);
    timeRatio("1", "load 256^3 16-bit", "load/16bit", "fread/16bit", 1.5);
    timeRatio("2", "alpha staging 256^3", "staging/alpha", "memcpy/16MiB", 2);
    timeRatio("2", "RGBA staging 256^3", "staging/rgba", "memcpy/64MiB", 2);
    timeRatio("3", "histogram count alone 256^3", "histogram/count", "sum/bytes", 3);
    timeRatio("3", "reset: histogram + list 256^3", "reset/256", "sum/bytes", 3);

    const double motion = medianSeconds("recolour/palette");
    const double rebuild = medianSeconds("recolour/rgba128");
    const double speedup = rebuild / motion;
    row("4", "recolour: buildTable + uploadPalette", fmt("%.1f us", motion * 1e6),
        ms("recolour/rgba128") + " (RGBA rebuild 128^3)", speedup, ">= 1000x faster, < 100 us",
        speedup >= 1000 && motion < 100e-6 ? "yes" : "NO");

    const double bricked = medianSeconds("recolour/bricked128");
    const double uploads = medianCounter("recolour/bricked128", "uploads");
    row("4", "recolour 128^3 in 2 x 2 x 2 bricks",
        fmt("%.1f us, %.0f upload", bricked * 1e6, uploads),
        fmt("%.1f us (one texture)", motion * 1e6), bricked / motion, "1 palette upload a motion",
        uploads == 1 ? "yes" : "NO");

    const double frames = benchFramesPerIteration();
    const double bare = medianSeconds("frame/bare") / frames;
    for (const char* set : {"default 64^3", "128^3", "256^3"})
        for (const char* slices : {"10", "80", "200"})
            for (const char* motionKind : {"still", "turning"}) {
                const std::string name =
                    std::string("frame/") + set + "/" + slices + "/" + motionKind;
                const double frame = medianSeconds(name) / frames;
                row("5", fmt("fps %s, %s slices, %s", set, slices, motionKind),
                    fmt("%.1f fps", 1 / frame), fmt("%.1f fps (clear + swap)", 1 / bare),
                    frame / bare, "-", "-");
            }

    for (const char* motionKind : {"still", "turning"}) {
        const double one = medianSeconds(std::string("frame/128^3/80/") + motionKind) / frames;
        const double split = medianCounter("recolour/bricked128", motionKind);
        row("5", fmt("fps 128^3 in 2 x 2 x 2 bricks, 80 slices, %s", motionKind),
            fmt("%.1f fps", 1 / split), fmt("%.1f fps (one texture)", 1 / one), split / one, "-",
            "-");
    }

    for (const char* motionKind : {"still", "turning"}) {
        const double full = medianSeconds(std::string("frame/ct2160/") + motionKind) / frames;
        const double reduced = medianSeconds(std::string("frame/ct720/") + motionKind) / frames;
        row("5", fmt("fps CT 512 x 512 x 2160 in bricks, 80 slices, %s", motionKind),
            fmt("%.1f fps", 1 / full), fmt("%.1f fps (reduced to 720 slices)", 1 / reduced),
            full / reduced, "-", "-");
    }

    for (const char* set : {"default", "256"}) {
        const std::string name = std::string("startup/") + set;
        row("6", fmt("start-up to first frame, %s", set), fmt("%.0f ms", medianSeconds(name) * 1e3),
            fmt("%.0f ms (2^3 file)", medianSeconds("startup/2^3") * 1e3),
            medianSeconds(name) / medianSeconds("startup/2^3"), "-", "-");
    }

    timeRatio("8", "load 512^3 8-bit", "load/512", "fread/512", 1.0);
    for (const char* size : {"256", "512"})
        timeRatio("8", fmt("load + histogram + bricks %s^3", size),
                  std::string("load+count/") + size, std::string("fread/") + size, 1.0);
    const double box = medianSeconds("box/512");
    row("9", "box decision per editor motion, 512^3", fmt("%.1f us", box * 1e6),
        fmt("%.1f us (buildTable + uploadPalette)", medianSeconds("recolour/palette") * 1e6),
        box / medianSeconds("recolour/palette"), "< 1 ms", box < 1e-3 ? "yes" : "NO");
    // Overlay on against off at the default view (64^3, 80 slices), in turn.
    const double on = medianCounter("frame/overlay", "on");
    const double off = medianCounter("frame/overlay", "off");
    row("10", "overlay cost at the default view", fmt("%.2f ms a frame", (on - off) * 1e3),
        fmt("%.2f ms (frame without overlay)", off * 1e3), on / off - 1, "<= 0.10 of a frame",
        on / off - 1 <= 0.1 ? "yes" : "NO");

#ifdef SKOREL_OPEN_BENCH
    for (const char* file : {"long16", "brain8"})
        timeRatio("11", fmt("skorel-open's open, %s", file), std::string("open/") + file,
                  std::string("itkread/") + file, 1.3);
    timeRatio("12", "skorel-open to first frame, brain8", "openstart/brain8",
              "openstart/itk+skorel", 1.2);
#endif

    const double mib = 1024.0 * 1024.0;
    const double peak = medianCounter("startup/256", "peak");
    const double base = medianCounter("startup/2^3", "peak");
    const double volumeBytes = 256.0 * 256 * 256;
    row("7", "peak resident, 256^3 start", fmt("%.0f MiB", peak / mib),
        fmt("%.0f MiB (2^3 start); volume %.0f MiB", base / mib, volumeBytes / mib),
        (peak - base) / volumeBytes, "floor 2.0x (voxels + driver's copy)", "-");

    // Issue 21's rows: a 1024^3 start against its floor (an empty start, a
    // fresh read of the file, one upload of its bytes), its peak memory, and
    // the drag's level of detail on that volume.
    const double start = medianSeconds("startup/1024");
    const double floor =
        medianSeconds("startup/2^3") + medianSeconds("fread/1024") + medianSeconds("upload/1024");
    row("21.3", "start-up to first frame, 1024^3", fmt("%.0f ms", start * 1e3),
        fmt("%.0f ms floor (2^3 start %.0f + fread %.0f + upload %.0f)", floor * 1e3,
            medianSeconds("startup/2^3") * 1e3, medianSeconds("fread/1024") * 1e3,
            medianSeconds("upload/1024") * 1e3),
        start / floor, "<= 2.0 s", start <= 2.0 ? "yes" : "NO");
    const double voxels = 1024.0 * 1024 * 1024;
    const double perVoxel = medianCounter("startup/1024", "peak") / voxels;
    row("21.3", "peak resident, 1024^3 start", fmt("%.2f bytes a voxel", perVoxel),
        fmt("%.0f MiB (2^3 start)", base / mib), perVoxel, "<= 2.2 bytes a voxel",
        perVoxel <= 2.2 ? "yes" : "NO");
    const double dragFrame = medianSeconds("frame/1024^3/80/turning") / frames;
    const double stillFrame = medianSeconds("frame/1024^3/80/still") / frames;
    const double wholeDrag = medianSeconds("frame/1024^3/80/turning-whole") / frames;
    row("21.4", "fps 1024^3, 80 slices, turning (the 256^3 copy)", fmt("%.1f fps", 1 / dragFrame),
        fmt("%.1f fps (still, 80 slices linear); turning on the whole texture %.1f fps",
            1 / stillFrame, 1 / wholeDrag),
        dragFrame / stillFrame, ">= 30 fps", 1 / dragFrame >= 30 ? "yes" : "NO");
    const double read = medianCounter("dragcopy/1024", "read");
    row("21.4", "the copy averaged at the first drag, 1024^3 to 256^3", ms("dragcopy/1024"),
        fmt("%.2f ms (one pass summing the voxels); a still frame %.2f ms", read * 1e3,
            stillFrame * 1e3),
        medianSeconds("dragcopy/1024") / read, "-", "-");
}

} // namespace

int main(int argc, char** argv) {
    // Large blocks come fresh from the kernel every time, as in a newly started
    // viewer; glibc would otherwise keep some and not others after the first free.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // Repetitions and medians unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=" + std::to_string(repetitions);
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    std::string minTime = "--benchmark_min_time=0.2";
    args.insert(args.begin() + 1, {&reps[0], &aggregates[0], &minTime[0]});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    // Close-on-exec: the X server and the viewers started later must not hold it.
    table = fdopen(fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0), "w");
    if (!freopen("/dev/null", "w", stdout)) return 1;
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    printTable();
    std::fclose(table);
    benchmark::Shutdown();
    // No exit handlers: GLUT's would talk to the X server just stopped.
    stopViewer();
    removeBenchFiles();
    std::_Exit(0);
}
