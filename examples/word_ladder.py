"""Word ladders over Knuth's 5,757 five-letter words (Stanford GraphBase):
change one letter at a time, every step a word of the list.

    python examples/word_ladder.py                 # a few known ladders, checked
    python examples/word_ladder.py flour bread     # any two five-letter words

The list is data/words/sgb-words.txt of the repository.
"""

from __future__ import annotations

import sys
from pathlib import Path

from quellostrin import search_wordladder

WORDS = Path(__file__).resolve().parents[1] / "data" / "words" / "sgb-words.txt"

# Shortest ladders in this word list, in steps; None: no ladder at all.
KNOWN = {("chaos", "order"): 12, ("nodes", "graph"): 9, ("words", "graph"): 7, ("tears", "smile"): 6,
         ("pound", "marks"): None}


def one_letter_apart(a: str, b: str) -> bool:
    return len(a) == len(b) and sum(x != y for x, y in zip(a, b)) == 1


def main() -> None:
    words = WORDS.read_text().split()
    vocabulary = set(words)
    print(f"{len(words)} words from {WORDS.name}")
    check = len(sys.argv) != 3  # the known ladders are checked, a pair given here is not
    pairs = KNOWN if check else {(sys.argv[1], sys.argv[2]): None}
    for (start, goal), expected in pairs.items():
        # A* with the Hamming distance (letters still wrong), a lower bound on
        # the steps left since each step changes one letter.
        r = search_wordladder(start, goal, words, algorithm="astar", heuristic="hamming", record=False)
        steps = len(r.path) - 1 if r.path else None
        ladder = " -> ".join(r.path) if r.path else "no ladder"
        print(f"{start} -> {goal}: {steps if steps is not None else '-'} steps: {ladder}")
        if r.path and not (set(r.path) <= vocabulary and all(map(one_letter_apart, r.path, r.path[1:]))):
            raise SystemExit(f"{start} -> {goal}: not a ladder of listed words")
        if check and steps != expected:
            raise SystemExit(f"{start} -> {goal}: expected {expected} steps")


if __name__ == "__main__":
    main()
