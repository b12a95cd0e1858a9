// Shared by the benchmarks: the volumes they read, the viewer they draw
// through, and the one place every figure's median ends up.
#pragma once
#include "platform/Compiler.h"

#include <benchmark/benchmark.h>

#include <string>

// Repetitions of every benchmark; the table uses their medians.
constexpr int repetitions = 5;

struct DataSet {
    std::string name;     // row label
    std::string fileName; // raw file
    int size;             // cubic: size x size x size samples
    bool eightBit;
};

// Synthetic volumes written once per run into a private folder: a ball of
// graded density in a field of zeros, as scanners produce.
const DataSet& defaultDataSet(); // data/neghip.raw, 64^3
const DataSet& cube(int size, bool eightBit = true);
// A path in that folder; removeBenchFiles takes the folder away (the
// 1024^3 ball alone is 1 GiB).
std::string benchFile(const std::string& name);
void removeBenchFiles();

// Starts a private X server and the viewer's window (640 x 480) once.
void startViewer();
// Ends that X server; nothing may draw after it.
void stopViewer();
// Loads the data set and builds the panel and texture as start-up does.
void useDataSet(const DataSet& set);

#include <map>

void recordMedian(const std::string& name, double seconds,
                  const std::map<std::string, double>& counters);
#include <vector>

struct StartResult {
    double seconds;   // until the line after the first swap arrived
    double peakBytes; // the process's peak resident set
};
// Runs a viewer binary (args[0]) to its first frame from the bench's source
// folder, with env added to the bench's own environment.
StartResult startProgram(std::vector<std::string> args, std::vector<std::string> env);
double median(std::vector<double> values);

// printf into a string.
std::string fmt(const char* format, ...) PRINTF_LIKE(1, 2);

// Median real time of each benchmark (seconds) and its counters, by name.
double medianSeconds(const std::string& name);
double medianCounter(const std::string& name, const std::string& counter);
