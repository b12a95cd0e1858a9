#!/bin/sh
# Cross-builds skorel.exe for 64-bit Windows with MinGW-w64 and packs
# dist/skorel-windows.zip. Debian's freeglut source is built once, static,
# with the same toolchain; it and the program's build stay in $1 (default
# build-windows), so a second run rebuilds only what changed.
set -e
out=${1:-build-windows}
jobs=${JOBS:-$(nproc)}
root=$(pwd)
toolchain=$root/cmake/mingw-w64.cmake
scripts/install-windows-deps.sh "$out/src"

glut=$root/$out/freeglut-install
if [ ! -f "$glut/lib/libfreeglut_static.a" ]; then
  echo "== freeglut for Windows"
  src=$(ls -d "$out"/src/freeglut-*/ | head -n1)
  # Its own warnings are not ours to fix.
  cmake -S "$src" -B "$out/freeglut" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS=-w -DFREEGLUT_BUILD_SHARED_LIBS=OFF \
    -DFREEGLUT_BUILD_STATIC_LIBS=ON -DFREEGLUT_BUILD_DEMOS=OFF \
    -DCMAKE_INSTALL_PREFIX="$glut" >/dev/null
  cmake --build "$out/freeglut" -j "$jobs" >/dev/null
  cmake --install "$out/freeglut" >/dev/null
fi

echo "== skorel.exe and the unit tests for Windows"
cmake -S . -B "$out/skorel" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DFreeGLUT_DIR="$glut/lib/cmake/FreeGLUT" >/dev/null
cmake --build "$out/skorel" -j "$jobs" -- --no-print-directory

# Everything must come from Windows itself: no DLL ships beside the program.
imports=$(x86_64-w64-mingw32-objdump -p "$out/skorel/skorel.exe" | sed -n 's/.*DLL Name: //p')
for dll in $imports; do
  case $(echo "$dll" | tr 'A-Z' 'a-z') in
  kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | msvcrt.dll | opengl32.dll | glu32.dll | winmm.dll) ;;
  *)
    echo "Error: skorel.exe needs $dll, which Windows does not provide" >&2
    exit 1
    ;;
  esac
done

stage=$out/package
rm -rf "$stage"
mkdir -p "$stage/data" dist
x86_64-w64-mingw32-strip -o "$stage/skorel.exe" "$out/skorel/skorel.exe"
cp data/neghip.raw "$stage/data/"
sed 's/$/\r/' scripts/README-windows.txt >"$stage/README-windows.txt"
rm -f dist/skorel-windows.zip
(cd "$stage" && cmake -E tar cf "$root/dist/skorel-windows.zip" --format=zip \
  skorel.exe data/neghip.raw README-windows.txt)
echo "Windows package: dist/skorel-windows.zip"
