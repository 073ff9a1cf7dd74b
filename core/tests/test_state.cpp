#include "quellostrin/search/state.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

using namespace quellostrin;

namespace {

// A domain whose nodes 0..limit-1 have an index and the others do not, like a
// grid for cells outside its bounds.
struct PartialIndex {
  using Node = std::int64_t;
  std::int64_t limit = 100;
  void neighbors_into(Node, SuccessorList<Node>&) const {}
  std::optional<std::uint64_t> node_index(Node n) const {
    if (n < 0 || n >= limit) return std::nullopt;
    return static_cast<std::uint64_t>(n);
  }
};

const PartialIndex kDomain{};

}  // namespace

// How a successor's offered cost changes a store is pinned through the
// driver (test_search.cpp) and the dense store against the hash store on
// random graphs (test_strategies.cpp); here, what the driver never provokes.
template <class Store>
class StoreTest : public ::testing::Test {};
using StoreTypes = ::testing::Types<DenseStore<PartialIndex>, HashStore<PartialIndex>>;
TYPED_TEST_SUITE(StoreTest, StoreTypes);

// A negative cycle with reopening can make the parent links loop; the walk
// must still end.
TYPED_TEST(StoreTest, PathToStopsOnAParentLoop) {
  TypeParam s(kDomain);
  const std::int64_t a = 1, b = 2;
  s.reach(a, &b, 0.0);
  s.reach(b, &a, 0.0);
  auto path = path_to(s, a);
  EXPECT_LE(path.size(), s.reached_count() + 1);
  EXPECT_EQ(path.back(), a);
}

TEST(StoreInvariants, ViolationsThrowInvariantError) {
  DenseStore<PartialIndex> dense(kDomain);
  dense.reach(1, nullptr, 0.0);
  EXPECT_EQ(dense.status(60).kind, NodeStatus::Unreached);
  EXPECT_THROW(dense.close(60), InvariantError);  // past the arrays: never read out of bounds
  EXPECT_THROW(dense.reach(-1, nullptr, 0.0), InvariantError);
  EXPECT_THROW(dense.close(-1), InvariantError);
  HashStore<PartialIndex> hash(kDomain);
  EXPECT_THROW(hash.close(4), InvariantError);
}

TEST(NodeState, DenseOnlyWhenAskedAndTheStartHasAnIndex) {
  EXPECT_TRUE(NodeState<PartialIndex>(kDomain, 3, true).is_dense());
  EXPECT_FALSE(NodeState<PartialIndex>(kDomain, 3, false).is_dense());
  EXPECT_FALSE(NodeState<PartialIndex>(kDomain, -3, true).is_dense());  // start outside: hash
  EXPECT_FALSE(NodeState<PartialIndex>(kDomain, 100, true).is_dense());
}
