"""What the benchmark scripts share."""

from __future__ import annotations

import importlib
import sys
from pathlib import Path
from typing import Any

INSTALL_HINT = 'pip install ".[bench]"'

# The repository's data/: the Moving AI maps, Knuth's words, Korf's instances.
DATA = Path(__file__).resolve().parent.parent / "data"


def import_or_exit(script: str, wanted: list[str]) -> dict[str, Any]:
    """Import every module of `wanted`, or exit naming the install command."""
    mods: dict[str, Any] = {}
    missing: list[str] = []
    for name in wanted:
        try:
            mods[name] = importlib.import_module(name)
        except ImportError as exc:
            missing.append(f"{name} ({exc})")
    if missing:
        sys.stderr.write(
            f"{script}: missing module(s): "
            + ", ".join(missing)
            + f"\nInstall the package with its benchmark peers from the repository root:\n    {INSTALL_HINT}\n"
        )
        sys.exit(2)
    return mods


def fmt_time(x: float) -> str:
    """Seconds in the unit that suits them, in a fixed width."""
    if x >= 1.0:
        return f"{x:9.3f} s "
    if x >= 1e-3:
        return f"{x * 1e3:9.3f} ms"
    return f"{x * 1e6:9.1f} us"


def fmt_vs(r: float) -> str:
    """peer time / our time as words."""
    if abs(r - 1.0) < 0.02:
        return "about as fast as ours"
    if r >= 1.0:
        return f"{r:.3g}x slower than ours" if r < 1e4 else f"{r:.0f}x slower than ours"
    return f"{1 / r:.3g}x faster than ours"
