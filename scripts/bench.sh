#!/bin/sh
# Optimised build in its own folder, then every benchmark, then one table of
# medians beside their references (progress goes to standard error).
# Extra arguments go to the benchmark binary, e.g. --benchmark_filter=load.
set -e
build=${BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSKOREL_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target skorel skorelbench
echo "Running benchmarks (a few minutes; medians of 3 to 7 repetitions)..." >&2
"$build/bench/skorelbench" "$@"
