#!/bin/sh
# valgrind memcheck over a short scripted session of the real binary on a
# private Xvfb: start, keys, clicks and drags on the panel and the volume,
# Esc. Fails on any invalid read or write or use of uninitialised values
# (the driver's own are in scripts/valgrind.supp), and on a definitely lost
# block allocated through our code. Long-lived objects are never freed by
# design: they show as still reachable and are not listed.
set -e
build=${1:-build}
log=$build/valgrind.log
. "$(dirname "$0")/xvfb.sh"

# One rendering thread: llvmpipe's workers only slow valgrind down.
SKOREL_FULLSCREEN=no LP_NUM_THREADS=0 valgrind --tool=memcheck --error-exitcode=99 \
  --suppressions=scripts/valgrind.supp --gen-suppressions=all --log-file="$log" \
  --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=none \
  "$build/skorel" >"$build/valgrind.out" 2>&1 &
app=$!
win=""
for _ in $(seq 600); do
  win=$(xdotool search --onlyvisible --name '^Skorel$' 2>/dev/null | head -n1) && [ -n "$win" ] && break
  sleep 0.2
done
if [ -z "$win" ]; then
  wait $app || true
  tail -n 30 "$log"
  echo "valgrind run: no window"
  exit 1
fi
x() { xdotool "$@"; sleep 0.5; }
x mousemove --window "$win" 400 240 windowfocus --sync "$win"
x key e e d a q z s space space
# Left drag turns, right drag zooms, a drag in the editor moves the high bound.
x mousedown 1 mousemove --window "$win" 450 260 mousemove --window "$win" 500 300 mouseup 1
x mousedown 3 mousemove --window "$win" 400 280 mouseup 3
x mousemove --window "$win" 195 400 mousedown 1 mousemove --window "$win" 160 400 mouseup 1
# Use TF off and on, Filter, the mip and att radios, Infos and Menu.
for at in "25 285" "25 285" "25 205" "185 255" "135 255" "75 55" "25 55"; do
  x mousemove --window "$win" $at click 1
done
x key Escape
status=0
wait $app || status=$?
grep -E "ERROR SUMMARY|definitely lost:" "$log" || true
# A lost block counts when a frame of its allocation names one of our sources
# (the driver and GLUT have no line information here).
ours=$(awk '/are definitely lost/ {r = ""; on = 1} on {r = r "\n" $0}
  on && /^==[0-9]*== $/ {on = 0; if (r ~ /\([A-Za-z]+\.cpp:[0-9]+\)/) print r}' "$log")
if [ -n "$ours" ]; then
  printf '%b\n' "$ours" | head -n 60
  echo "valgrind run: blocks lost through our code"
  exit 1
fi
if [ "$status" != 0 ]; then
  sed -n '/^==[0-9]*== [A-Z][a-z].*\(Invalid\|uninitialised\|Conditional\|definitely\)/,/^==[0-9]*== $/p' "$log" | head -n 80
  echo "valgrind run failed with status $status; the whole log is $log"
  exit 1
fi
echo "valgrind run: no errors ($log)"
