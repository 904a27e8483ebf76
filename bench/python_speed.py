#!/usr/bin/env python3
"""Speed of the Python module beside OpenColorIO's CPU processor, in one run on one machine.

- Lut.apply on a 24-megapixel float32 RGB array through a 33-point lattice, on every core and
  on one, beside PyOpenColorIO's applyRGB of the same .cube (tetrahedral) on the same array;
- Lut.inverse of that 33-point lattice, beside OpenColorIO making its inverse of the same file
  (a processor for the inverse direction), with each inverse's round trip on the same colours.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_speed.py [--megapixels 24] [--runs 3]

OpenColorIO is a yardstick only (python3-opencolorio); without it the script times ours alone.
"""
import argparse
import os
import statistics
import tempfile
import time

import numpy as np

import lutwright


def best_of(runs, fn):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - start)
    return min(times), statistics.median(times), result


def graded_lattice(n):
    """A display-like grade: a soft shoulder, crosstalk and a warm cast, within 0 to 1."""
    g = np.linspace(0, 1, n, dtype=np.float32)
    r, gg, b = np.meshgrid(g, g, g, indexing="ij")
    x = np.stack([r, gg, b], axis=-1)
    m = np.array([[0.86, 0.10, 0.04], [0.06, 0.84, 0.10], [0.03, 0.12, 0.85]], np.float32)
    y = (x ** 1.1) @ m.T
    return (y / (0.2 + y) * 1.2 * 0.95 + 0.02).astype(np.float32)


def ocio_processor(path, inverse=False):
    import PyOpenColorIO as ocio
    config = ocio.Config.CreateRaw()
    t = ocio.FileTransform(src=path, interpolation=ocio.INTERP_TETRAHEDRAL,
                           direction=ocio.TRANSFORM_DIR_INVERSE if inverse else ocio.TRANSFORM_DIR_FORWARD)
    return config.getProcessor(t).getDefaultCPUProcessor()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--megapixels", type=float, default=24)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    try:
        import PyOpenColorIO
        have_ocio = True
    except ImportError:
        have_ocio = False
    cores = os.cpu_count()
    print(f"lutwright {lutwright.__version__}, {cores} cores, load average {os.getloadavg()[0]:.2f} at the start"
          + (f", OpenColorIO {PyOpenColorIO.__version__}" if have_ocio else ", OpenColorIO not installed"))

    tmp = tempfile.mkdtemp()
    cube = os.path.join(tmp, "grade33.cube")
    lut = lutwright.Lut.from_arrays(lattice=graded_lattice(33))
    lut.write(cube)
    lut = lutwright.read(cube)

    width = 6000
    height = int(args.megapixels * 1e6 / width)
    pixels = np.random.default_rng(0).random((height, width, 3), dtype=np.float32)
    mp = width * height / 1e6
    print(f"\napply: {width}x{height} float32 RGB ({mp:.1f} megapixels), 33-point lattice, best (median) of {args.runs}")
    rows = []
    best, median, ours = best_of(args.runs, lambda: lut.apply(pixels))
    rows.append((f"Lut.apply, {cores} threads", best, median))
    best1, median1, _ = best_of(args.runs, lambda: lut.apply(pixels, threads=1))
    rows.append(("Lut.apply, 1 thread", best1, median1))
    if have_ocio:
        cpu = ocio_processor(cube)

        def ocio_apply():
            out = pixels.copy()
            cpu.applyRGB(out)
            return out
        best_o, median_o, theirs = best_of(args.runs, ocio_apply)
        rows.append(("OpenColorIO applyRGB (1 thread, a copy first)", best_o, median_o))
    for name, b, m in rows:
        print(f"  {name:48s} {b:7.3f} s ({m:.3f})  {mp / b:7.1f} Mpx/s")
    if have_ocio:
        print(f"  largest difference between the two results: {np.abs(ours - theirs).max():.3g}")

    print(f"\ninverse of the 33-point lattice, best (median) of {args.runs}")
    best_i, median_i, inverse = best_of(args.runs, lambda: lut.inverse())
    report = inverse.inversion
    print(f"  {'Lut.inverse (33-point inverse)':48s} {best_i:7.3f} s ({median_i:.3f})")
    if have_ocio:
        best_oi, median_oi, icpu = best_of(args.runs, lambda: ocio_processor(cube, inverse=True))
        print(f"  {'OpenColorIO inverse processor':48s} {best_oi:7.3f} s ({median_oi:.3f})")
    # Both inverses on the same colours: the LUT's outputs at inputs well inside its gamut.
    colours = np.random.default_rng(1).uniform(0.1, 0.9, (200000, 3)).astype(np.float32)
    graded = lut.apply(colours)
    print(f"  {'round trip, LUT then inverse, at 200000 colours':48s} largest   mean")
    ours_back = inverse.apply(graded)
    print(f"  {'  Lut.inverse':48s} {np.abs(ours_back - colours).max():.3g}  {np.abs(ours_back - colours).mean():.3g}")
    if have_ocio:
        theirs_back = graded.copy()
        icpu.applyRGB(theirs_back)
        print(f"  {'  OpenColorIO':48s} {np.abs(theirs_back - colours).max():.3g}  {np.abs(theirs_back - colours).mean():.3g}")
    print(f"  the inverse's own report: {report['outside']} of {report['nodes']} nodes outside the gamut; LUT then "
          f"inverse largest {report['forward']['largest']:.3g} at {report['forward']['colours']} colours")
    print(f"\nload average {os.getloadavg()[0]:.2f} at the end")


if __name__ == "__main__":
    main()
