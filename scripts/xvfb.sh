# Sourced by scripts that need a display: starts a private Xvfb, exports its
# DISPLAY and stops it when the script exits.
number=$(mktemp)
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number"' EXIT
for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$number")"
