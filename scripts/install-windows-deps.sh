#!/bin/sh
# Installs what the Windows cross-build needs (MinGW-w64 and the tools to
# fetch Debian's freeglut source) and unpacks that source into $1 (default
# build-windows/src), only what is missing. With --wine it installs the Wine
# test tools instead. Run as root on a fresh Debian machine.
set -e
if [ "$1" = --wine ]; then
  pkgs="wine64 xvfb xauth xdotool x11-utils imagemagick"
else
  src=${1:-build-windows/src}
  pkgs="g++-mingw-w64-x86-64 cmake make dpkg-dev libgtest-dev"
fi
needRoot() {
  if [ "$(id -u)" != 0 ]; then
    echo "Error: $1; as root run: scripts/install-windows-deps.sh" >&2
    exit 1
  fi
}
# shellcheck disable=SC2086
"$(dirname "$0")/apt-install.sh" $pkgs
[ -n "$src" ] || exit 0
ls -d "$src"/freeglut-*/ >/dev/null 2>&1 && exit 0

# Debian's own freeglut source: a deb-src entry for the archive the machine
# already uses, then apt-get source.
list=/etc/apt/sources.list.d/skorel-debian-src.sources
if ! apt-get source --print-uris -qq freeglut >/dev/null 2>&1; then
  needRoot "no source entry for Debian's archive"
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  cat >"$list" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  "$(dirname "$0")/apt-install.sh" --update
fi
mkdir -p "$src"
(cd "$src" && apt-get source -qq -o APT::Sandbox::User=root freeglut >/dev/null)
ls -d "$src"/freeglut-*/ >/dev/null
