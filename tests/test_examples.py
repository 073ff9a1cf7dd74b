"""Every script in examples/ runs to its end, in a small size, as a user runs
it: `python examples/NAME.py` in a fresh interpreter. They run from a copy of
the repository's tracked files placed elsewhere, as does a sample of the
tests, with an audit hook that reports every file read or folder listed
outside the copy, the Python installation, the temporary folder and the
user's hidden folders: the repository holds everything its scripts and tests
read. The scripts check
their own answers (against published optima, against each other, against a
local run) and exit non-zero when one is wrong; here we check the exit status
and the lines that report those checks."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[1]
OUTSIDE = "read outside the repository:"

# `python -c GUARD COPY SCRIPT ARGS...` (or `... COPY -m MODULE ARGS...`) runs
# SCRIPT as __main__ under the audit hook.
GUARD = f"""
import os, runpy, sys, sysconfig, tempfile
copy = sys.argv.pop(1)
roots = [copy, tempfile.gettempdir(), sys.prefix, sys.base_prefix, sys.exec_prefix, sys.base_exec_prefix,
         *sysconfig.get_paths().values(), "/usr", "/etc", "/dev", "/proc", "/sys"]
# and the user's hidden folders (configuration, caches, fonts)
roots = (*(os.path.join(os.path.realpath(r), "") for r in roots), os.path.join(os.path.realpath(os.path.expanduser("~")), "."))

report = open(os.dup(2), "w")  # stderr even while pytest captures it

def hook(event, args):
    if event in ("open", "os.listdir", "os.scandir") and isinstance(args[0], (str, bytes, os.PathLike)):
        path = os.path.realpath(os.fsdecode(args[0]))
        if not os.path.join(path, "").startswith(roots):
            print({OUTSIDE!r}, path, file=report, flush=True)

sys.addaudithook(hook)
if sys.argv[1] == "-m":
    module = sys.argv[2]
    del sys.argv[1:3]
    runpy.run_module(module, run_name="__main__", alter_sys=True)
else:
    del sys.argv[0]
    sys.path[0] = os.path.dirname(sys.argv[0])  # as `python SCRIPT` has it
    runpy.run_path(sys.argv[0], run_name="__main__")
"""


@pytest.fixture(scope="module")
def copy(tmp_path_factory):
    """The repository's tracked files copied to a temporary folder (or, outside
    a git checkout, its tree without builds and hidden folders)."""
    dest = tmp_path_factory.mktemp("elsewhere") / "repository"
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True)
    if listed.returncode != 0:
        shutil.copytree(ROOT, dest, ignore=shutil.ignore_patterns(".*", "build*", "__pycache__"))
        return dest
    for name in filter(None, listed.stdout.decode().split("\0")):
        if (ROOT / name).is_file():
            (dest / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(ROOT / name, dest / name)
    return dest


def run(copy, args, cwd, timeout=300):
    """Run `python ARGS` under the audit hook; its output."""
    env = dict(os.environ, MPLCONFIGDIR=str(cwd / "mpl"), MPLBACKEND="Agg")
    proc = subprocess.run([sys.executable, "-c", GUARD, str(copy), *map(str, args)], capture_output=True, text=True,
                          cwd=cwd, env=env, timeout=timeout)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    assert OUTSIDE not in proc.stderr, proc.stderr
    return proc.stdout


@pytest.mark.parametrize("script, args, expected", [
    ("fifteen_puzzle.py", [], [r"#55  optimal 41  found 41 \(41 moves\)", "all 3 solved optimally"]),
    ("word_ladder.py", [], ["5757 words", "chaos -> order: 12 steps", "pound -> marks: - steps"]),
    ("shortest_paths.py", ["--nodes", "60"], [r"erdos_renyi .* agree", r"barabasi_albert .* agree"]),
    ("threads.py", ["--size", "60", "--queries", "16"], [r"16 A\* queries", "answers agree", "speed-up"]),
    ("dask_batch.py", ["--size", "60", "--queries", "16", "--chunk", "4"],
     [r"16 A\* queries in 4 tasks", "answers agree with the local run"]),
])
def test_example_runs_and_checks_its_answers(copy, tmp_path, script, args, expected):
    out = run(copy, [copy / "examples" / script, *args], cwd=tmp_path)
    for pattern in expected:
        assert re.search(pattern, out), (pattern, out)


def test_maze_picture_with_and_without_matplotlib(copy, tmp_path):
    from PIL import Image

    script = copy / "examples" / "maze_picture.py"
    out = run(copy, [script, tmp_path / "pictures"], cwd=tmp_path)
    bfs, astar = (float(re.search(rf"^{name} +cost +(\S+)", out, re.M).group(1)) for name in ("bfs", "astar"))
    assert bfs == astar > 0
    png = tmp_path / "pictures" / "maze_picture.png"
    assert f"picture: {png}" in out
    with Image.open(png) as im:
        assert im.format == "PNG" and im.width > 2 * im.height

    # Without matplotlib the searches still run and the picture is skipped.
    blocked = f"import sys, runpy; sys.modules['matplotlib'] = None; sys.argv = ['', {str(tmp_path / 'none')!r}]; " \
              f"runpy.run_path({str(script)!r}, run_name='__main__')"
    proc = subprocess.run([sys.executable, "-c", blocked], capture_output=True, text=True, cwd=tmp_path, timeout=300)
    assert proc.returncode == 0 and "astar" in proc.stdout and "no picture:" in proc.stdout, proc.stderr
    assert not (tmp_path / "none").exists()


def test_tests_that_read_data_run_from_the_copy(copy, tmp_path):
    sample = ["tests/test_movingai.py::test_the_manual_runs", "tests/test_cli.py::test_maze_reads_ascii_and_moving_ai_files",
              "tests/test_puzzles.py::test_korf_instances_at_their_optimal_length"]
    out = run(copy, ["-m", "pytest", "-q", "-p", "no:cacheprovider", "--basetemp", tmp_path / "basetemp", *sample],
              cwd=copy)
    assert f"{len(sample)} passed" in out, out
