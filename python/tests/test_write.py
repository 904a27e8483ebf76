"""Writing and converting: the same files, warnings and refusals as `lutwright-cli convert`."""
import warnings

import numpy as np
import pytest

import lutwright
from conftest import CORPUS, run_cli

WRITABLE = [f["name"] for f in lutwright.formats() if f["write"]]


def convert_both(tmp_path, src, name, py_options, cli_options):
    """The file convert writes from Python and from the command line, and the warnings of each."""
    (tmp_path / "py").mkdir()
    (tmp_path / "cli").mkdir()
    py_out, cli_out = tmp_path / "py" / name, tmp_path / "cli" / name
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        lutwright.convert(src, py_out, **py_options)
    _, _, err = run_cli("convert", src, "-o", cli_out, *cli_options)
    py_warnings = [str(w.message).replace(str(py_out) + ": ", "") for w in caught if issubclass(w.category, lutwright.LutWarning)]
    cli_warnings = [line.replace(str(cli_out) + ": warning: ", "") for line in err.splitlines()]
    return py_out.read_bytes(), cli_out.read_bytes(), py_warnings, cli_warnings


# Formats that hold one kind of transform only, which a lattice is not.
HOLDS_ONE_KIND = {"cc", "ccc", "cdl", "spimtx"}


@pytest.mark.parametrize("name", WRITABLE)
def test_every_writer_writes_what_the_command_line_writes(tmp_path, graded_cube, name):
    ext = next(f for f in lutwright.formats() if f["name"] == name)["extensions"][0]
    if name in HOLDS_ONE_KIND:
        with pytest.raises(lutwright.LutError, match="not written: .* files hold") as refused:
            lutwright.convert(graded_cube, tmp_path / ("out." + ext), to=name)
        code, _, err = run_cli("convert", graded_cube, "-o", tmp_path / ("cli." + ext), "--to", name, check=False)
        assert code == 1 and str(refused.value).split(": ", 1)[1] in err
        return
    py, cli, py_w, cli_w = convert_both(tmp_path, graded_cube, "out." + ext, {"to": name}, ["--to", name])
    assert py == cli and py
    assert py_w == cli_w


@pytest.mark.parametrize("src, name, py_options, cli_options", [
    ("grade", "out.cube", {"size": np.int64(9)}, ["--size", "9"]),
    ("grade", "out.3dl", {"bits": 10}, ["--bits", "10"]),
    ("grade", "out.3dl", {"headerless": True, "size": 9}, ["--headerless", "--size", "9"]),
    ("grade", "out.spi1d", {"length": 256}, ["--length", "256"]),
    ("grade", "out.csv", {"scale": 4095}, ["--scale", "4095"]),
    ("grade", "out.cube", {"out_data": "bgr", "out_table": "bgr"}, ["--out-data", "bgr", "--out-table", "bgr"]),
    ("bizarre", "out.cube", {"in_format": "spi3d", "in_table": "bgr"}, ["--in-format", "spi3d", "--in-table", "bgr"]),
    ("iridas", "out.3dl", {}, []),
    ("iridas", "out_hald.png", {"bits": 16}, ["--bits", "16"]),
])
def test_options_as_the_command_line_takes_them(tmp_path, graded_cube, src, name, py_options, cli_options):
    path = {"grade": graded_cube, "bizarre": CORPUS / "lut3d_bizarre.spi3d", "iridas": CORPUS / "iridas_3d.cube"}[src]
    py, cli, py_w, cli_w = convert_both(tmp_path, path, name, py_options, cli_options)
    assert py == cli
    assert py_w == cli_w


def test_lut_write_is_convert(tmp_path):
    lut = lutwright.read(CORPUS / "iridas_3d.cube")
    with pytest.warns(lutwright.LutWarning, match="is reduced to 0 to 1; values outside 0 to 1 are clipped"):
        lut.write(tmp_path / "a.3dl", bits=16)
    with pytest.warns(lutwright.LutWarning):
        lutwright.convert(CORPUS / "iridas_3d.cube", tmp_path / "b.3dl", bits=16)
    assert (tmp_path / "a.3dl").read_bytes() == (tmp_path / "b.3dl").read_bytes()


def test_strict_refuses_as_the_command_line_does(tmp_path):
    src = CORPUS / "iridas_3d.cube"
    status, _, err = run_cli("convert", src, "-o", tmp_path / "c.3dl", "--strict", check=False)
    assert status == 1
    with pytest.raises(lutwright.LutError) as caught:
        lutwright.convert(src, tmp_path / "p.3dl", strict=True)
    assert caught.value.reason == "not written (strict=True): " + err.split("not written (--strict): ", 1)[1].strip()
    assert not (tmp_path / "p.3dl").exists()


@pytest.mark.parametrize("options, error", [
    ({"size": 20, "to": "3dl"}, "size 20 does not fit .3dl"),
    ({"size": 1}, "size must be 2 to 256, not 1"),
    ({"length": 64, "to": "cube"}, "length sets the entries of a 1D table; .cube holds a 3D lattice"),
    ({"size": 33, "to": "spi1d"}, "size sets the points of a 3D lattice"),
    ({"to": "lut1d", "length": 100}, "always holds 256 entries"),
    ({"to": "nope"}, "unknown format 'nope' for to"),
    ({"bits": 20}, "bits must be 8 to 16"),
    ({"out_table": "xyz"}, "out_table must be 'rgb' or 'bgr'"),
])
def test_wrong_options_are_value_errors(tmp_path, graded_cube, options, error):
    with pytest.raises(ValueError, match=error):
        lutwright.convert(graded_cube, tmp_path / "out.cube", **options)


def test_output_format_from_the_name(tmp_path, graded_cube):
    with pytest.raises(ValueError, match="cannot tell the output format from"):
        lutwright.convert(graded_cube, tmp_path / "out.xyz")
    with pytest.raises(lutwright.LutError, match="no such file"):
        lutwright.convert(tmp_path / "none.cube", tmp_path / "out.cube")
