#!/usr/bin/env bash
# ICC profiles against Little CMS's own tools and OpenColorIO (Debian's liblcms2-utils,
# liblcms2-dev, python3-pyopencolorio and ffmpeg, installed here when missing; yardsticks,
# never dependencies):
#  1. a device link we write from a graded .cube, applied to a 16-bit picture by tificc (with
#     its precalculated transform and without), agrees with our `apply` of the link and of the
#     .cube within one 16-bit code;
#  2. every display profile of the corpus that OpenColorIO reads, converted to .cube and .clf,
#     agrees with OpenColorIO's evaluation of the profile at every node of a 17-point lattice;
#  3. a profile pair baked by `convert --from-profile --to-profile` agrees at its nodes with
#     Little CMS's double-precision transform of the same pair.
set -euo pipefail
cli="${LUTWRIGHT_CLI:?set LUTWRIGHT_CLI to the command-line program}"
py=/usr/bin/python3   # the system's Python, which the packaged OpenColorIO module is built for
corpus="$(cd "$(dirname "$0")/../.." && pwd)/tests/data/corpus"

"$(dirname "$0")/../setup.sh" liblcms2-utils liblcms2-dev gcc python3-pyopencolorio ffmpeg

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0

# A graded 33-point .cube: a curve with cross-talk, 0 at black and 1 at white.
"$py" - "$work/graded.cube" <<'PY'
import sys
n = 33
with open(sys.argv[1], "w") as f:
    f.write('TITLE "graded"\nLUT_3D_SIZE %d\n' % n)
    for b in range(n):
        for g in range(n):
            for r in range(n):
                x = (r / (n - 1), g / (n - 1), b / (n - 1))
                v = [(0.8 * x[c] + 0.1 * x[(c + 1) % 3] + 0.1 * x[(c + 2) % 3]) ** 0.8 for c in range(3)]
                f.write("%.6f %.6f %.6f\n" % tuple(v))
PY
"$cli" convert "$work/graded.cube" -o "$work/graded.icc" > /dev/null

echo "1. a device link we write, applied by tificc and by our apply"
# A 16-bit picture of many colours, the corners of the cube among them.
"$py" - "$work/picture.ppm" <<'PY'
import struct, sys
w = h = 256
out = bytearray(b"P6 %d %d 65535\n" % (w, h))
for y in range(h):
    for x in range(w):
        v = (x * 257, y * 257, ((x * 7 + y * 13) * 257) & 0xffff)
        if (x, y) in ((0, 0), (w - 1, h - 1)):
            v = (x * 257,) * 3
        out += struct.pack(">HHH", *v)
open(sys.argv[1], "wb").write(out)
PY
ffmpeg -v error -y -i "$work/picture.ppm" -pix_fmt rgb48le -compression_algo raw "$work/picture.tif"
raw() { ffmpeg -v error -y -i "$1" -f rawvideo -pix_fmt rgb48le "$2"; }
tificc -w16 -l"$work/graded.icc" "$work/picture.tif" "$work/tificc.tif" > /dev/null 2>&1
tificc -w16 -c0 -l"$work/graded.icc" "$work/picture.tif" "$work/tificc0.tif" > /dev/null 2>&1
"$cli" apply "$work/graded.icc" "$work/picture.tif" -o "$work/ours_icc.tif" > /dev/null
"$cli" apply "$work/graded.cube" "$work/picture.tif" -o "$work/ours_cube.tif" > /dev/null
for f in tificc tificc0 ours_icc ours_cube; do raw "$work/$f.tif" "$work/$f.rgb"; done
"$py" - "$work" <<'PY' || status=1
import array, os, sys
from collections import Counter
work = sys.argv[1]
def load(name):
    a = array.array("H")
    a.frombytes(open(os.path.join(work, name + ".rgb"), "rb").read())
    return a
failed = False
for lcms, label in (("tificc", "tificc"), ("tificc0", "tificc -c0")):
    theirs = load(lcms)
    for ours, what in (("ours_icc", "apply of the link"), ("ours_cube", "apply of the .cube")):
        mine = load(ours)
        diffs = Counter(abs(a - b) for a, b in zip(theirs, mine))
        worst = max(diffs)
        ok = len(theirs) == len(mine) and worst <= 1
        failed |= not ok
        print("%-11s vs our %-20s %d values, differences %s, largest %d (allowed 1) %s"
              % (label, what, len(mine), dict(sorted(diffs.items())), worst, "ok" if ok else "DIFFERENT"))
sys.exit(1 if failed else 0)
PY

echo "2. the corpus's display profiles, converted, against OpenColorIO's reading of them"
list="$work/profiles.txt"
: > "$list"
for f in icc-test-1.icc icc-test-2.pf icc-test-3.icm; do
  "$cli" convert "$corpus/$f" -o "$work/$f.cube" --size 17 2> /dev/null
  "$cli" convert "$corpus/$f" -o "$work/$f.clf" 2> /dev/null
  printf '%s\n' "$f" >> "$list"
done
"$py" - "$corpus" "$work" "$list" <<'PY' || status=1
import os, sys
import PyOpenColorIO as OCIO
corpus, work, listing = sys.argv[1:4]
config = OCIO.Config.CreateRaw()
def processor(path):
    # Tetrahedral for our lattices; a profile takes only OpenColorIO's default.
    interp = OCIO.INTERP_DEFAULT if path.endswith((".icc", ".icm", ".pf")) else OCIO.INTERP_TETRAHEDRAL
    t = OCIO.FileTransform(src=path, interpolation=interp)
    return config.getProcessor(t).getDefaultCPUProcessor()
n = 17
nodes = [[r / (n - 1), g / (n - 1), b / (n - 1)] for b in range(n) for g in range(n) for r in range(n)]
failed = False
print("OpenColorIO %s, %d-point lattice" % (OCIO.__version__, n))
for name in open(listing).read().split():
    source = processor(os.path.join(corpus, name))
    want = [source.applyRGB(list(x)) for x in nodes]
    for ext, tol in (("cube", 1e-5), ("clf", 1e-5)):
        got = processor(os.path.join(work, name + "." + ext))
        worst = max(abs(a - b) for x, w in zip(nodes, want) for a, b in zip(got.applyRGB(list(x)), w))
        ok = worst <= tol
        failed |= not ok
        print("%-16s as .%-5s largest difference %.3g (allowed %g) %s" % (name, ext, worst, tol, "ok" if ok else "DIFFERENT"))
print("icc-test-pc1 to pc4 (parametric curves of types 1 to 4): OpenColorIO %s does not read them; "
      "tests/tst_fmt_icc checks them against Little CMS" % OCIO.__version__)
sys.exit(1 if failed else 0)
PY

echo "3. a profile pair baked by convert, against Little CMS's double-precision transform"
cat > "$work/pair.c" <<'C'
/* Little CMS's transform from sRGB to a profile, at the nodes of an n-point lattice, red fastest. */
#include <lcms2.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char **argv)
{
    cmsHPROFILE from = cmsCreate_sRGBProfile(), to = cmsOpenProfileFromFile(argv[1], "r");
    cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_RGB_DBL, to, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                         cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    int n = atoi(argv[2]);
    if (!t)
        return 1;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r) {
                double in[3] = {r / (n - 1.0), g / (n - 1.0), b / (n - 1.0)}, out[3];
                cmsDoTransform(t, in, out, 1);
                printf("%.9f %.9f %.9f\n", out[0], out[1], out[2]);
            }
    return 0;
}
C
gcc -O1 "$work/pair.c" -o "$work/pair" -llcms2
for f in icc-test-1.icc icc-test-3.icm; do
  "$cli" convert --from-profile sRGB --to-profile "$corpus/$f" -o "$work/pair-$f.cube" --size 17 2> /dev/null
  "$work/pair" "$corpus/$f" 17 > "$work/pair-$f.txt"
  "$py" - "$work/pair-$f.cube" "$work/pair-$f.txt" "$f" <<'PY' || status=1
import sys
def rows(path):
    out = []
    for line in open(path):
        t = line.split()
        if len(t) == 3:
            try:
                out.append([float(v) for v in t])
            except ValueError:
                pass
    return out
ours, theirs = rows(sys.argv[1]), rows(sys.argv[2])
worst = max(abs(a - b) for x, y in zip(ours, theirs) for a, b in zip(x, y))
ok = len(ours) == len(theirs) == 17 ** 3 and worst <= 1e-5
print("sRGB to %-14s %d nodes, largest difference %.3g (allowed 1e-05) %s" % (sys.argv[3], len(ours), worst, "ok" if ok else "DIFFERENT"))
sys.exit(0 if ok else 1)
PY
done
exit $status
