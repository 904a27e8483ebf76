#!/usr/bin/env bash
# The CDL, .spimtx, Houdini and .vf files of tests/data/corpus against OpenColorIO (Debian's
# python3-pyopencolorio; a yardstick, never a dependency). For each file, and each correction
# of a collection: our faithful reading (tests/tools/clfdump apply) and what OpenColorIO reads
# from our .clf and our 33-point .cube of it must agree with OpenColorIO's reading of the
# source at every node of a 17-point lattice, over 0 to 1 and over the file's own input range,
# within 1e-5 (relative above 1). A .cube holds only its own input range, so it is compared
# over that one.
#
# Two readings differ from OpenColorIO's on purpose and are compared accordingly:
#  - a CDL is evaluated as ASC CDL v1.2 defines it (with its clamps); OpenColorIO reads CDL files
#    in its unclamped style, so the same numbers are given to its CDLTransform in the ASC style;
#  - ASC_SOP and ASC_SAT elements are read as SOPNode and SatNode, which OpenColorIO passes
#    over: those two files are listed, not compared.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
cli="${LUTWRIGHT_CLI:-$PWD/$build/cli/lutwright-cli}"
py=/usr/bin/python3

scripts/setup.sh python3-pyopencolorio > /dev/null
cmake --build "$build" --target clfdump -j2 > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$py" - "$build/tests/clfdump" "$cli" tests/data/corpus "$work" <<'PY'
import os, subprocess, sys
import PyOpenColorIO as OCIO

dump, cli, corpus, work = sys.argv[1:5]
N = 17
TOL = 1e-5
failures = 0

def grid(lo, hi):
    g = []
    for r in range(N):
        for gg in range(N):
            for b in range(N):
                g += [lo + (hi - lo) * r / (N - 1), lo + (hi - lo) * gg / (N - 1), lo + (hi - lo) * b / (N - 1)]
    return g

def ocio(path, points, cccid=None, asc=False):
    OCIO.ClearAllCaches()
    config = OCIO.Config.CreateRaw()
    t = OCIO.FileTransform(src=os.path.abspath(path), interpolation=OCIO.INTERP_LINEAR)
    if path.endswith(".cube"):
        t.setInterpolation(OCIO.INTERP_TETRAHEDRAL)
    if cccid is not None:
        t.setCCCId(cccid)
    if asc:
        t = config.getProcessor(t).createGroupTransform()[0]
        t.setStyle(OCIO.CDL_ASC)
    return config.getProcessor(t).getOptimizedCPUProcessor(OCIO.OPTIMIZATION_LOSSLESS).applyRGB(points)

def ours(path, lo, hi, cid):
    out = subprocess.run([dump, "apply", path, str(N), repr(lo), repr(hi), cid or ""], check=True,
                         capture_output=True, text=True).stdout
    return [float(x) for x in out.split()]

def convert(path, ext, cid, tag):
    out = os.path.join(work, f"{tag}.{ext}")
    args = [cli, "convert", path, "-o", out] + (["--cdl-id", cid] if cid else []) + (["--size", "33"] if ext == "cube" else [])
    subprocess.run(args, check=True, capture_output=True)
    return out

def compare(name, got, want):
    global failures
    worst = max(abs(a - b) / max(1.0, abs(b)) for a, b in zip(got, want))
    ok = len(got) == len(want) and worst <= TOL
    failures += not ok
    print(f"{'ok  ' if ok else 'FAIL'} {name}: largest difference {worst:.3g}")

cases = [  # file, input ranges beyond 0 to 1, corrections
    ("cdl_test1.cc", [(-0.25, 1.25)], [None]),
    ("cdl_test2.cc", [(-0.25, 1.25)], [None]),
    ("cdl_test_SATNode.cc", [(-0.25, 1.25)], [None]),
    ("cdl_test1.ccc", [(-0.25, 1.25)], ["1", "2", "3", "4", "5"]),
    ("cdl_test1.cdl", [(-0.25, 1.25)], ["1", "2", "3", "4", "5"]),
    ("cdl_test_cc_file_with_extension.ccc", [], ["1"]),
    ("camera_to_aces.spimtx", [(-0.25, 1.25)], [None]),
    ("houdini.lut", [], [None]),
    ("nuke_3d.vf", [(0.0, 0.5)], [None]),
]
print(f"OpenColorIO {OCIO.__version__}: our reading, our .clf and our .cube against OpenColorIO's reading of the source")
for name, ranges, ids in cases:
    path = os.path.join(corpus, name)
    cdl = name.endswith((".cc", ".ccc", ".cdl"))
    for cid in ids:
        label = name + (f" #{cid}" if cid else "")
        tag = label.replace(" #", "_")
        clf, cube = convert(path, "clf", cid, tag), convert(path, "cube", cid, tag)
        cccid = str(int(cid) - 1) if cid else None
        for lo, hi in [(0.0, 1.0)] + ranges:
            points = grid(lo, hi)
            want = ocio(path, points, cccid, asc=cdl)
            compare(f"{label} over {lo:g} to {hi:g}, our reading", ours(path, lo, hi, cid), want)
            compare(f"{label} over {lo:g} to {hi:g}, our .clf", ocio(clf, points), want)
        # The .cube of a CDL or a matrix spans 0 to 1; of a .vf, the lattice's own range.
        lo, hi = ranges[0] if name.endswith(".vf") else (0.0, 1.0)
        compare(f"{label} over {lo:g} to {hi:g}, our 33-point .cube", ocio(cube, grid(lo, hi)), ocio(path, grid(lo, hi), cccid, asc=cdl))
for name in ("cdl_test_ASC_SOP.cc", "cdl_test_ASC_SAT.cc"):
    print(f"--   {name}: ASC_SOP / ASC_SAT read as SOPNode / SatNode, which OpenColorIO passes over; not compared")
sys.exit(1 if failures else 0)
PY
