#include "quellostrin/state.hpp"

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

TEST(DenseStore, GrowsLazilyToPowersOfTwo) {
  DenseStore<PartialIndex> s(kDomain);
  EXPECT_EQ(s.length(), 0u);
  s.reach(0, nullptr, 0.0);
  EXPECT_EQ(s.length(), 1u);
  s.reach(5, nullptr, 1.0);
  EXPECT_EQ(s.length(), 8u);
  s.reach(7, nullptr, 1.0);
  EXPECT_EQ(s.length(), 8u);
  s.reach(8, nullptr, 1.0);
  EXPECT_EQ(s.length(), 16u);
  EXPECT_EQ(s.status(3).kind, NodeStatus::Unreached);  // inside the arrays, never reached
  EXPECT_EQ(s.reached_count(), 4u);
}

template <class Store>
class StoreTest : public ::testing::Test {};
using StoreTypes = ::testing::Types<DenseStore<PartialIndex>, HashStore<PartialIndex>>;
TYPED_TEST_SUITE(StoreTest, StoreTypes);

TYPED_TEST(StoreTest, ReachCloseAndReopen) {
  TypeParam s(kDomain);
  s.reach(2, nullptr, 0.0);
  EXPECT_EQ(s.status(2).kind, NodeStatus::Open);
  EXPECT_EQ(s.close(2), std::optional<double>(0.0));
  EXPECT_EQ(s.close(2), std::nullopt);  // second close: already expanded
  EXPECT_EQ(s.status(2).kind, NodeStatus::Closed);
  s.reach(2, nullptr, -1.0);  // reaching a closed node reopens it
  EXPECT_EQ(s.status(2).kind, NodeStatus::Open);
  EXPECT_EQ(s.status(2).g, -1.0);
  EXPECT_EQ(s.close(2), std::optional<double>(-1.0));
}

TYPED_TEST(StoreTest, RelaxFollowsTheDriverRules) {
  TypeParam s(kDomain);
  s.reach(0, nullptr, 0.0);
  EXPECT_EQ(s.relax(1, 0, 5.0, false), Relaxed::Discovered);
  EXPECT_EQ(s.relax(1, 0, 5.0, false), Relaxed::Skipped);  // equal cost is not an improvement
  EXPECT_EQ(s.relax(1, 3, 4.0, false), Relaxed::Improved);
  EXPECT_EQ(*s.parent(1), 3);
  s.close(1);
  EXPECT_EQ(s.relax(1, 0, 1.0, false), Relaxed::Skipped);
  EXPECT_EQ(s.relax(1, 0, 1.0, true), Relaxed::Reopened);
  EXPECT_EQ(s.status(1).kind, NodeStatus::Open);
  EXPECT_EQ(s.status(1).g, 1.0);
}

TYPED_TEST(StoreTest, PathToFollowsParents) {
  TypeParam s(kDomain);
  s.reach(0, nullptr, 0.0);
  EXPECT_EQ(path_to(s, std::int64_t{0}), (std::vector<std::int64_t>{0}));
  const std::int64_t zero = 0, one = 1;
  s.reach(1, &zero, 1.0);
  s.reach(2, &one, 2.0);
  EXPECT_EQ(path_to(s, std::int64_t{2}), (std::vector<std::int64_t>{0, 1, 2}));
  EXPECT_EQ(s.parent(0), nullptr);
  EXPECT_EQ(s.parent(50), nullptr);
}

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

TEST(DenseStore, StatusBeyondTheArraysIsUnreached) {
  DenseStore<PartialIndex> s(kDomain);
  s.reach(1, nullptr, 0.0);
  EXPECT_EQ(s.status(60).kind, NodeStatus::Unreached);
  EXPECT_EQ(s.status(-3).kind, NodeStatus::Unreached);  // no index at all
}

TEST(StoreInvariants, ViolationsThrowInvariantError) {
  DenseStore<PartialIndex> dense(kDomain);
  dense.reach(1, nullptr, 0.0);
  EXPECT_THROW(dense.close(60), InvariantError);  // past the arrays: never read out of bounds
  try {
    dense.reach(-1, nullptr, 0.0);
    FAIL();
  } catch (const InvariantError& e) {
    EXPECT_STREQ(e.what(), "the dense backend is only used on a domain that indexes its nodes");
  }
  EXPECT_THROW(dense.close(-1), InvariantError);

  HashStore<PartialIndex> hash(kDomain);
  try {
    hash.close(4);
    FAIL();
  } catch (const InvariantError& e) {
    EXPECT_STREQ(e.what(), "a node on the frontier has always been reached first");
  }
}

TEST(NodeState, DenseOnlyWhenAskedAndTheStartHasAnIndex) {
  EXPECT_TRUE(NodeState<PartialIndex>(kDomain, 3, true).is_dense());
  EXPECT_FALSE(NodeState<PartialIndex>(kDomain, 3, false).is_dense());
  EXPECT_FALSE(NodeState<PartialIndex>(kDomain, -3, true).is_dense());  // start outside: hash
  EXPECT_FALSE(NodeState<PartialIndex>(kDomain, 100, true).is_dense());

  NodeState<PartialIndex> st(kDomain, 0, true);
  st.reach(0, nullptr, 0.0);
  const std::int64_t zero = 0;
  st.reach(4, &zero, 2.5);
  EXPECT_EQ(st.path_to(4), (std::vector<std::int64_t>{0, 4}));
  EXPECT_EQ(tree_edges(st, {0, 4, 9}), (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 4}}));
  EXPECT_EQ(st.close(4), std::optional<double>(2.5));
}
