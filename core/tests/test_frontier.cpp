#include "quellostrin/search/frontier.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>
#include <string>
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

// A NaN priority is neither less nor greater than anything, so its entry is
// ordered against each other entry by sequence alone.
TEST(PriorityQueue, NaNIsOrderedBySequenceAlone) {
  PriorityQueue<std::string> q;
  q.push("nan-first", kNaN);
  q.push("one", 1.0);
  EXPECT_EQ(drain(q), (std::vector<std::string>{"nan-first", "one"}));

  // y outranks x by priority and comes out first; after that, x and the NaN
  // entry compare by sequence alone, so x (pushed earlier) precedes n.
  q.push("x", 2.0);
  q.push("n", kNaN);
  q.push("y", 1.0);
  EXPECT_EQ(drain(q), (std::vector<std::string>{"y", "x", "n"}));
}

// Random pushes and pops against a vector of everything pushed: the FIFO
// ring through its wraps and growths, the LIFO stack, and the priority queue
// as a stable sort by priority (equal priorities first-in first-out). FIFO
// and LIFO ignore the priorities, NaN included.
TEST(Frontiers, MatchReferenceQueuesOnRandomOperations) {
  using Pushed = std::vector<std::pair<double, int>>;
  auto take = [](Pushed& ref, auto pick) -> std::optional<int> {
    if (ref.empty()) return std::nullopt;
    const auto it = pick(ref);
    const int v = it->second;
    ref.erase(it);
    return v;
  };
  for (std::uint64_t seed = 0; seed < 50; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 rng(seed);
    Fifo<int> fifo;
    Lifo<int> lifo;
    PriorityQueue<int> pq;
    Pushed fifo_ref, lifo_ref, pq_ref;
    for (int op = 0, next = 0; op < 2000; ++op, ++next) {
      const double p = double(rng() % 7);  // many ties
      if (rng() % 3 != 0) {
        fifo.push(next, kNaN);
        lifo.push(next, -p);
        pq.push(next, p);
        for (Pushed* ref : {&fifo_ref, &lifo_ref, &pq_ref}) ref->push_back({p, next});
        continue;
      }
      const std::optional<int> first = take(fifo_ref, [](Pushed& r) { return r.begin(); });
      ASSERT_EQ(fifo.peek() ? std::optional(*fifo.peek()) : std::nullopt, first);
      ASSERT_EQ(fifo.pop(), first);
      ASSERT_EQ(lifo.pop(), take(lifo_ref, [](Pushed& r) { return r.end() - 1; }));
      ASSERT_EQ(pq.pop(), take(pq_ref, [](Pushed& r) { return std::min_element(r.begin(), r.end()); }));
      ASSERT_EQ(pq.len(), pq_ref.size());
    }
  }
}
