"""The benchmark suite's cross-checks: every script's answers against the
peers' (networkx, scipy, rustworkx, igraph, pyastar2d, pathfinding) at its
smoke-test size, nothing timed. A regression that changes an answer shows up
here even though the timings never run in the tests."""

import importlib.util
import pathlib
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent
PEERS = ["networkx", "scipy", "rustworkx", "igraph", "pyastar2d", "pathfinding", "numpy"]


def test_every_benchmark_agrees_with_its_peers():
    missing = [m for m in PEERS if importlib.util.find_spec(m) is None]
    if missing:
        pytest.skip(f"benchmark peers not installed ({', '.join(missing)}): pip install '.[bench]'")
    run = subprocess.run([sys.executable, "-m", "benchmarks", "--check"], cwd=ROOT, capture_output=True, text=True,
                         timeout=900)
    assert run.returncode == 0, run.stdout[-3000:] + run.stderr[-3000:]
    assert "all answers agree" in run.stdout
