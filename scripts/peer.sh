#!/bin/bash
# Skorel beside the two ray casters of the peer scripts, in one run: full
# quality (80 slices, linear filter, default transfer function) at 640 x 480
# on the synthetic 64^3, 128^3 and 256^3 volumes and on a real MRI head.
# Rounds interleave the three programs; each row gives every round's rate,
# the machine's load, and the ratios of the summed rates.
# usage: scripts/peer.sh [BUILD_DIR] [ROUNDS]
# env: SIZES (default "64 128 256"), HEAD (the head's .nii.gz, "" to skip),
#      PEER_DIR (the peer scripts), WORK (volumes, default /tmp/skorel-peer)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
rounds=${2:-2}
bin=$root/$build/skorel
sizes=${SIZES:-"64 128 256"}
head_nii=${HEAD-/usr/share/mricron/templates/ch2.nii.gz}
work=${WORK:-/tmp/skorel-peer}
peer=${PEER_DIR:-}
for dir in "$root/../shared/peer" "$root/../../shared/peer"; do
  [ -z "$peer" ] && [ -f "$dir/vtk_fps.py" ] && peer=$(cd "$dir" && pwd)
done
python=/usr/bin/python3

"$root/scripts/install-deps.sh" peer
[ -x "$bin" ] || { echo "Error: no Skorel binary at $bin; run make build first" >&2; exit 1; }
[ -n "$peer" ] && [ -f "$peer/vtk_fps.py" ] ||
  { echo "Error: peer scripts not found; set PEER_DIR to the folder of vtk_fps.py" >&2; exit 1; }
mkdir -p "$work"

# name file width height depth fill: one line per volume.
volumes=()
for n in $sizes; do
  [ -f "$work/vol$n.raw" ] || "$python" "$peer/make_volume.py" "$work/vol$n.raw" --size "$n" >/dev/null
  volumes+=("$n^3 synthetic|$work/vol$n.raw|$n|$n|$n|0.5")
done
if [ -n "$head_nii" ]; then
  [ -f "$head_nii" ] || { echo "Error: no head volume at $head_nii (HEAD= skips it)" >&2; exit 1; }
  # NIfTI-1: header size 348 at byte 0 (gives the byte order), dims at 40,
  # datatype at 70, vox_offset at 108; values windowed to 0..255.
  dims=$("$python" - "$head_nii" "$work/head.raw" <<'PY'
import gzip, struct, sys
import numpy as np
data = gzip.open(sys.argv[1]).read()
order = "<" if struct.unpack("<i", data[0:4])[0] == 348 else ">"
dim = struct.unpack(order + "8h", data[40:56])
datatype = struct.unpack(order + "h", data[70:72])[0]
offset = int(struct.unpack(order + "f", data[108:112])[0])
types = {2: "u1", 4: "i2", 8: "i4", 16: "f4", 64: "f8", 256: "i1", 512: "u2", 768: "u4"}
if datatype not in types or dim[0] < 3:
    sys.exit("Error: unsupported NIfTI volume (datatype %d, %d dimensions)" % (datatype, dim[0]))
count = dim[1] * dim[2] * dim[3]
v = np.frombuffer(data, dtype=np.dtype(order + types[datatype]), count=count, offset=offset)
v = v.astype(np.float64)
low, high = v.min(), v.max()
scaled = (v - low) * (255.0 / (high - low)) if high > low else np.zeros_like(v)
np.rint(scaled).astype(np.uint8).tofile(sys.argv[2])
print(dim[1], dim[2], dim[3])
PY
)
  read -r hw hh hd <<<"$dims"
  volumes+=("MRI head ${hw}x${hh}x${hd}|$work/head.raw|$hw|$hh|$hd|0.55")
fi

display=""
for d in $(seq 91 140); do
  [ -e "/tmp/.X$d-lock" ] || { display=$d; break; }
done
Xvfb ":$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

# Seconds from launch to Skorel's frame $2 on volume line $1.
until_frame() {
  local file w h d t0 t1
  IFS='|' read -r _ file w h d _ <<<"$1"
  t0=$(date +%s.%N)
  SKOREL_FULLSCREEN=no SKOREL_EXIT_AFTER_FRAMES=$2 "$bin" "$file" "$w" "$h" "$d" 8 >/dev/null 2>&1
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

vtk_fps() {
  local file w h d fill
  IFS='|' read -r _ file w h d fill <<<"$1"
  "$python" "$peer/vtk_fps.py" "$file" --mapper "$2" --dims "${w}x${h}x${d}" --fill "$fill" \
    --frames 100 2>/dev/null | tail -n 1 | grep -o 'fps=[0-9.]*' | cut -d= -f2
}

declare -A rates loads
for r in $(seq "$rounds"); do
  for i in "${!volumes[@]}"; do
    v=${volumes[$i]}
    a=$(until_frame "$v" 10)
    b=$(until_frame "$v" 210)
    rates[$i,skorel]+="$(printf '%.1f' "$(echo "200 / ($b - $a)" | bc -l)") "
    for m in gpu cpu; do
      rates[$i,$m]+="$(vtk_fps "$v" "$m") "
    done
    loads[$i]+="$(cut -d' ' -f1 /proc/loadavg) "
    echo "round $r: ${v%%|*} done" >&2
  done
done

sum() { echo "$1" | tr ' ' '\n' | grep . | paste -sd+ | bc -l; }
list() { echo "$1" | xargs | sed 's/ /, /g'; }
echo "| volume | Skorel fps | VTK GPU ray caster | VTK CPU ray caster | Skorel / CPU | Skorel / GPU | load (1 min) |"
echo "|---|---|---|---|---|---|---|"
for i in "${!volumes[@]}"; do
  s=$(sum "${rates[$i,skorel]}"); g=$(sum "${rates[$i,gpu]}"); c=$(sum "${rates[$i,cpu]}")
  printf '| %s | %s | %s | %s | %.2f | %.2f | %s |\n' "${volumes[$i]%%|*}" \
    "$(list "${rates[$i,skorel]}")" "$(list "${rates[$i,gpu]}")" "$(list "${rates[$i,cpu]}")" \
    "$(echo "$s / $c" | bc -l)" "$(echo "$s / $g" | bc -l)" "$(list "${loads[$i]}")"
done
