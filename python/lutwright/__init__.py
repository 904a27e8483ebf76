"""Colour look-up tables (LUTs): read, write, convert, apply, compare and invert them.

The engine is the command line's (``lutwright-cli``), so every number equals its own.
See ``help(lutwright.Lut)`` and the functions' docstrings.
"""
import os as _os

from . import _lutwright
from ._lutwright import Lut, LutError, LutWarning, compare, convert, formats, read, __version__

__all__ = ["Lut", "LutError", "LutWarning", "compare", "convert", "formats", "read", "__version__"]

# LUTs kept in images need the command line's image module, kept beside the extension.
_lutwright._set_image_module(
    _os.path.join(_os.path.dirname(__file__), "lutwright-images" + (".dll" if _os.name == "nt" else ".so")))
Lut.__module__ = __name__
