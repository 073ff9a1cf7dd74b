"""The command line, run in-process through cli.main and once as a real
`python -m quellostrin` process."""

import re
import subprocess
import sys

import pytest

from conftest import ALGORITHMS, data_file
from quellostrin import cli, movingai, random_maze_ascii, sample_maze, search_grid

STATS = re.compile(r"found: (yes|no)  cost: (\S+)  expanded: (\d+)  generated: (\d+)  peak frontier: (\d+)  time: .+  stop: (\w+)")


def run(capsys, *argv):
    status = cli.main(list(argv))
    out, err = capsys.readouterr()
    return status, out, err


def stats(out):
    m = STATS.search(out)
    assert m, out
    return m


def table_rows(out):
    lines = out.strip().splitlines()
    assert set(lines[1]) <= {"-", " "}
    return {line.split()[0]: line.split()[1:] for line in lines[2:]}


def test_compare_as_a_process_lists_every_algorithm_without_a_progress_bar():
    p = subprocess.run([sys.executable, "-m", "quellostrin", "compare", "--sample", "wall"], capture_output=True, text=True, timeout=120)
    assert p.returncode == 0, p.stderr
    assert p.stderr == ""  # piped: no progress bar
    rows = table_rows(p.stdout)
    assert list(rows) == ALGORITHMS
    optimal = search_grid(sample_maze("wall")).cost
    for name in ("bfs", "ucs", "dijkstra", "astar", "bidirectional", "iddfs", "ida_star"):
        assert float(rows[name][0]) == optimal, name


def test_compare_bounds_the_deepening_searches_and_shows_a_bar_on_a_terminal(capsys, monkeypatch):
    monkeypatch.setattr(sys.stderr, "isatty", lambda: True)
    status, out, err = run(capsys, "compare", "--random", "60", "40", "0.1", "3", "--max-nodes", "20000")
    assert status == 0 and "compare" in err
    rows = table_rows(out)
    assert list(rows) == ALGORITHMS
    assert all(int(row[1]) <= 20000 for row in rows.values())  # row: cost, expanded, ...
    assert any(row[-1] == "node_limit" for row in rows.values())


MAZES = {
    "wall": ["--sample", "wall"],
    "open-diagonal": ["--sample", "open", "--diagonal"],
    "random-greedy": ["--random", "40", "15", "0.25", "9", "-a", "greedy", "--diagonal"],
    "random-bfs": ["--random", "40", "15", "0.25", "14", "-a", "bfs"],
    "random-unreachable": ["--random", "40", "15", "0.25", "11"],
}


@pytest.mark.parametrize("argv", MAZES.values(), ids=MAZES)
def test_maze_overlays_the_path(capsys, argv):
    text = sample_maze(argv[1]) if argv[0] == "--sample" else random_maze_ascii(*map(int, argv[1:3]), float(argv[3]), int(argv[4]))
    algorithm = argv[argv.index("-a") + 1] if "-a" in argv else "astar"
    diagonal = "--diagonal" in argv
    r = search_grid(text, algorithm=algorithm, diagonal=diagonal, heuristic="octile" if diagonal else None)
    status, out, _ = run(capsys, "maze", *argv)
    assert status == (0 if r.found else 1)
    drawn = out.splitlines()[: len(text.splitlines())]
    assert drawn[0].count("S") == 1 and sum(row.count("G") for row in drawn) == 1
    path = set(r.path or [])
    for i, (row, original) in enumerate(zip(drawn, text.splitlines())):
        for j, ch in enumerate(row):
            assert ch == ("*" if (i, j) in path and original[j] not in "SG" else original[j]), (i, j)
    assert sum(row.count("*") for row in drawn) == max(len(r.path or []) - 2, 0)
    if r.found:
        assert float(stats(out).group(2)) == pytest.approx(r.cost, rel=1e-9)


def test_maze_reads_ascii_and_moving_ai_files(capsys, tmp_path):
    f = tmp_path / "maze.txt"
    f.write_text(sample_maze("wall").replace("\n", "\r\n") + "\r\n")
    status, out, _ = run(capsys, "maze", str(f), "-a", "ucs")
    assert status == 0 and float(stats(out).group(2)) == search_grid(sample_maze("wall")).cost
    s = movingai.read_scenarios(data_file("movingai", "random-32-32-20-random-1.scen"))[0]
    cells = [str(i) for i in (*s.start, *s.goal)]
    status, out, _ = run(capsys, "maze", str(data_file("movingai", s.map)), "--diagonal", "--start", *cells[:2], "--goal", *cells[2:])
    assert status == 0 and float(stats(out).group(2)) == pytest.approx(s.optimal_length, abs=1e-6)
    assert out.splitlines()[s.start[0]][s.start[1]] == "S" and out.splitlines()[s.goal[0]][s.goal[1]] == "G"


@pytest.mark.parametrize(
    "argv, cost, steps",
    [
        # The hardest 8-puzzle start needs 31 moves; one board per line.
        (["npuzzle", "8", "6", "7", "2", "5", "4", "3", "0", "1"], 31, 32),
        (["npuzzle", "1", "2", "3", "4", "5", "6", "0", "7", "8", "-a", "bfs"], 2, 3),
        # Over the 8-puzzle's exact database, and to another goal.
        (["npuzzle", "8", "6", "7", "2", "5", "4", "3", "0", "1", "--pdb"], 31, 32),
        (["npuzzle", "1", "2", "3", "4", "5", "6", "7", "8", "0", "--goal", "1", "2", "3", "4", "5", "6", "7", "0", "8",
          "--pdb", "whole", "-a", "astar"], 1, 2),
        # 2^n - 1 moves with three pegs, the Frame-Stewart numbers with four.
        (["hanoi", "5"], 31, 31),
        (["hanoi", "4", "--pegs", "4", "-a", "ucs"], 9, 9),
    ],
)
def test_puzzles_print_optimal_solutions(capsys, argv, cost, steps):
    status, out, _ = run(capsys, *argv)
    assert status == 0 and float(stats(out).group(2)) == cost
    assert len(out.splitlines()) == steps + 1


@pytest.mark.parametrize("start, goal, steps", [("chaos", "order", 12), ("nodes", "graph", 9), ("pound", "marks", None)])
def test_ladder_against_the_published_lengths(capsys, start, goal, steps):
    status, out, _ = run(capsys, "ladder", start, goal, "--words", str(data_file("words", "sgb-words.txt")))
    if steps is None:
        assert status == 1 and stats(out).group(1) == "no"
        return
    ladder = out.splitlines()[0].split(" -> ")
    assert status == 0 and float(stats(out).group(2)) == steps == len(ladder) - 1
    assert ladder[0] == start and ladder[-1] == goal
    assert all(sum(a != b for a, b in zip(x, y)) == 1 for x, y in zip(ladder, ladder[1:]))


@pytest.mark.parametrize("argv, note", [
    (["hanoi", "12", "-a", "bfs"], "cap of 10,000,000"),  # the default cap, not reached
    (["hanoi", "12", "-a", "bfs", "--max-nodes", "40"], "cap of 40 expanded nodes; raise it with --max-nodes N"),
    (["maze", "--sample", "wall", "--max-nodes", "0"], "cap"),  # 0: no cap
    (["npuzzle", "8", "6", "7", "2", "5", "4", "3", "0", "1", "-a", "bfs", "--time-limit", "0"],
     "time limit of 0 s; raise it with --time-limit SECONDS"),
])
def test_caps_stop_a_search_and_say_how_to_raise_them(capsys, argv, note):
    status, out, err = run(capsys, *argv)
    stop = stats(out).group(6)
    if stop in ("node_limit", "time_limit"):
        assert status == 1 and note in err
    else:
        assert status == 0 and stop == "goal" and note not in err


@pytest.mark.parametrize("argv, message", [
    (["--max-nodes", "-1"], "argument --max-nodes: must be at least 0: -1"),
    (["--time-limit", "nan"], "argument --time-limit: not a number of seconds: nan"),
])
def test_caps_refuse_what_is_not_a_cap(capsys, argv, message):
    with pytest.raises(SystemExit) as info:
        cli.main(["hanoi", "3", *argv])
    assert info.value.code == 2 and message in capsys.readouterr().err


def write(d, name, content):
    (d / name).write_bytes(content)
    return str(d / name)


MOVINGAI_NO_ENDS = b"type octile\nheight 2\nwidth 2\nmap\n..\n@.\n"  # a Moving AI map has no S or G
ERRORS = {
    "missing file": (lambda d: ["maze", str(d / "nope.txt")], "No such file"),
    "bad map": (lambda d: ["maze", write(d, "bad.txt", b"...\n.#.\n")], "'S'"),
    "binary file": (lambda d: ["maze", write(d, "b.bin", b"S\xff\xfeG")], "not a UTF-8 text file"),
    "unknown algorithm": (lambda d: ["maze", "--sample", "open", "-a", "nope"], "unknown algorithm"),
    "unknown heuristic": (lambda d: ["maze", "--sample", "open", "--heuristic", "nope"], "unknown heuristic"),
    "bad random": (lambda d: ["maze", "--random", "5", "x", "0.1", "1"], "--random"),
    "no map": (lambda d: ["compare"], "give a map"),
    "moving ai without start": (lambda d: ["maze", write(d, "m.map", MOVINGAI_NO_ENDS)], "--start"),
    "moving ai start on a wall": (lambda d: ["maze", write(d, "m.map", MOVINGAI_NO_ENDS), "--start", "1", "0", "--goal", "0", "0"], "non-wall"),
    "unsolvable puzzle": (lambda d: ["npuzzle", "2", "1", "3", "4", "5", "6", "7", "8", "0"], "not solvable"),
    "no disks": (lambda d: ["hanoi", "0"], "disks"),
    "dls without limit": (lambda d: ["hanoi", "3", "-a", "dls"], "depth_limit"),
    "missing word list": (lambda d: ["ladder", "cold", "warm", "--words", str(d / "none")], "No such file"),
}


@pytest.mark.parametrize("make, needle", ERRORS.values(), ids=ERRORS)
def test_errors_are_one_line_and_status_2(capsys, tmp_path, make, needle):
    status, out, err = run(capsys, *make(tmp_path))
    assert status == 2 and out == ""
    assert err.count("\n") == 1 and err.startswith("quellostrin: error: ") and "Traceback" not in err
    if needle:
        assert needle in err


def test_drawing_without_matplotlib_is_one_line(capsys, monkeypatch):
    def missing(name, package=None):
        raise ModuleNotFoundError("No module named 'matplotlib'", name="matplotlib")

    monkeypatch.setattr(cli.importlib, "import_module", missing)
    status, _, err = run(capsys, "maze", "--sample", "wall", "--plot", "x.png")
    assert status == 2 and err == "quellostrin: error: --plot and --animate need matplotlib: pip install quellostrin[viz]\n"
