"""Applying: integer pixels exactly as `lutwright-cli apply` grades an image; floats, alpha,
shapes and refusals."""
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import lutwright
from conftest import CORPUS, read_png, run_cli, write_png


def pixels(dtype, channels, seed=5):
    """Random pixels with the extremes of the type among them."""
    top = np.iinfo(dtype).max
    rng = np.random.default_rng(seed)
    p = rng.integers(0, top, size=(48, 64, channels), endpoint=True).astype(dtype)
    p[0, :4, :3] = [[0, 0, 0], [top, top, top], [top, 0, 0], [0, top // 2, top]]
    return p


LUTS = {
    "lattice": lambda tmp: tmp["grade"],
    "1D table": lambda tmp: tmp["gamma"],
    "shaper and lattice": lambda tmp: CORPUS / "resolve_1d3d.cube",
    "chain": lambda tmp: CORPUS / "clf" / "multiple_ops.clf",
}


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16])
@pytest.mark.parametrize("channels", [3, 4])
@pytest.mark.parametrize("kind", LUTS)
def test_integers_as_the_command_line_grades_an_image(tmp_path, graded_cube, gamma_spi1d, kind, dtype, channels):
    lut_path = LUTS[kind]({"grade": graded_cube, "gamma": gamma_spi1d})
    image = pixels(dtype, channels)
    write_png(tmp_path / "in.png", image)
    run_cli("apply", lut_path, tmp_path / "in.png", "-o", tmp_path / "out.png")
    graded = lutwright.read(lut_path).apply(image)
    assert graded.dtype == image.dtype and graded.shape == image.shape
    assert np.array_equal(graded, read_png(tmp_path / "out.png"))
    assert not np.array_equal(graded[..., :3], image[..., :3])


def test_floats_alpha_and_shapes(graded_cube):
    lut = lutwright.read(graded_cube)
    rng = np.random.default_rng(1)
    rgba = rng.random((2, 3, 50, 4), dtype=np.float32)
    out = lut.apply(rgba)
    assert out.dtype == np.float32 and out.shape == rgba.shape
    assert np.array_equal(out[..., 3], rgba[..., 3])
    assert np.array_equal(out[..., :3], lut.apply(rgba[..., :3]))
    # Doubles are worked as floats; any layout; one thread as many.
    assert np.array_equal(lut.apply(rgba.astype(np.float64)), out.astype(np.float64))
    assert np.array_equal(lut.apply(rgba[:, :, ::2]), out[:, :, ::2])
    assert np.array_equal(lut.apply(rgba, threads=1), out)
    assert lut.apply([0.5, 0.5, 0.5]).shape == (3,)
    # The input is left alone, and Python threads may apply at once.
    assert not np.array_equal(out, rgba)
    with ThreadPoolExecutor(4) as pool:
        assert all(np.array_equal(o, out) for o in pool.map(lambda _: lut.apply(rgba), range(8)))


def test_identity_leaves_floats_and_chains_work():
    g = np.linspace(0, 1, 5, dtype=np.float32)
    identity = lutwright.Lut.from_arrays(lattice=np.stack(np.meshgrid(g, g, g, indexing="ij"), axis=-1))
    x = np.random.default_rng(2).random((1000, 3), dtype=np.float32)
    assert np.allclose(identity.apply(x), x, atol=1e-6)
    chain = lutwright.read(CORPUS / "clf" / "multiple_ops.clf")
    assert chain.lattice is None and chain.apply(x).shape == x.shape


@pytest.mark.parametrize("array, error", [
    (np.zeros((4, 2), np.float32), ValueError),
    (np.zeros((4, 3), np.int32), TypeError),
    (np.zeros((4, 3), np.float16), TypeError),
])
def test_refusals(graded_cube, array, error):
    with pytest.raises(error):
        lutwright.read(graded_cube).apply(array)
    with pytest.raises(ValueError, match="threads must be 1 to 1024"):
        lutwright.read(graded_cube).apply(np.zeros((1, 3), np.float32), threads=0)
