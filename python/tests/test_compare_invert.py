"""Comparing: the numbers of `lutwright-cli compare --json`. Inverting: the command line's
inverse, its round trip and what it cannot undo."""
import re
import warnings

import numpy as np
import pytest

import lutwright
from conftest import CORPUS, cli_json, close, run_cli, write_cube


def same_numbers(got, want):
    """Every number of the command line's JSON in the dict, to the digits JSON prints."""
    if isinstance(want, dict):
        return all(same_numbers(got[k], v) for k, v in want.items())
    if isinstance(want, list):
        return len(got) == len(want) and all(same_numbers(g, w) for g, w in zip(got, want))
    if isinstance(want, float) or (isinstance(want, int) and isinstance(got, float)):
        return close(got, want, rel=5e-6, abs_=5e-7)
    return got == want


@pytest.mark.parametrize("a, b, size", [
    ("lustre_33x33x33.3dl", "iridas_3d.cube", None),
    ("lut1d_1.spi1d", "resolve_1d3d.cube", 9),
    ("clf/multiple_ops.clf", "clf/lut3d_17x17x17_10i_12i.clf", None),
])
def test_compare_gives_the_json_numbers(a, b, size):
    args = ["compare", CORPUS / a, CORPUS / b, "--json"] + (["--size", str(size)] if size else [])
    _, want, _ = cli_json(*args)
    got = lutwright.compare(CORPUS / a, CORPUS / b, size)
    assert same_numbers(got, want)
    # The same from Lut objects, and the tolerance's verdict.
    again = lutwright.compare(lutwright.read(CORPUS / a), CORPUS / b, size, tolerance=got["largest"])
    assert again["within"] and again["channels"] == got["channels"]


def test_compare_refuses():
    with pytest.raises(ValueError, match="size must be 2 to 256"):
        lutwright.compare(CORPUS / "iridas_3d.cube", CORPUS / "iridas_3d.cube", 1)
    with pytest.raises(lutwright.LutError, match="no such file"):
        lutwright.compare(CORPUS / "none.cube", CORPUS / "iridas_3d.cube")


def trip_lines(text, heading):
    """The largest and mean of R, G, B the command line prints under a heading."""
    part = text.split(heading, 1)[1]
    return [tuple(map(float, m)) for m in re.findall(r"^[RGB]  largest (\S+) .*?, mean (\S+),", part, re.M)[:3]]


@pytest.mark.parametrize("source, name, options", [
    ("grade", "inv.cube", []),
    ("grade", "inv.cube", ["--size", "9"]),
    ("lut1d_1.spi1d", "inv.spi1d", []),
    ("resolve_1d3d.cube", "inv.cube", []),
])
def test_inverse_is_the_command_lines(tmp_path, graded_cube, source, name, options):
    src = graded_cube if source == "grade" else CORPUS / source
    _, out, err = run_cli("invert", src, "-o", tmp_path / ("cli_" + name), *options)
    size = int(options[1]) if options else None
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        inverse = lutwright.read(src).inverse(size)
        inverse.write(tmp_path / ("py_" + name))
    assert (tmp_path / ("py_" + name)).read_bytes() == (tmp_path / ("cli_" + name)).read_bytes()
    assert len(caught) == len(err.splitlines())
    report = inverse.inversion
    for trip, heading in (("forward", "LUT then inverse"), ("backward", "Inverse then LUT")):
        printed = trip_lines(out, heading)
        channels = [report[trip]["channels"][c] for c in "RGB"]
        assert all(close(ch["largest"], p[0], rel=5e-6, abs_=1e-12) and close(ch["mean"], p[1], rel=5e-6, abs_=1e-12)
                   for ch, p in zip(channels, printed))


def test_inverse_undoes_a_smooth_lut():
    # A log curve as a 1D table, and a matrix-like grade as a lattice.
    x = np.linspace(0, 1, 1024, dtype=np.float32)
    log = lutwright.Lut.from_arrays(shaper=np.log2(1 + 63 * x) / 6)
    g = np.linspace(0, 1, 17, dtype=np.float32)
    cube = np.stack(np.meshgrid(g, g, g, indexing="ij"), axis=-1)
    matrix = lutwright.Lut.from_arrays(lattice=cube @ np.array([[0.9, 0.05, 0.05], [0.1, 0.8, 0.1], [0.0, 0.1, 0.9]], np.float32).T + 0.02)
    rng = np.random.default_rng(4)
    for lut, margin in ((log, 0.0), (matrix, 0.15)):
        colours = rng.uniform(margin, 1 - margin, (5000, 3)).astype(np.float32)
        inverse = lut.inverse()
        assert np.abs(inverse.apply(lut.apply(colours)) - colours).max() < 1e-4
        assert inverse.inversion["forward"]["largest"] < 1e-4 and not inverse.inversion["warnings"]
    assert log.inverse().steps == ["Curve"] and matrix.inverse().size == 33


def test_what_cannot_be_undone(tmp_path):
    clipped = write_cube(tmp_path / "clip.cube", 9, lambda r, g, b: np.minimum(1, np.stack([r, g, b], -1) * 1.2))
    with pytest.warns(lutwright.LutWarning, match="tetrahedra have no volume"):
        report = lutwright.read(clipped).inverse().inversion
    assert report["flat"] > 0 and report["forward"]["left_out"] > 0
    flat = lutwright.Lut.from_arrays(shaper=np.stack([x := np.linspace(0, 1, 8), np.full(8, 0.5), x], -1))
    with pytest.raises(lutwright.LutError, match="cannot be inverted: G gives 0.5 for every input"):
        flat.inverse()
    with pytest.raises(ValueError, match="size must be 2 to 256"):
        lutwright.read(clipped).inverse(300)
