"""The seeded generators and mazes: messages, and Erdős–Rényi graphs and mazes
against a pure-Python ChaCha8 and draw order (the other models are held edge
for edge to plain ones in test_graphs.cpp, and share Erdős–Rényi's output)."""

import itertools

import pytest

from conftest import raises

from quellostrin import gen_barabasi_albert, gen_erdos_renyi, gen_watts_strogatz, random_maze_ascii, sample_maze

M32, M64 = 2**32 - 1, 2**64 - 1


def quarter_round(w, a, b, c, d):
    for x, y, z, r in ((a, b, d, 16), (c, d, b, 12), (a, b, d, 8), (c, d, b, 7)):
        w[x] = (w[x] + w[y]) & M32
        w[z] ^= w[x]
        w[z] = ((w[z] << r) | (w[z] >> (32 - r))) & M32


def chacha8_words(seed):
    """The keystream words of the seeded ChaCha8 source, written from its definition."""
    s, key = seed, []
    for _ in range(8):
        s = (s * 6364136223846793005 + 11634580027462260723) & M64
        x, r = (((s >> 18) ^ s) >> 27) & M32, s >> 59
        key.append(((x >> r) | (x << (32 - r))) & M32)
    for counter in itertools.count():
        block = [0x61707865, 0x3320646E, 0x79622D32, 0x6B206574, *key, counter & M32, counter >> 32, 0, 0]
        w = block[:]
        for _ in range(4):
            for a, b, c, d in ((0, 4, 8, 12), (1, 5, 9, 13), (2, 6, 10, 14), (3, 7, 11, 15),
                               (0, 5, 10, 15), (1, 6, 11, 12), (2, 7, 8, 13), (3, 4, 9, 14)):
                quarter_round(w, a, b, c, d)
        yield from ((x + y) & M32 for x, y in zip(w, block))


def uniform_doubles(seed):
    words = chacha8_words(seed)
    while True:
        lo, hi = next(words), next(words)
        yield ((hi << 32 | lo) >> 11) * 2.0**-53


@pytest.mark.parametrize("n, p, seed", [(1, 0.5, 0), (12, 0.3, 1), (30, 0.1, 2**64 - 1), (25, 1.0, 7), (20, -1.0, 3)])
def test_erdos_renyi_draws_in_pair_order(n, p, seed):
    doubles = uniform_doubles(seed)
    expected = [(u, v, 1.0) for u in range(n) for v in range(u + 1, n) if next(doubles) < p]
    assert gen_erdos_renyi(n, p, seed) == expected


@pytest.mark.parametrize("call, exc, message", [
    (lambda: sample_maze("Open"), ValueError, "unknown sample maze: 'Open'. Available: open, wall"),
    *[(lambda k=k: gen_watts_strogatz(10, k, 0.1, 1), ValueError, "k must be even and < n") for k in (3, 10, 11, 12)],
    *[(lambda m=m: gen_barabasi_albert(3, m, 1), ValueError, "need n > m >= 1") for m in (0, 3)],
    (lambda: random_maze_ascii(65536, 32768, 0.1, 1), ValueError,
     "grid too large: 65536\u00d732768 = 2147483648 cells (max 2147483647)"),
    (lambda: random_maze_ascii(0, 3, 0.1, 1), ValueError, "grid must be non-empty"),
    (lambda: random_maze_ascii(5, -2**31, 0.1, 1), ValueError, "grid must be non-empty"),
    (lambda: random_maze_ascii(2**31 - 1, 2**31 - 1, 0.1, 1), ValueError,
     "grid too large: 2147483647\u00d72147483647 = 4611686014132420609 cells (max 2147483647)"),
    (lambda: random_maze_ascii(2**31, 3, 0.1, 1), OverflowError, "argument 'width': "),
    (lambda: gen_erdos_renyi(2**40, 0.0, 0), MemoryError, ""),
])
def test_messages(call, exc, message):
    raises(exc, message, call)


def test_random_mazes_draw_once_per_cell_in_row_major_order_but_the_start_and_goal():
    for w, h, density, seed in [(13, 7, 0.25, 5), (1, 2, 0.5, 0), (30, 4, 0.6, 2**64 - 1), (9, 5, 0.0, 3),
                                (31, 17, 1.0, 4), (2, 17, 0.8, 8)]:
        doubles = uniform_doubles(seed)
        rows = ["".join("S" if (r, c) == (0, 0) else "G" if (r, c) == (h - 1, w - 1)
                        else "#" if next(doubles) < density else "." for c in range(w)) for r in range(h)]
        assert random_maze_ascii(w, h, density, seed) == "\n".join(rows)
