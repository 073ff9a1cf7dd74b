"""Every script in examples/ runs to its end, in a small size, as a user runs
it: `python examples/NAME.py` in a fresh interpreter. The scripts check their
own answers (against published optima, against each other, against a local
run) and exit non-zero when one is wrong; here we check the exit status and
the lines that report those checks."""

import pathlib
import re
import subprocess
import sys

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
DATA = EXAMPLES.parent.parent / "shared" / "data"
needs_data = pytest.mark.skipif(not DATA.is_dir(), reason=f"no shared data at {DATA}")


def run(args, cwd, timeout=300):
    proc = subprocess.run([sys.executable, *map(str, args)], capture_output=True, text=True, cwd=cwd,
                          timeout=timeout)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    return proc.stdout


@pytest.mark.parametrize("script, args, expected", [
    pytest.param("fifteen_puzzle.py", [], [r"#55  optimal 41  found 41 \(41 moves\)", "all 3 solved optimally"],
                 marks=needs_data),
    pytest.param("word_ladder.py", [], ["5757 words", "chaos -> order: 12 steps", "pound -> marks: - steps"],
                 marks=needs_data),
    ("shortest_paths.py", ["--nodes", "60"], [r"erdos_renyi .* agree", r"barabasi_albert .* agree"]),
    ("threads.py", ["--size", "60", "--queries", "16"], [r"16 A\* queries", "answers agree", "speed-up"]),
    ("dask_batch.py", ["--size", "60", "--queries", "16", "--chunk", "4"],
     [r"16 A\* queries in 4 tasks", "answers agree with the local run"]),
])
def test_example_runs_and_checks_its_answers(tmp_path, script, args, expected):
    if script == "dask_batch.py":
        pytest.importorskip("distributed")
    out = run([EXAMPLES / script, *args], cwd=tmp_path)
    for pattern in expected:
        assert re.search(pattern, out), (pattern, out)


def test_maze_picture_with_and_without_matplotlib(tmp_path):
    pytest.importorskip("matplotlib")
    from PIL import Image

    out = run([EXAMPLES / "maze_picture.py", tmp_path / "pictures"], cwd=tmp_path)
    bfs, astar = (float(re.search(rf"^{name} +cost +(\S+)", out, re.M).group(1)) for name in ("bfs", "astar"))
    assert bfs == astar > 0
    png = tmp_path / "pictures" / "maze_picture.png"
    assert f"picture: {png}" in out
    with Image.open(png) as im:
        assert im.format == "PNG" and im.width > 2 * im.height

    # Without matplotlib the searches still run and the picture is skipped.
    blocked = f"import sys, runpy; sys.modules['matplotlib'] = None; sys.argv = ['', {str(tmp_path / 'none')!r}]; " \
              f"runpy.run_path({str(EXAMPLES / 'maze_picture.py')!r}, run_name='__main__')"
    out = run(["-c", blocked], cwd=tmp_path)
    assert "astar" in out and "no picture:" in out and not (tmp_path / "none").exists()
