#include "quellostrin/search/frontier.hpp"
#include "quellostrin/search/monotone_queue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>
#include <random>
#include <set>
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

// The indexed loops' queue against an ordered set of the same entries: it
// must pop exactly the least (priority, push sequence) entry every time,
// whatever the bucket width, with ties, priorities that drop below the
// current bucket, jumps past the ring into the overflow, +inf, priorities
// too far out to be bucketed, and a queue reused without being drained.
TEST(MonotoneQueue, PopsInTheHeapsOrderOnRandomOperations) {
  using detail::MonotoneQueue;
  using detail::PackedEntry;
  MonotoneQueue q;
  for (std::uint64_t seed = 0; seed < 400; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    const double widths[] = {0.0, 1e-3, 0.25, 1.0, 7.5, 1e6};
    const double width = widths[seed % 6];
    const double origin = seed % 4 == 0 ? 0.0 : uniform(-50.0, 50.0);
    MemoryAccount account;
    q.begin(account, origin, width);
    std::set<PackedEntry> ref;
    double last = origin;  // the priority popped last
    std::uint64_t seq = 0;
    const int ops = 200 + static_cast<int>(rng() % 3000);
    for (int op = 0; op < ops; ++op) {
      if (rng() % 5 < 3 || ref.empty()) {
        double p = 0.0;
        switch (rng() % 10) {
          case 0: p = last; break;                                       // a tie with the current
          case 1: p = last - uniform(0.0, 20.0); break;                  // a drop
          case 2: p = last + uniform(0.0, 1e4); break;                   // past the ring
          case 3: p = rng() % 2 ? std::numeric_limits<double>::infinity() : 1e300; break;
          case 4: p = std::floor(last + uniform(0.0, 10.0)); break;      // quantised: more ties
          default: p = last + uniform(0.0, 10.0); break;
        }
        const PackedEntry e = detail::packed_entry(p, seq, static_cast<std::uint32_t>(rng()));
        ++seq;
        q.push(e, p);
        ref.insert(e);
      } else {
        ASSERT_EQ(q.top(), *ref.begin());
        ASSERT_EQ(q.pop(), *ref.begin());
        const auto key = static_cast<std::uint64_t>(*ref.begin() >> 64);
        ref.erase(ref.begin());
        // The popped priority back from its order key (non-negative keys
        // have the top bit set).
        const std::uint64_t bits = key >> 63 ? key ^ (std::uint64_t{1} << 63) : ~key;
        last = std::bit_cast<double>(bits);
        if (!std::isfinite(last)) last = origin;
      }
      ASSERT_EQ(q.size(), ref.size());
    }
    if (seed % 3 == 0) continue;  // begun again with entries left over
    while (!ref.empty()) {
      ASSERT_EQ(q.pop(), *ref.begin());
      ref.erase(ref.begin());
    }
    ASSERT_TRUE(q.empty());
  }
}

// A* crossing an open room pushes at the priority it pops, for thousands of
// expansions: those pushes join the current bucket's sorted run, which is
// read from the front and now and then compacted. Pops stay in (priority,
// push sequence) order, a lower priority pushed meanwhile (through the
// heap) first.
// What a queue holds between searches counts every entry it had room for,
// wherever it kept them: a pool that keeps workspaces up to a size reads it.
TEST(MonotoneQueue, HeldBytesCoverItsLargestSearch) {
  using detail::packed_entry;
  detail::MonotoneQueue q;
  q.begin(0.0, 1.0);
  const std::uint64_t empty = q.held_bytes();
  constexpr std::uint32_t kPushes = 100000;
  for (std::uint32_t i = 0; i < kPushes; ++i) {
    const double p = static_cast<double>(i % 1000) * 0.7;  // the current bucket, the ring and beyond
    q.push(packed_entry(p, i, i), p);
  }
  while (!q.empty()) q.pop();
  q.begin(0.0, 1.0);
  EXPECT_GE(q.held_bytes(), empty + std::uint64_t{kPushes} * sizeof(detail::PackedEntry) / 2);
}

TEST(MonotoneQueue, LongRunOfTiesPopsInPushOrder) {
  using detail::packed_entry;
  detail::MonotoneQueue q;
  q.begin(0.0, 1.0);
  std::deque<detail::PackedEntry> waiting;  // the pushes at 5.0, in order
  std::uint32_t seq = 0;
  auto tie = [&] {
    waiting.push_back(packed_entry(5.0, seq++, 0));
    q.push(waiting.back(), 5.0);
  };
  for (int i = 0; i < 3000; ++i) tie();
  for (int step = 0; step < 20000; ++step) {
    tie();
    if (step % 997 == 0) {
      const auto lower = packed_entry(4.5, seq++, 1);
      q.push(lower, 4.5);
      ASSERT_EQ(q.pop(), lower);
    }
    ASSERT_EQ(q.pop(), waiting.front());
    waiting.pop_front();
  }
  while (!waiting.empty()) {
    ASSERT_EQ(q.pop(), waiting.front());
    waiting.pop_front();
  }
  ASSERT_TRUE(q.empty());
}
