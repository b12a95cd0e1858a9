#!/bin/sh
# Installs those of the named Debian packages that are missing (none: nothing
# is run); with --update first, it refreshes the package lists even when none
# is missing. A fresh machine often runs unattended upgrades at boot: this
# waits for the other package manager's lock instead of failing, up to
# SKOREL_APT_WAIT seconds (default 600).
set -e
update=""
[ "$1" = --update ] && { update=yes; shift; }
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -n "$missing$update" ] || exit 0
if [ "$(id -u)" != 0 ]; then
  echo "Error: missing packages and not root; as root run: apt-get install$missing" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
wait=${SKOREL_APT_WAIT:-600}
deadline=$(($(date +%s) + wait))
# apt-get update takes no lock timeout for the package lists: try again while
# they are locked.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
until apt-get -qq -o DPkg::Lock::Timeout="$wait" update 2>"$log"; do
  if ! grep -q "Could not get lock" "$log" || [ "$(date +%s)" -ge "$deadline" ]; then
    cat "$log" >&2
    exit 1
  fi
  sleep 2
done
[ -n "$missing" ] || exit 0
echo "Installing:$missing"
# shellcheck disable=SC2086
apt-get -qq -o DPkg::Lock::Timeout="$wait" install -y --no-install-recommends $missing >/dev/null
