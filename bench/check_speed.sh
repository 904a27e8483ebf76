#!/usr/bin/env bash
# Speed and memory of the checking commands of lutwright-cli as whole processes:
#  1. compare of two 65-point LUTs (a .cube and its .spi3d conversion); target under 0.3 s.
#  2. preview of a 33-point .cube at 1600x900, on the chart and on a 24-megapixel still;
#     target under 0.5 s for the chart.
# Needs hyperfine, GNU time and python3 (installs the first two with apt-get when they are
# missing and it may). The program is taken from build/ unless CLI names it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${CLI:-$root/build/cli/lutwright-cli}"
runs="${RUNS:-10}"

. "$root/bench/lib.sh"
need hyperfine:hyperfine /usr/bin/time:time

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo

make_cube 65 > a65.cube
"$cli" convert a65.cube -o b65.spi3d
make_cube 33 > grade33.cube
make_photo still.ppm
printf 'LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n' > identity.cube
"$cli" apply identity.cube still.ppm -o still.jpg

hyperfine -N -i --warmup 2 --runs "$runs" --export-json check.json \
  "$cli compare a65.cube b65.spi3d --tolerance 1e-5" \
  "$cli compare a65.cube b65.spi3d --tolerance 1e-5 --json" \
  "$cli preview grade33.cube -o chart.png --size 1600x900" \
  "$cli preview grade33.cube -o still.png --size 1600x900 --image still.jpg" > /dev/null
echo "== compare, two 65-point LUTs (274,625 colours)"
echo "time:   text $(mean check.json 0) s, --json $(mean check.json 1) s (target 0.3)"
echo "memory: $(peak_kb "$cli" compare a65.cube b65.spi3d) KB"
echo
echo "== preview of a 33-point LUT at 1600x900"
echo "time:   chart $(mean check.json 2) s (target 0.5), 24-megapixel JPEG still $(mean check.json 3) s"
echo "memory: chart $(peak_kb "$cli" preview grade33.cube -o chart.png) KB," \
     "still $(peak_kb "$cli" preview grade33.cube -o still.png --image still.jpg) KB"
