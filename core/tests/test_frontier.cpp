#include "quellostrin/frontier.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace quellostrin;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <class F>
std::vector<std::string> drain(F& f) {
  std::vector<std::string> out;
  while (auto n = f.pop()) out.push_back(*n);
  return out;
}
}  // namespace

TEST(PriorityQueue, LowerPriorityFirstAndEqualPrioritiesInPushOrder) {
  PriorityQueue<std::string> q;
  q.push("a", 1.0);
  q.push("b", 1.0);
  q.push("c", 0.5);
  EXPECT_EQ(drain(q), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(PriorityQueue, NaNIsOrderedBySequenceAlone) {
  PriorityQueue<std::string> q;
  q.push("nan-first", kNaN);
  q.push("one", 1.0);
  EXPECT_EQ(drain(q), (std::vector<std::string>{"nan-first", "one"}));

  q.push("one", 1.0);
  q.push("nan-second", kNaN);
  EXPECT_EQ(drain(q), (std::vector<std::string>{"one", "nan-second"}));

  // y outranks x by priority and comes out first; after that, x and the NaN
  // entry compare by sequence alone, so x (pushed earlier) precedes n.
  q.push("x", 2.0);
  q.push("n", kNaN);
  q.push("y", 1.0);
  EXPECT_EQ(drain(q), (std::vector<std::string>{"y", "x", "n"}));
}

// Without NaN, popping must give exactly a stable sort by priority.
TEST(PriorityQueue, MatchesStableSortOnRandomPriorities) {
  for (std::uint64_t seed = 0; seed < 50; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 rng(seed);
    PriorityQueue<int> q;
    std::vector<std::pair<double, int>> ref;
    std::vector<int> got;
    int next = 0;
    for (int op = 0; op < 500; ++op) {
      if (rng() % 3 == 0) {
        auto n = q.pop();
        if (ref.empty()) {
          EXPECT_FALSE(n.has_value());
          continue;
        }
        auto best = std::min_element(ref.begin(), ref.end(),
                                     [](auto& a, auto& b) { return std::tie(a.first, a.second) < std::tie(b.first, b.second); });
        ASSERT_TRUE(n.has_value());
        EXPECT_EQ(*n, best->second);
        ref.erase(best);
      } else {
        double p = double(rng() % 7);  // many ties
        q.push(next, p);
        ref.push_back({p, next++});
      }
      ASSERT_EQ(q.len(), ref.size());
    }
  }
}

TEST(Frontiers, FifoAndLifoIgnorePriorities) {
  Fifo<std::string> fifo;
  Lifo<std::string> lifo;
  const std::vector<std::pair<std::string, double>> pushes{{"a", 3.0}, {"b", -1.0}, {"c", kNaN}, {"d", 0.0}};
  for (auto& [n, p] : pushes) {
    fifo.push(n, p);
    lifo.push(n, p);
  }
  EXPECT_EQ(drain(fifo), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(drain(lifo), (std::vector<std::string>{"d", "c", "b", "a"}));
}

TEST(Frontiers, FifoKeepsOrderAcrossRingWrapAndGrowth) {
  Fifo<int> fifo;
  int in = 0, out = 0;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 7 + round; ++i) fifo.push(in++, 0.0);
    for (int i = 0; i < 5 + round; ++i) ASSERT_EQ(*fifo.pop(), out++);
  }
  while (auto n = fifo.pop()) ASSERT_EQ(*n, out++);
  EXPECT_EQ(in, out);
}

TEST(Frontiers, EmptyPopAndDuplicatesCountSeparately) {
  Fifo<int> fifo;
  Lifo<int> lifo;
  PriorityQueue<int> pq;
  EXPECT_FALSE(fifo.pop());
  EXPECT_FALSE(lifo.pop());
  EXPECT_FALSE(pq.pop());
  for (int i = 0; i < 3; ++i) {
    fifo.push(7, 1.0);
    lifo.push(7, 1.0);
    pq.push(7, 1.0);
  }
  EXPECT_EQ(fifo.len(), 3u);
  EXPECT_EQ(lifo.len(), 3u);
  EXPECT_EQ(pq.len(), 3u);
}

static_assert(Frontier<Fifo<int>, int>);
static_assert(Frontier<Lifo<int>, int>);
static_assert(Frontier<PriorityQueue<int>, int>);
