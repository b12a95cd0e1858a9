#!/bin/sh
# Installs the Debian packages Skorel needs, only those that are missing. Run
# as root on a fresh Debian machine. With no argument: what building and
# running the viewer needs (make run). Arguments add sets: "test" (GoogleTest,
# the sanitizer and fuzzer runtimes, valgrind, and real files the format
# tests read: an MRI head, nibabel's and pydicom's test data), "bench" (Google Benchmark),
# "itk" (the format library skorel-open reads data with, and libpng for its pictures), "demo" (the MRI head
# that make demo opens) and "peer" (the ray casters make peer measures against).
set -e
pkgs="g++ make cmake pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0
libx11-dev xvfb xauth xdotool imagemagick"
for set in "$@"; do
  case $set in
  test) pkgs="$pkgs libxtst-dev libgtest-dev libgmock-dev x11-utils clang libclang-rt-14-dev valgrind
    mricron-data python3-nibabel python3-pydicom" ;;
  bench) pkgs="$pkgs libbenchmark-dev" ;;
  itk) pkgs="$pkgs libinsighttoolkit5-dev zlib1g-dev libpng-dev" ;;
  demo) pkgs="$pkgs mricron-data" ;;
  peer) pkgs="$pkgs python3-vtk9 python3-numpy bc mricron-data" ;;
  *) echo "Error: unknown package set $set (test, bench, itk, demo, peer)" >&2; exit 1 ;;
  esac
done
# shellcheck disable=SC2086
exec "$(dirname "$0")/apt-install.sh" $pkgs
