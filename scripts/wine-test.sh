#!/bin/sh
# The Windows build under Wine, which draws through this machine's Mesa on a
# private Xvfb: the unit tests; start-up on the default data set (the Linux
# build's console lines, status 0, a picture of the volume and the panel);
# the full-screen question answered by the environment and by the box's No
# button; the missing-extension notice and status 255.
#
# $1: the Linux build (its console lines are the reference), $2: the Windows
# build (scripts/windows.sh, which also packs dist/skorel-windows.zip). Wine
# keeps its own prefix under $2.
set -e
build=${1:-build}
win=${2:-build-windows}
root=$(pwd)
scripts/install-windows-deps.sh --wine
zip=$root/dist/skorel-windows.zip
tests=$root/$win/skorel/tests/windows/skorelUnitTests.exe
if [ ! -f "$zip" ] || [ ! -f "$tests" ]; then
  echo "Error: no Windows build in $win; run make windows" >&2
  exit 1
fi
out=$root/$win/wine-test
rm -rf "$out"
# The program runs as shipped, from the folder the zip unpacks to.
mkdir -p "$out/package"
(cd "$out/package" && cmake -E tar xf "$zip")
exe=$out/package/skorel.exe
# No Mono or Gecko installers (they would ask with a dialog), and no debugger
# that waits on a crash.
export WINEPREFIX="$root/$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wine=/usr/lib/wine/wine64
. scripts/xvfb.sh
# Wine's server would otherwise linger a few seconds after the last program.
trap '/usr/lib/wine/wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -f "$number"; true' EXIT

fail() {
  echo "Wine check failed: $*" >&2
  exit 1
}

# until SECONDS COMMAND...: runs the command until it succeeds; false after
# SECONDS.
until_() {
  deadline=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# Sets $window to the X window with this exact title.
findWindow() {
  window=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
  [ -n "$window" ]
}

# Clicks the rightmost of the message box's buttons in $window after checking
# that it has $1 of them. Buttons are found by their bottom edges (a default
# button's frame reaches a pixel lower): runs of 40 to 200 dark pixels, which
# letters never make and a box not yet drawn does not show, in the lowest four
# rows that have any. The click goes 6 pixels above the edge.
clickLastButton() {
  import -window "$window" "$out/box.png" 2>/dev/null || return 1
  # shellcheck disable=SC2046 # split into count, x and y
  set -- "$1" $(convert "$out/box.png" -colorspace Gray -depth 8 txt:- | awk -F'[,: ()]+' '
    NR > 1 { dark[$1, $2] = $3 < 128; if ($1 > w) w = $1; if ($2 > h) h = $2 }
    function runs(y0, y1, x, y, any, run, n) {
      run = 0; n = 0
      for (x = 0; x <= w + 1; ++x) {
        any = 0
        for (y = y0; y <= y1; ++y) any = any || (x <= w && dark[x, y])
        if (any) { ++run; continue }
        if (run >= 40 && run <= 200) { ++n; cx = x - run / 2 }
        run = 0
      }
      return n
    }
    END {
      for (y = h; y >= 3; --y)
        if (runs(y, y)) { printf "%d %d %d\n", runs(y - 3, y), cx, y - 6; exit }
    }')
  [ "$2" = "$1" ] || return 1
  xdotool mousemove --window "$window" "$3" "$4" click 1
}

# waitStatus PID SECONDS: the process's exit status, or fails after SECONDS.
waitStatus() {
  until_ "$2" sh -c "! kill -0 $1 2>/dev/null" || {
    kill "$1"
    fail "skorel.exe still runs after $2 s"
  }
  set +e
  wait "$1"
  status=$?
  set -e
}

echo "== Windows unit tests under Wine"
(cd "$out" && "$wine" "$tests" --gtest_brief=1 >unit.txt 2>&1) || {
  tr -d '\r' <"$out/unit.txt" | grep -v "^Loading volume"
  fail "unit tests"
}
tr -d '\r' <"$out/unit.txt" | tail -n 1

echo "== skorel.exe on the default data set, windowed and full screen"
SKOREL_FULLSCREEN=no SKOREL_EXIT_AFTER_FRAMES=3 timeout 120 "$build/skorel" >"$out/linux.txt" ||
  fail "status $? from the Linux build"
# Explorer starts a double-clicked program in its own folder.
cd "$out/package"
SKOREL_FULLSCREEN=no SKOREL_EXIT_AFTER_FRAMES=3 timeout 60 "$wine" "$exe" \
  >"$out/windows-crlf.txt" 2>"$out/windows-stderr.txt" || fail "status $? after the first frames"
tr -d '\r' <"$out/windows-crlf.txt" >"$out/windows.txt"
# Line 4 is the extension string; Wine adds its WGL names to Mesa's.
sed 4d "$out/linux.txt" >"$out/linux-other.txt"
sed 4d "$out/windows.txt" >"$out/windows-other.txt"
diff "$out/linux-other.txt" "$out/windows-other.txt" || fail "console lines differ"
sed -n 4p "$out/linux.txt" | tr ' ' '\n' | sort -u >"$out/linux-ext.txt"
sed -n 4p "$out/windows.txt" | tr ' ' '\n' | sort -u >"$out/windows-ext.txt"
[ -z "$(comm -23 "$out/linux-ext.txt" "$out/windows-ext.txt")" ] ||
  fail "extensions missing from the Windows line: $(comm -23 "$out/linux-ext.txt" "$out/windows-ext.txt")"
[ "$(wc -l <"$out/windows.txt")" -ge 7 ] || fail "too few console lines"

# "yes" asks nothing either (a box would hold the program past the timeout).
SKOREL_FULLSCREEN=yes SKOREL_EXIT_AFTER_FRAMES=3 timeout 60 "$wine" "$exe" \
  >"$out/fullscreen.txt" 2>&1 || fail "status $? in full screen"
tr -d '\r' <"$out/fullscreen.txt" | grep -qx "Swapped frame 3" || fail "no frame in full screen"

echo "== the full-screen question, answered with its No button; the picture"
"$wine" "$exe" >"$out/question.txt" 2>&1 &
app=$!
until_ 60 findWindow 'Start FullScreen\?' || fail "no full-screen question"
until_ 20 clickLastButton 2 || fail "no Yes and No buttons in the question box"
until_ 60 findWindow Skorel || fail "no window after No"
size=$(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$size" = 640x480 ] || fail "window is $size after No, not 640x480"
# The picture (origin top left): the transfer-function editor's colour bands
# at the bottom of the panel, the volume's green in the middle of the window.
picture() {
  import -window "$window" "$out/skorel.png" 2>/dev/null || return 1
  stats=$(convert "$out/skorel.png" \
    \( -clone 0 -crop 250x120+20+330 -colorspace Gray -format '%[fx:mean>0.4] ' -write info: +delete \) \
    -crop 100x100+270+150 -channel G -separate -format '%[fx:mean>0.25]' info:)
  [ "$stats" = "1 1" ]
}
until_ 30 picture || fail "no volume and panel in $out/skorel.png ($stats)"
xdotool mousemove --window "$window" 400 240 windowfocus --sync "$window" key Escape
waitStatus $app 30
[ "$status" = 0 ] || fail "status $status after Esc"

echo "== the missing-extension notice"
MESA_EXTENSION_OVERRIDE=-GL_EXT_texture3D SKOREL_FULLSCREEN=no "$wine" "$exe" \
  >"$out/missing-crlf.txt" 2>&1 &
app=$!
until_ 60 findWindow 'Missing extensions' || fail "no notice"
until_ 20 clickLastButton 1 || fail "no single button in the notice"
waitStatus $app 30
[ "$status" = 255 ] || fail "status $status after the notice, not 255"
printf '\n%s\n\n%s\n\n%s\n' "The following required OpenGL extensions isn't supported by the graphic card and driver you're using:" \
  GL_EXT_texture3D "This application will now exit." >"$out/missing-expected.txt"
tr -d '\r' <"$out/missing-crlf.txt" | tail -n 6 | diff "$out/missing-expected.txt" - ||
  fail "console text of the notice differs"
echo "Wine checks passed"
