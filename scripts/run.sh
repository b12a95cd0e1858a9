#!/bin/sh
# Starts skorel on the default data set (or another program of the build with
# its arguments: run.sh build skorel-open FILE). Without a display it runs
# under Xvfb, saves a screenshot of the window to build/PROGRAM.png and closes
# it with Esc.
set -e
build=${1:-build}
[ $# -gt 0 ] && shift
program=${1:-skorel}
[ $# -gt 0 ] && shift
if [ -n "$DISPLAY" ]; then
  exec "$build/$program" "$@"
fi
. "$(dirname "$0")/xvfb.sh"
SKOREL_FULLSCREEN=${SKOREL_FULLSCREEN:-no} "$build/$program" "$@" &
app=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --name '^Skorel$' 2>/dev/null | head -n1) && [ -n "$win" ] && break
  sleep 0.1
done
if [ -z "$win" ]; then
  wait $app || exit $?
  exit 1
fi
sleep 2
import -window "$win" "$build/$program.png"
xdotool mousemove --window "$win" 320 240 windowfocus --sync "$win" key Escape
wait $app
echo "Screenshot: $build/$program.png"
