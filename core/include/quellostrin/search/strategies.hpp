// Every search strategy of the core in one include: the frontier driver
// (breadth-first, depth-first, uniform-cost, Dijkstra, greedy, A*, weighted A*)
// and the path-at-a-time and layered strategies (depth-limited, iterative
// deepening, IDA*, beam, bidirectional).
#pragma once

#include "quellostrin/search/search.hpp"
#include "quellostrin/search/strategies/beam.hpp"
#include "quellostrin/search/strategies/bidirectional.hpp"
#include "quellostrin/search/strategies/dls.hpp"
#include "quellostrin/search/strategies/ida_star.hpp"
