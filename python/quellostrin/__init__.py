"""State-space search and shortest paths with a C++20 core."""

__version__ = "0.1.0"

from . import quellostrin_native
from .quellostrin_native import *  # noqa: F401,F403
from .quellostrin_native import InternalError

__all__ = [*quellostrin_native.__all__, "InternalError"]
