#!/bin/sh
# Starts skorel on the default data set. Without a display it runs under Xvfb,
# saves a screenshot of the window to build/skorel.png and closes it with Esc.
set -e
build=${1:-build}
if [ -n "$DISPLAY" ]; then
  exec "$build/skorel"
fi
. "$(dirname "$0")/xvfb.sh"
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
