"""Shared fixtures: the built command line to compare with, sample LUTs, and PNG files."""
import json
import math
import os
import struct
import subprocess
import zlib
from pathlib import Path

import numpy as np
import pytest

import lutwright

CLI = os.environ.get("LUTWRIGHT_CLI", "lutwright-cli")
CORPUS = Path(os.environ.get("LUTWRIGHT_CORPUS", Path(__file__).resolve().parents[2] / "tests" / "data" / "corpus"))


def run_cli(*args, check=True):
    """lutwright-cli with these arguments: (exit status, stdout, stderr)."""
    p = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, encoding="utf-8")
    if check and p.returncode != 0:
        raise AssertionError(f"lutwright-cli {' '.join(map(str, args))} failed ({p.returncode}): {p.stderr}")
    return p.returncode, p.stdout, p.stderr


def cli_json(*args):
    status, out, err = run_cli(*args, check=False)
    return status, json.loads(out), err


def close(a, b, rel=2e-6, abs_=1e-6):
    """Numbers as JSON prints them (6 significant digits or 6 decimals, null for NaN)."""
    if b is None:
        return a is None or not math.isfinite(a)
    return math.isclose(a, b, rel_tol=rel, abs_tol=abs_)


def write_cube(path, n, f):
    """A .cube of the n-point lattice f makes (r, g, b arrays in, an (..., 3) array out)."""
    g = np.linspace(0, 1, n, dtype=np.float32)
    r, gg, b = np.meshgrid(g, g, g, indexing="ij")
    lattice = np.asarray(f(r, gg, b), dtype=np.float32)
    lutwright.Lut.from_arrays(lattice=lattice).write(path)
    return path


def grade(r, g, b):
    """A smooth grade with crosstalk, within 0 to 1."""
    return np.stack([0.9 * r ** 1.2 + 0.1 * g, 0.8 * g + 0.15 * b * r + 0.05, 0.7 * b ** 0.8 + 0.2 * g * g], axis=-1)


@pytest.fixture(scope="session")
def graded_cube(tmp_path_factory):
    return write_cube(tmp_path_factory.mktemp("luts") / "grade.cube", 17, grade)


@pytest.fixture(scope="session")
def gamma_spi1d(tmp_path_factory):
    x = np.linspace(0, 1, 4096, dtype=np.float32)
    path = tmp_path_factory.mktemp("luts") / "gamma.spi1d"
    lutwright.Lut.from_arrays(shaper=np.stack([x ** 2.2, x ** 2.0, x ** 1.8], axis=-1)).write(path)
    return path


# ---- PNG files, 8 or 16 bits, RGB or RGBA --------------------------------------------------

def write_png(path, pixels):
    h, w, channels = pixels.shape
    bits = pixels.dtype.itemsize * 8
    colour = {3: 2, 4: 6}[channels]
    rows = pixels.astype(">u2" if bits == 16 else "u1").reshape(h, -1).tobytes()
    stride = w * channels * bits // 8
    raw = b"".join(b"\0" + rows[y * stride:(y + 1) * stride] for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    ihdr = struct.pack(">IIBBBBB", w, h, bits, colour, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def read_png(path):
    data = Path(path).read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    w, h, bits, colour, _, _, interlace = header
    assert interlace == 0 and colour in (2, 6)
    channels = 3 if colour == 2 else 4
    bpp = channels * bits // 8
    stride = w * bpp
    raw = zlib.decompress(idat)
    out = bytearray(h * stride)
    previous = bytearray(stride)
    for y in range(h):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out[y * stride:(y + 1) * stride] = line
        previous = line
    dtype = ">u2" if bits == 16 else "u1"
    return np.frombuffer(bytes(out), dtype=dtype).reshape(h, w, channels).astype(np.uint16 if bits == 16 else np.uint8)
