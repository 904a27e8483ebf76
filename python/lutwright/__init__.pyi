"""Colour look-up tables (LUTs): read, write, convert, apply, compare and invert them."""
import os
from typing import Any, Dict, List, Optional, Sequence, Tuple, TypeVar, Union

import numpy as np
import numpy.typing as npt

__version__: str

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
FormatName = Union[str, int]
Order = str  # "rgb" or "bgr"
ArrayLike = npt.ArrayLike
_Pixels = TypeVar("_Pixels", npt.NDArray[np.float32], npt.NDArray[np.float64], npt.NDArray[np.uint8], npt.NDArray[np.uint16])


class LutError(Exception):
    """A LUT file cannot be read, written or worked with."""
    reason: Optional[str]
    """What went wrong, with its line number where the reader knows one."""
    path: Optional[str]
    """The file concerned, or None."""
    line: Optional[int]
    """The line number the reason names, or None."""


class LutWarning(UserWarning):
    """What a conversion changes in what a LUT does, or what an inverse cannot undo."""


class Lut:
    """What a LUT file does: a 1D shaper then a lattice over their domains, or a chain of steps."""

    @staticmethod
    def from_arrays(lattice: Optional[ArrayLike] = None, shaper: Optional[ArrayLike] = None,
                    domain: Optional[ArrayLike] = None, *, lattice_domain: Optional[ArrayLike] = None,
                    metadata: Optional[Sequence[Tuple[str, str]]] = None) -> "Lut":
        """A Lut of a lattice (n, n, n, 3) [r][g][b][channel], a shaper (n, 3) or (n,), or both.

        domain: the input domain [min, max], a number or three each (default 0 to 1).
        lattice_domain: the lattice's domain behind a shaper (default 0 to 1).
        """
    @property
    def format(self) -> Optional[str]:
        """The registry name of the format read ("cube", "clf"), None for a Lut made here."""
    @property
    def path(self) -> Optional[str]:
        """The file read, or None."""
    @property
    def dimension(self) -> str:
        """"1D", "3D", "1D and 3D" (a shaper, then a lattice) or "chain"."""
    @property
    def size(self) -> int:
        """Lattice points per axis (the largest in a chain), or a 1D table's entries."""
    @property
    def domain(self) -> npt.NDArray[np.float32]:
        """The input domain, (2, 3): [min, max] per channel."""
    @property
    def shaper(self) -> Optional[npt.NDArray[np.float32]]:
        """The 1D table, (n, 3), read-only; None when there is none."""
    @property
    def shaper_domain(self) -> Optional[npt.NDArray[np.float32]]:
        """The 1D table's domain, (2, 3)."""
    @property
    def lattice(self) -> Optional[npt.NDArray[np.float32]]:
        """The lattice, (n, n, n, 3) indexed [r][g][b][channel] (blue fastest), read-only."""
    @property
    def lattice_domain(self) -> Optional[npt.NDArray[np.float32]]:
        """The lattice's domain, (2, 3)."""
    @property
    def tables(self) -> List[Dict[str, Any]]:
        """Every table in the order they apply (kind, size, domain, values), chains' included."""
    @property
    def steps(self) -> List[str]:
        """The steps in order: "1D", "3D", "1D and 3D" for tables, a node's kind otherwise."""
    @property
    def metadata(self) -> List[Tuple[str, str]]:
        """What the file says of itself, (key, text) pairs in file order."""
    @property
    def inversion(self) -> Optional[Dict[str, Any]]:
        """For a Lut made by inverse(): how closely it undoes its source (size, nodes, outside, several,
        tetrahedra, flat, folded, stretches, forward, backward, warnings)."""

    def apply(self, pixels: _Pixels, *, threads: Optional[int] = None) -> _Pixels:
        """The pixels (..., 3) or (..., 4) through the LUT, as a new array of the same type;
        integers as ``lutwright-cli apply`` takes them; alpha kept; the GIL released."""
    def write(self, path: PathLike, format: Optional[FormatName] = None, *, size: Optional[int] = None,
              length: Optional[int] = None, scale: Optional[int] = None, bits: Optional[int] = None,
              headerless: bool = False, strict: bool = False, out_data: Optional[Order] = None,
              out_table: Optional[Order] = None) -> None:
        """Write the LUT as ``lutwright-cli convert`` does; losses as LutWarning, or LutError when strict."""
    def inverse(self, size: Optional[int] = None) -> "Lut":
        """The LUT that undoes this one (a lattice of size points, default its own, at least 33)."""


def read(path: PathLike, format: Optional[FormatName] = None, *, in_data: Optional[Order] = None,
         in_table: Optional[Order] = None) -> Lut:
    """Read a LUT file as what it does; LutError with the reader's reason and line."""

def convert(src: PathLike, dst: PathLike, *, to: Optional[FormatName] = None,
            in_format: Optional[FormatName] = None, in_data: Optional[Order] = None,
            in_table: Optional[Order] = None, out_data: Optional[Order] = None,
            out_table: Optional[Order] = None, size: Optional[int] = None, length: Optional[int] = None,
            scale: Optional[int] = None, bits: Optional[int] = None, headerless: bool = False,
            strict: bool = False) -> None:
    """``lutwright-cli convert src -o dst`` with the same options (_ for -)."""

def compare(a: Union[Lut, PathLike], b: Union[Lut, PathLike], size: Optional[int] = None, *,
            tolerance: float = 0.0) -> Dict[str, Any]:
    """The numbers of ``lutwright-cli compare --json`` as a dict."""

def formats() -> List[Dict[str, Any]]:
    """The format registry: name, id, label, extensions, dimension, read, write."""
