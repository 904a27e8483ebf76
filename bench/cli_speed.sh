#!/usr/bin/env bash
# Speed and memory of lutwright-cli as whole processes, as a user runs it.
#
#  1. A 65-point and a 129-point .cube resampled to 33 points, side by side with ociobakelut
#     (Debian package opencolorio-tools, another tool, used here only as a yardstick), in one
#     hyperfine run each; peak memory of both from /usr/bin/time -v; and the data lines of the
#     two outputs compared as text and numerically (both interpolate tetrahedrally).
#     bench/README.md says where the time of such a run goes.
#  2. 200 33-point files converted with -j 1 and with -j 2.
#  3. apply on a 24-megapixel image (TIFF and PNG) with -j 2.
#
# Needs hyperfine, ociobakelut, GNU time and python3 (installs the first three with apt-get
# when they are missing and it may). The program is taken from build/ unless CLI names it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${CLI:-$root/build/cli/lutwright-cli}"
runs="${RUNS:-10}"

# need, make_cube, make_photo, mean, peak_kb
. "$root/bench/lib.sh"
need hyperfine:hyperfine ociobakelut:opencolorio-tools /usr/bin/time:time

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# How many data lines of two .cube files differ as text, and the largest difference between
# their numbers.
max_diff() {
  paste <(grep -E '^[-0-9.]' "$1") <(grep -E '^[-0-9.]' "$2") | awk '
    { if ($1 != $4 || $2 != $5 || $3 != $6) t++
      for (i = 1; i <= 3; i++) { d = $i - $(i + 3); if (d < 0) d = -d; if (d > m) m = d } n++ }
    END { printf "%d lines, %d differ as text, largest difference %.3g\n", n, t, m }'
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo

# The most lutwright-cli may take, as a share of ociobakelut's time.
declare -A limit=([65]=0.10 [129]=0.07)

for n in 65 129; do
  make_cube "$n" > "in$n.cube"
  echo "== $n-point .cube to 33 points"
  hyperfine -N --warmup 2 --runs "$runs" --export-json "t$n.json" \
    "$cli convert in$n.cube -o ours$n.cube --size 33" \
    "ociobakelut --lut in$n.cube --format resolve_cube --cubesize 33 ocio$n.cube" > /dev/null
  ours="$(mean "t$n.json" 0)"
  theirs="$(mean "t$n.json" 1)"
  echo "time:   lutwright-cli ${ours} s, ociobakelut ${theirs} s, ratio $(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.3f", a / b }') (limit ${limit[$n]})"
  echo "memory: lutwright-cli $(peak_kb "$cli" convert "in$n.cube" -o "ours$n.cube" --size 33) KB," \
       "ociobakelut $(peak_kb ociobakelut --lut "in$n.cube" --format resolve_cube --cubesize 33 "ocio$n.cube") KB"
  echo "output: $(max_diff "ours$n.cube" "ocio$n.cube")"
  echo
done

echo "== 200 33-point files, -j 1 against -j 2"
mkdir batch
make_cube 33 > batch/f0.cube
for i in $(seq 1 199); do cp batch/f0.cube "batch/f$i.cube"; done
hyperfine -N --warmup 1 --runs "$(( runs < 5 ? runs : 5 ))" --export-json batch.json \
  "$cli convert $(echo batch/*.cube) -d out1 --size 17 -j 1" \
  "$cli convert $(echo batch/*.cube) -d out2 --size 17 -j 2" > /dev/null
one="$(mean batch.json 0)"
two="$(mean batch.json 1)"
echo "time:   -j 1 ${one} s, -j 2 ${two} s, speed-up $(awk -v a="$one" -v b="$two" 'BEGIN { printf "%.2f", a / b }') (at least 1.7)"
echo

echo "== apply on a 24-megapixel image (6000 x 4000), -j 2"
make_photo photo.ppm
make_cube 33 > grade33.cube
printf 'LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n' > identity.cube
"$cli" apply identity.cube photo.ppm -o photo.tif
"$cli" apply identity.cube photo.ppm -o photo.png
hyperfine -N --warmup 1 --runs "$(( runs < 5 ? runs : 5 ))" --export-json apply.json \
  "$cli apply grade33.cube photo.tif -o graded.tif -j 2" \
  "$cli apply grade33.cube photo.png -o graded.png -j 2" > /dev/null
echo "time:   TIFF to TIFF $(mean apply.json 0) s, PNG to PNG $(mean apply.json 1) s (limit 1.5)"
