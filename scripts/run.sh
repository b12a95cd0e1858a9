#!/bin/sh
# Starts skorel on the default data set. Without a display it runs under Xvfb,
# saves a screenshot of the window to build/skorel.png and closes it with Esc.
set -e
build=${1:-build}
if [ -n "$DISPLAY" ]; then
  exec "$build/skorel"
fi
number=$(mktemp)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number"' EXIT
for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$number")"
SKOREL_FULLSCREEN=${SKOREL_FULLSCREEN:-no} "$build/skorel" &
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
import -window "$win" "$build/skorel.png"
xdotool mousemove --window "$win" 320 240 windowfocus --sync "$win" key Escape
wait $app
echo "Screenshot: $build/skorel.png"
