#!/usr/bin/env bash
# Fidelity: what a conversion does to real files that other tools made. Every file of the
# corpus (tests/data/corpus, or CORPUS) is converted without resampling to .cube and .clf,
# and at 33 points to .spi3d and to 12-bit .3dl. OpenColorIO (a yardstick, never a dependency)
# evaluates the source and each output:
#  - .cube and .clf on a 17^3 grid over 0..1 and over the file's own input domain: they must
#    agree with the source within 1e-5 of the value's size (at least 1), or the conversion must
#    have said what it lost (a "warning:" line naming the loss);
#  - .spi3d and .3dl at the nodes of their 33-point lattice: within the target's quantisation
#    of the source clipped to what the target holds; the .3dl must warn that values were
#    clipped exactly when the source leaves 0..1 at those nodes.
# Files OpenColorIO refuses must be refused by us too, or be listed in formats/README.md.
# CDL files are left to formats25.sh: OpenColorIO evaluates them unclamped, we as ASC CDL v1.2
# does (with its clamps), so that check gives OpenColorIO the same numbers in the ASC style.
# Prints one line per file and fails on any disagreement.
set -euo pipefail
cd "$(dirname "$0")/../.."
cli="${LUTWRIGHT_CLI:-$PWD/build/cli/lutwright-cli}"
corpus="${CORPUS:-$PWD/tests/data/corpus}"
"$(dirname "$0")/../setup.sh" opencolorio-tools python3-pyopencolorio
py=/usr/bin/python3   # the system's Python, which the packaged OpenColorIO module is built for

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$py" - "$cli" "$corpus" "$work" <<'PY'
import glob, json, os, subprocess, sys
import PyOpenColorIO as OCIO

cli, corpus, work = sys.argv[1:4]
config = OCIO.Config.CreateRaw()
TOL = 1e-5
failed = 0

def processor(path):
    t = OCIO.FileTransform(src=os.path.abspath(path), interpolation=OCIO.INTERP_BEST)
    return config.getProcessor(t).getOptimizedCPUProcessor(OCIO.OPTIMIZATION_LOSSLESS)

def grid(lo, hi, n):
    pts = []
    for b in range(n):
        for g in range(n):
            for r in range(n):
                x = (r, g, b)
                pts += [lo[c] + (hi[c] - lo[c]) * x[c] / (n - 1) for c in range(3)]
    return pts

def worst(a, b):
    w = 0.0
    for x, y in zip(a, b):
        d = abs(x - y) / max(1.0, abs(y))
        if not d <= w:
            w = d
    return w

def run(*args):
    r = subprocess.run([cli, *args], capture_output=True, text=True)
    return r.returncode, r.stdout, r.stderr

def lossline(err):
    lines = [l for l in err.splitlines() if "warning:" in l]
    return lines[0].split("warning:", 1)[1].strip() if lines else ""

rows = []
for src in sorted(glob.glob(os.path.join(corpus, "*"))):
    name = os.path.basename(src)
    if name == "LICENSE" or os.path.isdir(src):
        continue
    if name.lower().endswith((".cc", ".ccc", ".cdl")):
        rows.append((name, "a CDL", "compared by formats25.sh", True))
        continue
    try:
        ref = processor(src)
        theirs = True
    except Exception as e:
        theirs, why = False, str(e).splitlines()[0][:60]
    code, out, err = run("info", "--json", src)
    if code != 0:
        ours = err.strip().split(": ", 1)[-1][:70]
        ok = not theirs
        rows.append((name, "refused" if theirs else "both refuse", ours, ok))
        failed += not ok
        continue
    if not theirs:
        rows.append((name, "OpenColorIO refuses: " + why, "we read it", True))
        continue
    info = json.loads(out)[0]
    lo, hi = info["domainMin"], info["domainMax"]
    cells, ok = [], True
    for ext in ("cube", "clf"):
        dst = os.path.join(work, name + "." + ext)
        code, _, err = run("convert", src, "-o", dst)
        if code != 0:
            cells.append(f"{ext}: failed"); ok = False; continue
        loss = lossline(err)
        try:
            out_p = processor(dst)
        except Exception as e:
            cells.append(f"{ext}: OpenColorIO cannot read it: " + str(e).splitlines()[0][:80]); ok = False; continue
        w = 0.0
        for box in ((0, 0, 0), (1, 1, 1)), (lo, hi):
            pts = grid(box[0], box[1], 17)
            w = max(w, worst(out_p.applyRGB(pts), ref.applyRGB(pts)))
        good = w <= TOL or bool(loss)
        ok &= good
        cells.append(f"{ext} {w:.1e}" + (" (warned)" if loss else "") + ("" if good else " DIFFERENT"))
    nodes = grid((0, 0, 0), (1, 1, 1), 33)
    want = ref.applyRGB(nodes)
    for ext, args, q in (("spi3d", [], 1e-6), ("3dl", ["--bits", "12"], 0.5 / 4095 + 1e-6)):
        dst = os.path.join(work, name + "." + ext)
        code, _, err = run("convert", src, "-o", dst, "--size", "33", *args)
        if code != 0:
            cells.append(f"{ext}: failed"); ok = False; continue
        try:
            got = processor(dst).applyRGB(nodes)
        except Exception as e:
            cells.append(f"{ext}: OpenColorIO cannot read it: " + str(e).splitlines()[0][:80]); ok = False; continue
        clipped = ext == "3dl" and any(v < -1e-6 or v > 1 + 1e-6 for v in want)
        target = [min(1.0, max(0.0, v)) for v in want] if ext == "3dl" else want
        w = max(abs(a - b) / max(1.0, abs(b)) for a, b in zip(got, target))
        note = ""
        if ext == "3dl" and w > q + TOL:
            # OpenColorIO takes a .3dl's sample depth from its largest sample, not from the
            # Mesh line: a dark LUT written at 12 bits it reads as if of fewer bits. Undo the
            # depth it took and check the codes.
            for bits in range(8, 17):
                s = (2 ** bits - 1) / 4095
                wb = max(abs(a * s - b) for a, b in zip(got, target))
                if wb <= q + TOL:
                    w, note = wb, f" (OpenColorIO read it as {bits}-bit)"
                    break
        warned = "clipped" in lossline(err)
        good = w <= q + TOL and (warned == clipped or ext != "3dl")
        ok &= good
        cells.append(f"{ext} {w:.1e}" + note + (" clipped+warned" if warned else "") + ("" if good else " DIFFERENT"))
    rows.append((name, "reads", ", ".join(cells), ok))
    failed += not ok

width = max(len(r[0]) for r in rows)
for name, theirs, ours, ok in rows:
    print(f"{name:<{width}}  {'ok  ' if ok else 'FAIL'}  {theirs}: {ours}")
print(f"{len(rows)} files, {failed} failing")
sys.exit(1 if failed else 0)
PY
