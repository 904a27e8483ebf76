"""Reading: every corpus file gives the numbers of `lutwright-cli info --json`, failures the same
reason; Luts built from arrays."""
import warnings
from pathlib import Path

import numpy as np
import pytest

import lutwright
from conftest import CORPUS, cli_json, close, run_cli

FILES = sorted(p for d in (CORPUS, CORPUS / "clf") if d.is_dir() for p in d.iterdir()
               if p.is_file() and p.name not in ("LICENSE", "README", "README.md"))


@pytest.fixture(scope="module")
def info():
    _, entries, _ = cli_json("info", "--json", *FILES)
    return {e["path"]: e for e in entries}


def test_corpus_is_there():
    assert len(FILES) >= 20, f"no corpus at {CORPUS}"


def ranges(values):
    """Each channel's smallest and largest number, NaN where a channel has none (as info's null)."""
    flat = np.asarray(values, dtype=np.float64).reshape(-1, 3)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        return np.nanmin(flat, axis=0), np.nanmax(flat, axis=0)


@pytest.mark.parametrize("path", FILES, ids=lambda p: p.relative_to(CORPUS).as_posix())
def test_corpus_file_reads_as_info_says(path, info):
    expected = info[str(path)]
    if "error" in expected:
        with pytest.raises(lutwright.LutError) as caught:
            lutwright.read(path)
        assert caught.value.reason == expected["error"]
        assert caught.value.path == str(path)
        return
    lut = lutwright.read(path)
    assert lut.format == expected["formatName"]
    assert lut.dimension == expected["dimension"]
    assert lut.steps == expected["steps"]
    assert lut.metadata == [(m["key"], m["text"]) for m in expected["metadata"]]
    for got, want in zip(lut.domain.ravel(), expected["domainMin"] + expected["domainMax"]):
        assert close(float(got), want)
    # info names each kind of table once: a chain's last table of a kind.
    last = {t["kind"]: t for t in lut.tables}
    assert set(last) == {k for k in ("1D", "3D") if k in expected}
    for kind, t in last.items():
        want = expected[kind]
        assert t["size"] == want["size"]
        assert np.allclose(t["domain"].ravel(), want["domainMin"] + want["domainMax"], rtol=2e-6, atol=1e-6)
        lo, hi = ranges(t["values"])
        for got, exp in zip(list(lo) + list(hi), want["rangeMin"] + want["rangeMax"]):
            assert close(got, exp, rel=0, abs_=5.1e-7)
    tables = lut.dimension != "chain" and lut.steps[0] in ("1D", "3D", "1D and 3D")
    assert (lut.lattice is not None) == (tables and "3D" in lut.dimension)
    assert (lut.shaper is not None) == (tables and "1D" in lut.dimension)
    if lut.lattice is not None:
        assert np.array_equal(lut.lattice, last["3D"]["values"])


@pytest.mark.parametrize("text, line", [
    ("LUT_3D_SIZE x\n", 1),
    ("LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 x\n", 4),
    ("LUT_3D_SIZE 2\n0 0 0\n", 2),
    ("", None),
])
def test_failures_carry_reason_and_line(tmp_path, text, line):
    path = tmp_path / "bad.cube"
    path.write_text(text)
    _, entries, _ = cli_json("info", "--json", path)
    with pytest.raises(lutwright.LutError) as caught:
        lutwright.read(path)
    e = caught.value
    assert e.reason == entries[0]["error"]
    assert e.line == line and e.path == str(path)
    assert str(e) == f"{path}: {e.reason}"


def test_missing_file_and_unknown_format(tmp_path):
    with pytest.raises(lutwright.LutError, match="no such file"):
        lutwright.read(tmp_path / "none.cube")
    with pytest.raises(ValueError, match="unknown format 'nope'"):
        lutwright.read(CORPUS / "iridas_3d.cube", format="nope")


def test_format_and_orders_as_the_command_line_takes_them(tmp_path):
    path = CORPUS / "lut3d_bizarre.spi3d"
    _, entries, _ = cli_json("info", "--json", "--in-format", "13", "--in-table", "bgr", path)
    lut = lutwright.read(path, format=13, in_table="bgr")
    assert lut.format == entries[0]["formatName"]
    want = entries[0]["3D"]
    lo, hi = ranges(lut.lattice)
    assert np.allclose(list(lo) + list(hi), want["rangeMin"] + want["rangeMax"], atol=5.1e-7)
    assert not np.array_equal(lut.lattice, lutwright.read(path).lattice)
    with pytest.raises(ValueError, match="in_data must be 'rgb' or 'bgr'"):
        lutwright.read(path, in_data="grb")


def test_from_arrays_round_trip(tmp_path):
    rng = np.random.default_rng(3)
    lattice = rng.random((5, 5, 5, 3), dtype=np.float32) * 1.5 - 0.25
    shaper = np.linspace(0, 1, 64, dtype=np.float32) ** 0.5
    lut = lutwright.Lut.from_arrays(lattice=lattice, shaper=shaper, domain=[-0.5, 4], metadata=[("TITLE", "made")])
    assert lut.dimension == "1D and 3D" and lut.size == 5 and lut.format is None and lut.path is None
    assert np.array_equal(lut.lattice, lattice) and np.array_equal(lut.shaper, np.repeat(shaper[:, None], 3, 1))
    assert lut.shaper_domain.tolist() == [[-0.5] * 3, [4.0] * 3] and lut.lattice_domain.tolist() == [[0] * 3, [1] * 3]
    assert not lut.lattice.flags.writeable
    lut.write(tmp_path / "both.cube")
    back = lutwright.read(tmp_path / "both.cube")
    assert np.allclose(back.lattice, lattice, atol=1e-6) and np.allclose(back.shaper, lut.shaper, atol=1e-6)
    # A shaper and a lattice are written in Resolve's form, which has no TITLE: the title is a comment.
    assert np.allclose(back.domain, lut.domain) and "# made" in (tmp_path / "both.cube").read_text()
    with pytest.raises(TypeError, match="metadata must be a list of"):
        lutwright.Lut.from_arrays(shaper=shaper, metadata=[("TITLE",)])


@pytest.mark.parametrize("kwargs, error", [
    ({}, "needs a lattice, a shaper or both"),
    ({"lattice": np.zeros((2, 3, 2, 3))}, r"lattice must have the shape \(n, n, n, 3\)"),
    ({"lattice": np.zeros((257, 1, 1, 3))}, r"lattice must have the shape"),
    ({"shaper": np.zeros((4, 2))}, r"shaper must have the shape \(n, 3\) or \(n,\)"),
    ({"shaper": np.zeros(4), "domain": [1, 0]}, "domain must rise from min to max"),
    ({"shaper": np.zeros(4), "domain": [0, 1, 2]}, r"domain must be \[min, max\]"),
    ({"lattice": np.zeros((2, 2, 2, 3)), "lattice_domain": [0, 2]}, "lattice_domain is the domain of a lattice behind a shaper"),
])
def test_from_arrays_refuses(kwargs, error):
    with pytest.raises(ValueError, match=error):
        lutwright.Lut.from_arrays(**kwargs)


def test_formats_are_the_registry():
    _, out, _ = run_cli("formats")
    lines = out.splitlines()
    rows = [line.split()[0] for line in lines[1:lines.index("")]]
    formats = lutwright.formats()
    assert [f["name"] if f["id"] is None else str(f["id"]) for f in formats] == rows
    cube = next(f for f in formats if f["name"] == "cube")
    assert cube == {"name": "cube", "id": 0, "label": ".cube", "extensions": ["cube"], "dimension": "3D", "read": True, "write": True}


def test_type_stubs_name_everything():
    import ast
    stub = ast.parse((Path(lutwright.__file__).parent / "__init__.pyi").read_text())
    names = {n.name for n in stub.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    lut_stub = next(n for n in stub.body if isinstance(n, ast.ClassDef) and n.name == "Lut")
    members = {n.name for n in lut_stub.body if isinstance(n, ast.FunctionDef)}
    assert {n for n in lutwright.__all__ if not n.startswith("__")} <= names
    assert {n for n in dir(lutwright.Lut) if not n.startswith("_")} == members
