#!/bin/sh
# skorel-open's start to first frame, black-box, against ITK reading the file
# alone plus skorel's own start on a volume of the same padded size (past 1024
# a side, which skorel does not take, a cube of about as many voxels), both in
# fresh processes given huge pages. Rounds alternate the three so that a slow
# spell hits them all; medians and their ratio per file.
#   scripts/open-timing.sh [FILE...]   (default: ch2better and the CT files
#                                       made by tools/makeCtFiles in /tmp/ct21)
# ROUNDS (default 5) and BUILD (default build) from the environment.
set -e
build=${BUILD:-build}
rounds=${ROUNDS:-5}
cmake --build "$build" --target skorel skorel-open openTiming >/dev/null
[ $# -gt 0 ] || set -- /usr/share/mricron/templates/ch2better.nii.gz /tmp/ct21/ct.nrrd \
    /tmp/ct21/ct.nii.gz /tmp/ct21/ct-long.mha
work=$(mktemp -d)
display=$((60 + $(od -An -N1 -tu1 /dev/urandom) % 30))
Xvfb ":$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=":$display" SKOREL_FULLSCREEN=no SKOREL_EXIT_AFTER_FRAMES=1
huge=glibc.malloc.hugetlb=1
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
timing="$build/openTiming"
printf '| file | skorel-open | with huge pages | peak | ITK alone | skorel, padded | ratio (huge pages) |\n'
printf '|---|---|---|---|---|---|---|\n'
for file in "$@"; do
    set -- $("$timing" padded "$file")
    ball="$work/ball.raw"
    "$timing" ball "$1" "$2" "$3" "$ball"
    : >"$work/open" && : >"$work/openHuge" && : >"$work/peak" && : >"$work/itk" && : >"$work/skorel"
    for round in $(seq "$rounds"); do
        "$timing" start "$build/skorel-open" "$file" 2>/dev/null >"$work/one"
        cut -d' ' -f1 "$work/one" >>"$work/open"
        GLIBC_TUNABLES=$huge "$timing" start "$build/skorel-open" "$file" 2>/dev/null >"$work/one"
        cut -d' ' -f1 "$work/one" >>"$work/openHuge"
        cut -d' ' -f2 "$work/one" >>"$work/peak"
        GLIBC_TUNABLES=$huge "$timing" itk "$file" >>"$work/itk"
        GLIBC_TUNABLES=$huge "$timing" start "$build/skorel" "$ball" "$1" "$2" "$3" 8 2>/dev/null |
            cut -d' ' -f1 >>"$work/skorel"
    done
    open=$(median <"$work/open") openHuge=$(median <"$work/openHuge")
    itk=$(median <"$work/itk") skorel=$(median <"$work/skorel") peak=$(median <"$work/peak")
    awk -v f="$(basename "$file")" -v o="$open" -v h="$openHuge" -v p="$peak" -v i="$itk" \
        -v s="$skorel" -v d="$1x$2x$3" 'BEGIN {
        printf "| %s | %.0f ms | %.0f ms | %.0f MiB | %.0f ms | %.0f ms (%s) | %.2fx (%.2fx) |\n",
            f, o, h, p / 1024, i, s, d, o / (i + s), h / (i + s) }'
done
echo "(target: at most 1.2x; medians of $rounds rounds)"
