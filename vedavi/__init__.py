"""vedavi: the md dialect, its canonical HTML form VEDAVI, and conversions between them.

The work is done by the native extension ``vedavi._native``; import what you need from it.
"""

from vedavi._native import __version__

__all__ = ["__version__"]
