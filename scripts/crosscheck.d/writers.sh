#!/usr/bin/env bash
# The writers against other tools. A graded 17-point .cube is converted to every format
# OpenColorIO reads; OpenColorIO evaluates each written file and the source at every lattice
# node, and the two must agree within the written format's quantisation. Hald images of the
# same LUT, applied to a test picture by ffmpeg's haldclut filter, must match this program's
# own `apply` of the source within one 8-bit code value.
set -euo pipefail
cli="${LUTWRIGHT_CLI:?set LUTWRIGHT_CLI to the command-line program}"
py=/usr/bin/python3   # the system's Python, which the packaged OpenColorIO module is built for

"$(dirname "$0")/../setup.sh" opencolorio-tools python3-pyopencolorio ffmpeg

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
src="$work/source.cube"

# A curve with cross-talk, 0 at black and 1 at white, so every integer format uses its
# whole range (other tools take a .3dl's depth from its largest sample).
"$py" - "$src" <<'PY'
import sys
n = 17
with open(sys.argv[1], "w") as f:
    f.write("TITLE \"graded\"\nLUT_3D_SIZE %d\n" % n)
    for b in range(n):
        for g in range(n):
            for r in range(n):
                x = (r / (n - 1), g / (n - 1), b / (n - 1))
                v = [(0.8 * x[c] + 0.1 * x[(c + 1) % 3] + 0.1 * x[(c + 2) % 3]) ** 0.8 for c in range(3)]
                f.write("%.6f %.6f %.6f\n" % tuple(v))
PY

# name | file | options | largest difference allowed
cases=(
  "3dl Mesh, 12 bits|mesh12.3dl||0.5/4095"
  "3dl Mesh, 10 bits|mesh10.3dl|--bits 10|0.5/1023"
  "3dl Mesh, 16 bits|mesh16.3dl|--bits 16|0.5/65535"
  "3dl headerless|plain.3dl|--headerless|0.5/4095"
  "csp|a.csp||0.000001"
  "cub (Truelight)|a.cub||0.000001"
  "look|a.look||0.000001"
  "cube|a.cube||0.000001"
  "spi3d|a.spi3d||0.000001"
  "itx|a.itx||0.000001"
)
list="$work/cases.txt"
: > "$list"
for c in "${cases[@]}"; do
  IFS='|' read -r name file opts tol <<< "$c"
  # shellcheck disable=SC2086
  "$cli" convert "$src" -o "$work/$file" $opts > /dev/null
  printf '%s|%s|%s\n' "$name" "$work/$file" "$tol" >> "$list"
done

"$py" - "$src" "$list" <<'PY'
import sys
import PyOpenColorIO as OCIO

src, listing = sys.argv[1], sys.argv[2]
config = OCIO.Config.CreateRaw()

def processor(path):
    t = OCIO.FileTransform(src=path, interpolation=OCIO.INTERP_TETRAHEDRAL)
    return config.getProcessor(t).getDefaultCPUProcessor()

n = 17
nodes = [[r / (n - 1), g / (n - 1), b / (n - 1)] for b in range(n) for g in range(n) for r in range(n)]
reference = processor(src)
expected = [reference.applyRGB(list(x)) for x in nodes]

failed = False
print("%-22s %14s %14s" % ("format", "max difference", "allowed"))
for line in open(listing):
    name, path, tol = line.rstrip("\n").split("|")
    tol = eval(tol, {}) + 1e-6   # a quotient such as 0.5/4095; OpenColorIO works in single precision
    p = processor(path)
    worst = max(abs(a - b) for x, e in zip(nodes, expected) for a, b in zip(p.applyRGB(list(x)), e))
    ok = worst <= tol
    failed |= not ok
    print("%-22s %14.8f %14.8f %s" % (name, worst, tol, "ok" if ok else "DIFFERENT"))
sys.exit(1 if failed else 0)
PY

# Hald: a picture of many colours through ffmpeg with our Hald image (8 and 16 bits), and
# through our apply of the source.
"$py" - "$work/picture.ppm" <<'PY'
import sys
w = h = 512
with open(sys.argv[1], "wb") as f:
    f.write(b"P6 %d %d 255\n" % (w, h))
    f.write(bytes(v for y in range(h) for x in range(w) for v in (x >> 1, y >> 1, (x * 7 + y * 13) & 255)))
PY
ffmpeg -v error -y -i "$work/picture.ppm" "$work/picture.png"
"$cli" apply "$src" "$work/picture.png" -o "$work/ours.png" > /dev/null
ffmpeg -v error -y -i "$work/ours.png" -f rawvideo -pix_fmt rgb24 "$work/ours.rgb"
status=0
for bits in 8 16; do
  "$cli" convert "$src" -o "$work/hald$bits.png" --to hald --bits "$bits" > /dev/null
  # ffmpeg's own format negotiation: its conversions to 16 bits scale by 256, not 257, and
  # would shift every colour.
  ffmpeg -v error -y -i "$work/picture.png" -i "$work/hald$bits.png" \
    -filter_complex "[0:v][1:v]haldclut=interp=tetrahedral" -frames:v 1 -f rawvideo -pix_fmt rgb24 "$work/ffmpeg.rgb"
  "$py" - "$work/ffmpeg.rgb" "$work/ours.rgb" "$bits" <<'PY' || status=1
import sys
from collections import Counter
theirs = open(sys.argv[1], "rb").read()
ours = open(sys.argv[2], "rb").read()
if len(theirs) != len(ours):
    sys.exit("sizes differ: %d and %d bytes" % (len(theirs), len(ours)))
diffs = Counter(abs(a - b) for a, b in zip(theirs, ours))
worst = max(diffs)
print("hald %s-bit through ffmpeg haldclut vs apply: %d values, differences %s, largest %d (allowed 1) %s"
      % (sys.argv[3], len(ours), dict(sorted(diffs.items())), worst, "ok" if worst <= 1 else "DIFFERENT"))
sys.exit(0 if worst <= 1 else 1)
PY
done
exit $status
