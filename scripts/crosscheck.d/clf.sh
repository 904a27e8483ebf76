#!/usr/bin/env bash
# The Common LUT Format against OpenColorIO (Debian's python3-pyopencolorio and
# opencolorio-tools, installed here when missing; a yardstick, never a dependency):
#  1. every CLF of tests/data/corpus/clf: OpenColorIO's processor and our chain evaluation
#     agree at every node of a 17-point lattice within 1e-4 (1e-3 where half floats are
#     involved), relative above 1;
#  2. ociomakeclf turns a .cube into a CLF that we read back to the .cube's own lattice;
#  3. a CLF we write from that .cube is read by OpenColorIO to the same values.
# Our side is tests/tools/clfdump from the build in BUILD_DIR (default: build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}

# Debian's interpreter, whatever else is first on the PATH: the binding is built for it.
py=/usr/bin/python3
if ! $py -c 'import PyOpenColorIO' 2>/dev/null || ! command -v ociomakeclf > /dev/null; then
  apt-get install -y python3-pyopencolorio opencolorio-tools > /dev/null
fi
cmake --build "$build" --target clfdump -j2 > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

$py - "$build/tests/clfdump" tests/data/corpus/clf "$work" <<'PY'
import glob, os, subprocess, sys
import PyOpenColorIO as OCIO

dump, corpus, work = sys.argv[1:4]
N = 17
failures = 0

def ours(*args):
    out = subprocess.run([dump, *args], check=True, capture_output=True, text=True).stdout
    return [float(x) for x in out.split()]

def ocio(path, n):
    config = OCIO.Config.CreateRaw()
    t = OCIO.FileTransform(src=os.path.abspath(path), interpolation=OCIO.INTERP_DEFAULT)
    # Lossless: the default optimisation swaps in fast approximations of log, exp and pow.
    proc = config.getProcessor(t).getOptimizedCPUProcessor(OCIO.OPTIMIZATION_LOSSLESS)
    grid = []
    for r in range(n):
        for g in range(n):
            for b in range(n):
                grid += [r / (n - 1), g / (n - 1), b / (n - 1)]
    return proc.applyRGB(grid)

def compare(name, got, want, tol):
    global failures
    if len(got) != len(want):
        print(f"FAIL {name}: {len(got)} values, OpenColorIO {len(want)}")
        failures += 1
        return
    worst, where, bad = 0.0, 0, 0
    for i, (a, b) in enumerate(zip(got, want)):
        err = abs(a - b) / max(1.0, abs(b))
        if not err <= tol:
            bad += 1
        if not err <= worst:
            worst, where = err, i
    status = "ok  " if bad == 0 else "FAIL"
    failures += bad > 0
    print(f"{status} {name}: largest difference {worst:.3g} (tolerance {tol:g}) at node {where // 3}, {bad} values beyond")

print(f"1. OpenColorIO {OCIO.__version__} against our evaluation, {N}-point lattice")
for path in sorted(glob.glob(os.path.join(corpus, "*.clf"))):
    text = open(path, encoding="utf-8", errors="replace").read()
    tol = 1e-3 if ("16f" in text or "halfDomain" in text) else 1e-4
    compare(os.path.basename(path), ours("eval", path, str(N)), ocio(path, N), tol)

print("2. ociomakeclf: a .cube to CLF, read back by us")
cube = os.path.join(work, "ramp.cube")
n = 5
with open(cube, "w") as f:
    f.write(f"LUT_3D_SIZE {n}\n")
    for b in range(n):
        for g in range(n):
            for r in range(n):
                x = (r / (n - 1), g / (n - 1), b / (n - 1))
                f.write("%.6f %.6f %.6f\n" % ((3 * x[0] + x[1]) / 4, x[1] ** 2.2, x[2] ** 0.5))
made = os.path.join(work, "made.clf")
subprocess.run(["ociomakeclf", cube, made], check=True, capture_output=True)
compare("ociomakeclf ramp.cube", ours("read", made), ours("read", cube), 1e-6)

print("3. a CLF we write, read by OpenColorIO")
written = os.path.join(work, "written.clf")
ours("write", cube, written)
compare("at the lattice's own nodes", ocio(written, n), ours("read", cube), 1e-6)
compare(f"at a {N}-point lattice", ocio(written, N), ours("eval", written, str(N)), 1e-4)
sys.exit(1 if failures else 0)
PY
