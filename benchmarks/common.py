"""What the benchmark scripts share."""

from __future__ import annotations

import importlib
import sys
from typing import Any

INSTALL_HINT = 'pip install ".[bench]"'


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
