// IDA* with PuzzleManhattan on an NPuzzle, specialised: the same search as
// `ida_star` (strategies/ida_star.hpp) over the same domain and heuristic,
// with the same result to the last field, about twelve times faster on the
// 15-puzzle.
//
// What the general strategy does per node (copy the board for each
// successor, recompute the Manhattan sum, keep a hash set of the path), this
// one does on a single board edited in place: the blank's cell is tracked,
// its moves come from precomputed lists (up, down, left, right, the domain's
// order), the distance changes by two table lookups per move, and a child
// beyond the bound is counted and dropped before the board is touched.
//
// Rules kept from the general strategy, on which the counters depend:
// - the successor that undoes the last move is the parent, which is on the
//   path: skipped, not counted (the move lists leave it out). Every other
//   successor is tested against the whole path (a board can come back after
//   twelve or more moves): an incrementally updated 64-bit hash filters, and
//   a hash that matches is confirmed by rebuilding the ancestor's board, so
//   the test is exact;
// - bounds, pruning (f > bound), the goal test, the stop gate, the trace and
//   the counters follow the general strategy step for step.
//
// `npuzzle_ida_applies` says when this path may replace the general one: a
// heuristic of the puzzle's own side, and start and goal permutations of
// 0..n-1 of the board's size. For anything else the general strategy runs.
//
// The same loop runs over pattern databases (npuzzle_pdb.hpp) in place of the
// Manhattan distance: a slide changes the lookup of the one group the moved
// tile belongs to (and of its reflection's), updated in place with the board
// and taken back with it. Only the estimates differ.
#pragma once

#include "quellostrin/domains/npuzzle.hpp"
#include "quellostrin/domains/npuzzle_pdb.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/small_bytes.hpp"

namespace quellostrin {

bool npuzzle_ida_applies(const NPuzzle& puzzle, const PuzzleManhattan& heuristic, const SmallBytes& start,
                         const SmallBytes& goal);

// IDA* from `start` to `goal`, which `npuzzle_ida_applies` must accept; the
// result equals ida_star(puzzle, PuzzleManhattan{puzzle.side}, start, goal,
// record, limits) in every field but the elapsed time.
SearchResult<SmallBytes> npuzzle_ida_star(const NPuzzle& puzzle, const SmallBytes& start, const SmallBytes& goal,
                                          bool record, const Limits& limits = {});

// The same over pattern databases: when they were built for this side and
// goal, and both boards are permutations of the puzzle's cells.
bool npuzzle_ida_applies(const NPuzzle& puzzle, const PuzzlePdb& heuristic, const SmallBytes& start,
                         const SmallBytes& goal);

// Equals ida_star(puzzle, heuristic, start, goal, record, limits) in every
// field but the elapsed time; `npuzzle_ida_applies` must accept it.
SearchResult<SmallBytes> npuzzle_ida_star(const NPuzzle& puzzle, const PuzzlePdb& heuristic, const SmallBytes& start,
                                          const SmallBytes& goal, bool record, const Limits& limits = {});

}  // namespace quellostrin
