// The priority-queue frontier algorithms (uniform-cost, Dijkstra, greedy,
// A*, weighted A*) on a GridGraph under one of its own heuristics (Zero,
// Manhattan, Euclidean, Octile), specialised: the same search as
// `search_with_options` (search/search.hpp) with the same result to the last field,
// several times faster.
//
// Both run the one best-first loop (search/best_first.hpp); what differs is
// its parts. Through the domain's interface a search copies a successor list
// out per expansion into a node store keyed by Cell and a heap of Cells; this
// one works on the grid's own layout: a cell is its index into the padded
// wall array, whose border of walls lets every neighbour be read without a
// bounds test; the per-cell marks, cost labels and parents sit in a
// Workspace (search/workspace.hpp) over that array, the caller's when the
// options lend one, so that a query costs nothing for the cells it never
// reaches; the frontier is the 4-ary heap of 16-byte entries of
// search/packed_heap.hpp, in the same (priority, push sequence) order
// (search/indexed_search.hpp).
//
// `grid_search_applies` says when this path may replace the general one: a
// priority-queue algorithm without reopening, start and goal in bounds, a
// grid small enough for 32-bit indices, and weights and costs for which no
// priority can be NaN (no cost label can overflow to infinity, which greedy's
// 0 * g would turn into NaN). For anything else the hashed or dense node store
// runs.
#pragma once

#include <type_traits>

#include "quellostrin/domains/grid.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/search.hpp"

namespace quellostrin {

template <class H>
inline constexpr bool is_grid_heuristic = std::is_same_v<H, Zero> || std::is_same_v<H, Manhattan> ||
                                          std::is_same_v<H, Euclidean> || std::is_same_v<H, Octile>;

bool grid_search_applies(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind,
                         const SearchOptions& options);

// The search `kind` from `start` to `goal`, which `grid_search_applies` must
// accept; the result equals search_with_options(grid, start, goal, kind,
// heuristic, options) in every field but the elapsed time.
template <class H>
  requires is_grid_heuristic<H>
SearchResult<Cell> grid_search(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind,
                               const H& heuristic, const SearchOptions& options);

extern template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Zero&,
                                               const SearchOptions&);
extern template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Manhattan&,
                                               const SearchOptions&);
extern template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Euclidean&,
                                               const SearchOptions&);
extern template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Octile&,
                                               const SearchOptions&);

}  // namespace quellostrin
