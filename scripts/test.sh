#!/bin/sh
# Checks the set-up (scripts/check-setup.sh), runs every test with CTest,
# then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then each libFuzzer target for a bounded time,
# then valgrind over a short scripted run of the real binary, then the Windows
# build under Wine (scripts/wine-test.sh). GL and
# end-to-end tests start their own Xvfb servers, so no display is needed here.
#
# SKOREL_FUZZ_SECONDS (default 30) bounds each fuzzer's run. Each stage's
# heading says how long the run has taken so far.
set -e
build=${1:-build}
jobs=$(nproc)
root=$(pwd)
fuzzSeconds=${SKOREL_FUZZ_SECONDS:-30}
start=$(date +%s)
stage() { echo "== $* ($(($(date +%s) - start)) s)"; }

stage "set-up checks"
scripts/check-setup.sh "$build"

stage "tests"
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 300)

stage "tests under AddressSanitizer and UndefinedBehaviorSanitizer"
asan=$build-asan
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKOREL_SANITIZE=ON >/dev/null
cmake --build "$asan" -j "$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Only the unit tests run with LeakSanitizer: programs that open the GL
# driver see it dlopen its DRI module and unload it at exit, so its
# allocations show as leaks from an unknown module that no suppression can
# name; and our own long-lived objects are never freed by design. The texture
# test checks that rebuilds leave no GL names behind, and valgrind looks for
# lost blocks in our code.
(cd "$asan" &&
  ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" --timeout 300 -L unit &&
  ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j "$jobs" --timeout 600 -LE unit)

stage "fuzzers, ${fuzzSeconds} s each"
fuzz=$build-fuzz
cmake -S tests/fuzz -B "$fuzz" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$fuzz" -j "$jobs"
for target in loader $(test -x "$fuzz/formatsFuzzer" && echo formats); do
  corpus=$root/tests/fuzz/corpus/$(echo "$target" | tr 'A-Z' 'a-z')
  # New inputs go to a scratch folder: the committed corpus stays small.
  scratch=$fuzz/$target-corpus
  mkdir -p "$scratch"
  "$fuzz/${target}Fuzzer" -max_total_time="$fuzzSeconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$fuzz/$target-" "$scratch" "$corpus" \
    >"$fuzz/$target.log" 2>&1 || {
    tail -n 40 "$fuzz/$target.log"
    echo "Fuzzer $target found a fault; the input is in $fuzz/$target-*"
    exit 1
  }
  grep -E "stat::number_of_executed_units|Done" "$fuzz/$target.log" | tr '\n' ' '
  echo
done

stage "valgrind memcheck over a scripted run"
scripts/valgrind-run.sh "$build"

stage "the Windows build under Wine"
scripts/windows.sh "$build-windows"
scripts/wine-test.sh "$build" "$build-windows"
stage "done"
