#!/bin/sh
# Runs every test with CTest. GL and end-to-end tests start their own Xvfb
# servers, so no display is needed here.
set -e
build=${1:-build}
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
