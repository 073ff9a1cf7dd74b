// IDA*'s bound rule for NaN estimates, which the random graphs of
// test_strategies.cpp do not reach.
#include "quellostrin/search/strategies/ida_star.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"
#include "quellostrin/domains/csr.hpp"

using namespace quellostrin;

// A NaN f is never pruned, and the f pruned two frames down (at 2, below the
// NaN node 1) becomes the next bound.
TEST(IdaStar, NaNEstimatesAreNeverPruned) {
  auto g = directed(3, {{0, 1, 5.0}, {1, 2, 5.0}});
  oracle::CountingHeuristic h{[](std::uint64_t n) { return n == 1 ? kNaN : 0.0; }};
  auto r = ida_star(g, h, 0, 2, true);
  EXPECT_EQ(r.path, (Path{0, 1, 2}));
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}, {1, 5.0, 1}, {0, 0.0, 0}, {1, 5.0, 1}, {2, 10.0, 2}}));
  EXPECT_EQ(h.calls, 1u + 3 + 3);  // the first bound, then one per node visited in each pass
}
