#!/bin/sh
# Checks of the set-up itself: every test folder is a CTest label that finds
# tests, make run builds only the viewer, and package installs wait for another package manager's lock (as
# root, with python3 to hold the locks the way apt and dpkg take them).
set -e
build=${1:-build}
for dir in tests/*/; do
  label=$(basename "$dir")
  case $label in support | fuzz | windows) continue ;; esac
  (cd "$build" && ctest -N -L "^$label\$") | grep -q "Total Tests: [1-9]" ||
    { echo "Set-up check failed: ctest -L $label finds no test" >&2; exit 1; }
done
# make run on a fresh build folder configures without the tests and builds the viewer alone.
plan=$(make -n run BUILD=/nonexistent/skorel-fresh)
echo "$plan" | grep -q -- "-DSKOREL_TESTS=OFF" && echo "$plan" | grep -q -- "--build .* --target skorel\$" ||
  { echo "Set-up check failed: make run builds more than the viewer:" >&2; echo "$plan" >&2; exit 1; }
if [ "$(id -u)" != 0 ] || ! command -v python3 >/dev/null; then
  echo "lock wait: not checked (needs root and python3)"
  exit 0
fi
python3 -c '
import fcntl, time
held = [open(p, "a") for p in ("/var/lib/dpkg/lock-frontend", "/var/lib/dpkg/lock",
                                "/var/lib/apt/lists/lock")]
for f in held: fcntl.lockf(f, fcntl.LOCK_EX)
print("held", flush=True)
time.sleep(3)
' >"$build/apt-lock.log" &
holder=$!
trap 'kill $holder 2>/dev/null || true' EXIT
until grep -q held "$build/apt-lock.log"; do sleep 0.1; done
start=$(date +%s)
# A package that does not exist: the install runs only once the locks are free.
out=$(SKOREL_APT_WAIT=120 scripts/apt-install.sh skorel-no-such-package 2>&1) || true
if [ "$(($(date +%s) - start))" -lt 2 ] || echo "$out" | grep -q "Could not get lock" ||
  ! echo "$out" | grep -q "Unable to locate package skorel-no-such-package"; then
  echo "Set-up check failed: apt-install.sh did not wait for the package lock:" >&2
  echo "$out" >&2
  exit 1
fi
echo "lock wait: waited $(($(date +%s) - start)) s for the package manager's lock"
