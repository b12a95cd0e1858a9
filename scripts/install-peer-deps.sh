#!/bin/sh
# Installs what scripts/peer.sh needs beside the build: Debian's Python with
# its VTK and NumPy packages, Xvfb and bc; only what is missing.
set -e
pkgs="python3-vtk9 python3-numpy xvfb bc"
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
apt-get -o DPkg::Lock::Timeout=600 update -qq
# shellcheck disable=SC2086
apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $missing >/dev/null
