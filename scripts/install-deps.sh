#!/bin/sh
# Installs the Debian packages Skorel needs to build, test and benchmark,
# only those that are missing. Run as root on a fresh Debian machine.
# Arguments add optional sets: "itk" (the format library skorel-open reads
# data with), "demo" (the MRI head that make demo opens) and "peer" (the
# ray casters make peer measures against).
set -e
pkgs="g++ make cmake pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0
libx11-dev libxtst-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils
imagemagick clang libclang-rt-14-dev valgrind"
for set in "$@"; do
  case $set in
  itk) pkgs="$pkgs libinsighttoolkit5-dev zlib1g-dev" ;;
  demo) pkgs="$pkgs mricron-data" ;;
  peer) pkgs="$pkgs python3-vtk9 python3-numpy bc mricron-data" ;;
  *) echo "Error: unknown package set $set (itk, demo, peer)" >&2; exit 1 ;;
  esac
done
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" != 0 ]; then
  echo "Error: missing packages and not root; install them with: apt-get install$missing" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
