// Jump Point Search on a GridGraph whose open cells all cost the same: A*
// over jump points only, with the moves of the grid (no corner cutting;
// 8-neighbour moves with diagonals, 4-neighbour moves otherwise).
//
// From an expanded cell the search runs straight or diagonal lines ("jumps")
// in the directions that an optimal path through it may take next, given the
// direction it came from, and stops each at the first cell where an optimal
// path may turn (a jump point), at the goal, or at a wall. Every cell between
// two jump points is passed over unexpanded; a jump costs its number of
// steps times the move's cost. The rules, for a cell x reached moving in
// direction d (the start takes every direction):
// - 8 neighbours, d straight: on along d; and for each side s of the line,
//   when the cell beside x on that side is open and the one beside the cell
//   behind x is a wall, the straight move to s and the diagonal between s and
//   d. A straight jump stops at such an x. With no corner cutting a diagonal
//   step has no such "forced" turns: d diagonal continues along d and along
//   its two straight parts, and a diagonal jump stops at a cell from which a
//   straight jump along either part finds a jump point;
// - 4 neighbours, d horizontal: on along d, up and down; d vertical: on along
//   d, left and right. A horizontal jump stops where a forced turn appears as
//   above; a vertical one there too, and where a horizontal jump either way
//   finds a jump point.
// Two ways to jump, with the same results. A grid that has its jump
// distances (GridGraph::jump_distances: for each cell and direction, where a
// jump from it ends, ignoring the goal) reads every jump there, the goal's
// row and column tested apart, so a jump costs the same at any length. They
// take 32 bytes a cell and a pass over the grid to make (5 ms on a 512x512
// map), which pays off over many queries: a prepared Grid makes them on its
// first jps query. Without them (a grid built for one search) a straight
// jump scans the open cells as bits (GridGraph::bits, made in one cheap pass),
// 64 cells a word: the first cell of the word that is a wall, or beside which
// a wall ends, ends the jump; a diagonal jump steps cell by cell, scanning
// both straight lines from each.
//
// The loop is the best-first loop of the other grid searches
// (search/indexed_search.hpp) with jump points for nodes, so node limits,
// stop hooks, memory caps and recording work as there: the counters, the
// trace and the tree hold jump points (the start and goal included), the
// path every cell from start to goal, and the cost is the goal's label, the
// sum of the jumps' costs.
#pragma once

#include "quellostrin/domains/grid.hpp"
#include "quellostrin/domains/grid_search.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/search.hpp"

namespace quellostrin {

inline constexpr const char* kJpsGridsOnly =
    "'jps' (Jump Point Search) runs on grids only: search_grid, search_grid_costs, Grid.search and Grid.search_many";
inline constexpr const char* kJpsBuiltinHeuristic =
    "'jps' takes a built-in heuristic (zero, manhattan, euclidean, octile), not a callable";

// InputError unless Jump Point Search can run on `grid` between `start` and
// `goal`: open cells that all cost the same, start and goal in bounds, and
// a grid small enough for the indexed search.
void check_jps(const GridGraph& grid, Cell start, Cell goal);

// A* by Jump Point Search from `start` to `goal` under `heuristic` (its
// consistent choice: octile with diagonal moves, manhattan without), after
// check_jps. `options.reopen` and `options.dense` do not apply.
template <class H>
  requires is_grid_heuristic<H>
SearchResult<Cell> jps_search(const GridGraph& grid, Cell start, Cell goal, const H& heuristic,
                              const SearchOptions& options);

extern template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Zero&, const SearchOptions&);
extern template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Manhattan&, const SearchOptions&);
extern template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Euclidean&, const SearchOptions&);
extern template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Octile&, const SearchOptions&);

}  // namespace quellostrin
