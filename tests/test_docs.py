"""The README runs: its examples as doctests, its command lines in a shell;
and so do the examples of the docstrings."""

import doctest
import os
import pathlib
import re
import subprocess
import sys

import pytest

README = pathlib.Path(__file__).resolve().parents[1] / "README.md"
SH_BLOCKS = re.findall(r"```sh\n(.*?)```", README.read_text(), re.S)
# The command lines of the package itself (set-up and test commands are what
# CI runs anyway).
COMMANDS = [line.split("  #")[0] for block in SH_BLOCKS for line in block.splitlines()
            if re.match(r"(quellostrin |printf .* && quellostrin )", line)]


def test_readme_examples(tmp_path, monkeypatch):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    monkeypatch.chdir(tmp_path)  # the pictures are written here
    result = doctest.testfile(str(README), module_relative=False,
                              optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
    assert result.failed == 0 and result.attempted > 40
    assert {p.name for p in tmp_path.iterdir()} >= {"maze.png", "search.gif", "search.html"}


@pytest.mark.parametrize("command", COMMANDS)
def test_readme_command_lines(command, tmp_path):
    if "--plot" in command:
        pytest.importorskip("matplotlib")
    # The console script lives beside this Python.
    env = dict(os.environ, PATH=f"{pathlib.Path(sys.executable).parent}{os.pathsep}{os.environ['PATH']}",
               MPLBACKEND="Agg")
    done = subprocess.run(["bash", "-c", command], cwd=tmp_path, env=env, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0 and "Traceback" not in done.stderr, (done.stdout, done.stderr)
    assert done.stdout.strip()
    for option, name in re.findall(r"--(plot|animate) (\S+)", command):  # the pictures are written
        with pytest.importorskip("PIL.Image").open(tmp_path / name) as im:
            assert im.format == ("PNG" if option == "plot" else "GIF") and im.n_frames >= (option == "animate") + 1


def test_docstring_examples():
    # The examples that help() shows run as written.
    from quellostrin import quellostrin_native
    result = doctest.testmod(quellostrin_native, optionflags=doctest.ELLIPSIS)
    assert result.failed == 0 and result.attempted >= 10
