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

missing=()
command -v hyperfine > /dev/null || missing+=(hyperfine)
command -v ociobakelut > /dev/null || missing+=(opencolorio-tools)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ! -x "$cli" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$root/build" -j2 --target lutwright-cli
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# A graded N-point .cube, red fastest: saturation, channel cross-talk and a curve per channel.
make_cube() {
  awk -v N="$1" 'BEGIN {
    print "TITLE \"bench\""; print "LUT_3D_SIZE " N;
    for (b = 0; b < N; b++) for (g = 0; g < N; g++) for (r = 0; r < N; r++) {
      R = r/(N-1); G = g/(N-1); B = b/(N-1);
      L = 0.2126*R + 0.7152*G + 0.0722*B;
      R2 = L + (R-L)*1.3; G2 = L + (G-L)*1.3; B2 = L + (B-L)*1.3;
      o1 = 0.9*R2 + 0.08*G2 + 0.02*B2; o2 = 0.05*R2 + 0.9*G2 + 0.05*B2; o3 = 0.02*R2 + 0.13*G2 + 0.85*B2;
      if (o1 < 0) o1 = 0; if (o1 > 1) o1 = 1; if (o2 < 0) o2 = 0; if (o2 > 1) o2 = 1; if (o3 < 0) o3 = 0; if (o3 > 1) o3 = 1;
      o1 = o1*o1*(3-2*o1); o2 = o2^0.9; o3 = sqrt(o3)*0.3 + o3*0.7;
      printf "%.6f %.6f %.6f\n", o1, o2, o3;
    }
  }'
}

# Mean seconds of command i (0-based) in a hyperfine JSON export.
mean() {
  python3 -c 'import json,sys; print("%.4f" % json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["mean"])' "$1" "$2"
}

peak_kb() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}

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
python3 - <<'EOF'
# A photograph-like test image: smooth gradients with fine texture, as binary PPM.
w, h = 6000, 4000
with open("photo.ppm", "wb") as out:
    out.write(b"P6\n%d %d\n255\n" % (w, h))
    rx = bytes((x * 255 // (w - 1)) for x in range(w))
    for y in range(h):
        row = bytearray(w * 3)
        row[0::3] = rx
        row[1::3] = bytes([(y * 255 // (h - 1)) ^ (y % 7)]) * w
        row[2::3] = bytes(((x * 7 + y * 3 + (x * y) % 17) & 255) for x in range(w))
        out.write(row)
EOF
make_cube 33 > grade33.cube
printf 'LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n' > identity.cube
"$cli" apply identity.cube photo.ppm -o photo.tif
"$cli" apply identity.cube photo.ppm -o photo.png
hyperfine -N --warmup 1 --runs "$(( runs < 5 ? runs : 5 ))" --export-json apply.json \
  "$cli apply grade33.cube photo.tif -o graded.tif -j 2" \
  "$cli apply grade33.cube photo.png -o graded.png -j 2" > /dev/null
echo "time:   TIFF to TIFF $(mean apply.json 0) s, PNG to PNG $(mean apply.json 1) s (limit 1.5)"
