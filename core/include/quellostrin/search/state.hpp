// Per-node bookkeeping of one frontier search: best-known cost from the
// start, best-known parent, and whether the node was expanded since it was
// last reached.
//
// Two stores keep it. DenseStore indexes flat arrays by the domain's
// `node_index`. When the domain states how many indices it hands out
// (`index_space()`: the node count of a graph, the cells of a grid), the
// arrays get that size once, up front, which a search over a domain that
// already stores every node can afford; otherwise they grow when a larger
// index is reached, always to the smallest power of two above it, so touching
// k distinct indices costs O(log k) reallocations. HashStore keys an
// FxHash table by the node and starts with room for 64 entries. NodeState
// picks one per search: dense when asked for and the start node has an index.
// Both charge each growth of their tables to the search's MemoryAccount
// (memory.hpp), which may refuse it and leave the store as it was.
//
// Invariants enforced here (violations are programming errors and throw
// InvariantError): the dense store only sees nodes that have an index, is
// never asked to close an index past its arrays, and the hash store is never
// asked to close a node it has not reached.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/hash.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

struct NodeStatus {
  enum Kind : std::uint8_t { Unreached, Open, Closed };
  Kind kind = Unreached;
  double g = std::numeric_limits<double>::infinity();
};

// What `relax` did with a successor offered at a new cost.
enum class Relaxed : std::uint8_t {
  Discovered,  // first time reached
  Improved,    // open, and the new cost is strictly lower
  Reopened,    // closed, reopening allowed, and the new cost is strictly lower
  Skipped,     // nothing changed
};

namespace detail {
inline constexpr const char* kDenseWithoutIndex =
    "the dense backend is only used on a domain that indexes its nodes";
inline constexpr const char* kCloseUnreached = "a node on the frontier has always been reached first";
}  // namespace detail

// The path from the root of `target`'s parent chain to `target`. The chain is
// a tree whenever costs are non-negative or reopening is off; a negative cycle
// with reopening can turn it into a loop, so the walk stops after as many
// steps as there are reached nodes (the frontier loop then reports the cycle).
template <class Store>
std::vector<typename Store::Node> path_to(const Store& store, const typename Store::Node& target) {
  std::vector<typename Store::Node> path{target};
  const std::size_t limit = store.reached_count();
  while (path.size() <= limit) {
    const auto* p = store.parent(path.back());
    if (!p) break;
    path.push_back(*p);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

template <Graph G>
class DenseStore {
 public:
  using Node = NodeOf<G>;

  // The best-first loop's interface (best_first.hpp).
  using Key = Node;
  static constexpr bool kCanReopen = true;
  void reach(const Node& start) { reach(start, nullptr, 0.0); }
  std::vector<Node> path_to(const Node& target) const { return quellostrin::path_to(*this, target); }

  explicit DenseStore(const G& graph, MemoryAccount* account = nullptr) : graph_(&graph), account_(account) {
    if constexpr (requires { { graph.index_space() } -> std::convertible_to<std::uint64_t>; }) {
      const std::uint64_t n = graph.index_space();
      require_memory(size_mul(n, sizeof(double) + sizeof(Node) + 1),
                     "the node store of a search over {} nodes", n);
      if (n > 0) size_to(n);
    }
  }

  // Records a new best cost and parent for `node` and (re)opens it.
  void reach(const Node& node, const Node* parent, double g) {
    std::uint64_t i = index_of(node);
    ensure(i);
    set(i, parent, g);
  }

  NodeStatus status(const Node& node) const {
    auto i = quellostrin::node_index(*graph_, node);
    if (!i || *i >= flags_.size() || !(flags_[*i] & kReached)) return {};
    return {flags_[*i] & kClosed ? NodeStatus::Closed : NodeStatus::Open, g_[*i]};
  }

  // Marks `node` expanded and returns its g; nothing if it was closed already.
  std::optional<double> close(const Node& node) {
    std::uint64_t i = index_of(node);
    if (i >= flags_.size()) {
      fail_invariant("node index {} is past the {} entries of the dense node store", i, flags_.size());
    }
    if (flags_[i] & kClosed) return std::nullopt;
    flags_[i] |= kClosed;
    return g_[i];
  }

  const Node* parent(const Node& node) const {
    auto i = quellostrin::node_index(*graph_, node);
    if (!i || *i >= flags_.size() || !(flags_[*i] & kHasParent)) return nullptr;
    return &parent_[*i];
  }

  // status + reach in one lookup: the driver's rule for a successor reached
  // from `parent` at cost `g`.
  Relaxed relax(const Node& node, const Node& parent, double g, bool reopen) {
    std::uint64_t i = index_of(node);
    ensure(i);
    const std::uint8_t flags = flags_[i];
    Relaxed what = Relaxed::Discovered;
    if (flags & kReached) {
      // Without reopening a closed node is skipped whatever the cost, so the
      // flags decide alone and the stored cost is not read (in a full search
      // of a sparse random graph about half of all successors are closed).
      if ((flags & kClosed) && !reopen) return Relaxed::Skipped;
      if (!(g < g_[i])) return Relaxed::Skipped;
      what = (flags & kClosed) ? Relaxed::Reopened : Relaxed::Improved;
    }
    set(i, &parent, g);
    return what;
  }

  std::size_t reached_count() const { return reached_; }

  // Starts loading what `relax` will read for `node`: a search calls it for
  // all of a node's successors before relaxing them, so that their cache
  // misses overlap.
  [[gnu::always_inline]] inline void prefetch(const Node& node) const {
    const std::uint64_t i = index_of(node);
    if (i >= flags_.size()) return;
    __builtin_prefetch(flags_.data() + i, 1);
    __builtin_prefetch(g_.data() + i, 1);
  }

  // Edges on the walk behind each node's cost label. Only searches that
  // reopen keep them, so the array is made on the first write.
  std::uint64_t hops(const Node& node) const {
    const std::uint64_t i = index_of(node);
    return i < hops_.size() ? hops_[i] : 0;
  }
  void set_hops(const Node& node, std::uint64_t hops) {
    const std::uint64_t i = index_of(node);
    if (i >= hops_.size()) {
      charge(size_mul(flags_.size(), sizeof(std::uint64_t)), size_mul(hops_.size(), sizeof(std::uint64_t)),
             [&] { hops_.resize(flags_.size(), 0); });
    }
    hops_[i] = hops;
  }

  // Length of the arrays: the index space, or zero or a power of two.
  std::size_t length() const { return flags_.size(); }

 private:
  static constexpr std::uint8_t kReached = 1, kClosed = 2, kHasParent = 4;

  // Only nodes the search itself holds come here: the start, whose index was
  // checked when this store was chosen, and successors the domain listed. A
  // domain may answer those through an unchecked `dense_index`.
  std::uint64_t index_of(const Node& node) const {
    if constexpr (requires { { graph_->dense_index(node) } -> std::same_as<std::uint64_t>; }) {
      return graph_->dense_index(node);
    }
    auto i = quellostrin::node_index(*graph_, node);
    if (!i) fail_invariant(detail::kDenseWithoutIndex);
    return *i;
  }

  void ensure(std::uint64_t i) {
    if (i < flags_.size()) return;
    if (i >= (std::uint64_t{1} << 62)) throw std::bad_alloc();
    size_to(std::bit_ceil(static_cast<std::size_t>(i) + 1));
  }

  static constexpr std::size_t kBytesPerNode = sizeof(double) + sizeof(Node) + 1;

  // The arrays grown to `length`, all or none: each is built anew and swapped
  // in once all three are, so a refused or failed allocation leaves them as
  // they were.
  void size_to(std::size_t length) {
    charge(size_mul(length, kBytesPerNode), size_mul(flags_.size(), kBytesPerNode), [&] {
      std::vector<double> g(length, std::numeric_limits<double>::infinity());
      std::vector<Node> parent(length);
      std::vector<std::uint8_t> flags(length, 0);
      std::copy(g_.begin(), g_.end(), g.begin());
      std::move(parent_.begin(), parent_.end(), parent.begin());
      std::copy(flags_.begin(), flags_.end(), flags.begin());
      g_.swap(g), parent_.swap(parent), flags_.swap(flags);
    });
  }

  // Runs `grow`, which allocates `bytes` and then frees `old` bytes, with the
  // account charged first.
  template <class F>
  void charge(std::uint64_t bytes, std::uint64_t old, F&& grow) {
    if (!account_) return grow();
    account_->charge(bytes);
    try {
      grow();
    } catch (...) {
      account_->release(bytes);
      throw;
    }
    account_->release(old);
  }

  void set(std::uint64_t i, const Node* parent, double g) {
    if (!(flags_[i] & kReached)) ++reached_;
    g_[i] = g;
    if (parent) parent_[i] = *parent;
    flags_[i] = static_cast<std::uint8_t>(kReached | (parent ? kHasParent : 0));
  }

  const G* graph_;
  MemoryAccount* account_;
  // Parallel arrays rather than one array of records: every close and relax
  // reads the flags, only some read the cost, and only path and tree building
  // read the parent. At one byte per node the flags of a million-node search
  // take a megabyte and mostly stay in cache; records of cost, parent and
  // flags would spread the same reads over 24 bytes per node.
  std::vector<double> g_;
  std::vector<Node> parent_;
  std::vector<std::uint8_t> flags_;  // kReached | kClosed | kHasParent
  std::vector<std::uint64_t> hops_;  // empty unless set_hops was called
  std::size_t reached_ = 0;
};

namespace state {
template <class Node>
struct Entry {
  double g = std::numeric_limits<double>::infinity();
  Node parent{};
  bool has_parent = false;
  bool closed = false;
  friend std::uint64_t heap_bytes(const Entry& e) { return heap_bytes(e.parent); }
};
}  // namespace state

template <Graph G>
class HashStore {
 public:
  using Node = NodeOf<G>;

  // The best-first loop's interface (best_first.hpp).
  using Key = Node;
  static constexpr bool kCanReopen = true;
  void reach(const Node& start) { reach(start, nullptr, 0.0); }
  std::vector<Node> path_to(const Node& target) const { return quellostrin::path_to(*this, target); }
  static constexpr std::size_t kInitialRoom = 64;

  explicit HashStore(const G& /*graph*/, MemoryAccount* account = nullptr) : map_(kInitialRoom, account) {
    hops_.set_account(account);
  }

  void reach(const Node& node, const Node* parent, double g) { set(*map_.try_emplace(node).first, parent, g); }

  NodeStatus status(const Node& node) const {
    const Entry* e = map_.find(node);
    if (!e) return {};
    return {e->closed ? NodeStatus::Closed : NodeStatus::Open, e->g};
  }

  std::optional<double> close(const Node& node) {
    Entry* e = map_.find(node);
    if (!e) fail_invariant(detail::kCloseUnreached);
    if (e->closed) return std::nullopt;
    e->closed = true;
    return e->g;
  }

  const Node* parent(const Node& node) const {
    const Entry* e = map_.find(node);
    return e && e->has_parent ? &e->parent : nullptr;
  }

  Relaxed relax(const Node& node, const Node& parent, double g, bool reopen) {
    auto [e, inserted] = map_.try_emplace(node);
    Relaxed what = Relaxed::Discovered;
    if (!inserted) {
      if (!(g < e->g)) return Relaxed::Skipped;
      if (e->closed) {
        if (!reopen) return Relaxed::Skipped;
        what = Relaxed::Reopened;
      } else {
        what = Relaxed::Improved;
      }
    }
    set(*e, &parent, g);
    return what;
  }

  std::size_t reached_count() const { return map_.size(); }

  // As in DenseStore: kept beside the entries, so that searches which do not
  // reopen pay nothing for them.
  std::uint64_t hops(const Node& node) const {
    const std::uint64_t* h = hops_.find(node);
    return h ? *h : 0;
  }
  void set_hops(const Node& node, std::uint64_t hops) { hops_.insert_or_assign(node, hops); }

 private:
  using Entry = state::Entry<Node>;

  static void set(Entry& e, const Node* parent, double g) {
    e.g = g;
    e.has_parent = parent != nullptr;
    if (parent) e.parent = *parent;
    e.closed = false;
  }

  FlatMap<Node, Entry> map_;
  FlatMap<Node, std::uint64_t> hops_;
};

// (parent, child) for each node of `nodes` that has a parent, in that order.
template <class Store>
std::vector<std::pair<typename Store::Node, typename Store::Node>> tree_edges(
    const Store& store, const std::vector<typename Store::Node>& nodes) {
  std::vector<std::pair<typename Store::Node, typename Store::Node>> edges;
  edges.reserve(nodes.size());
  for (const auto& n : nodes) {
    if (const auto* p = store.parent(n)) edges.emplace_back(*p, n);
  }
  return edges;
}

template <Graph G>
class NodeState {
 public:
  using Node = NodeOf<G>;

  NodeState(const G& graph, const Node& start, bool dense, MemoryAccount* account = nullptr)
      : store_(make(graph, start, dense, account)) {}

  bool is_dense() const { return std::holds_alternative<DenseStore<G>>(store_); }

  void reach(const Node& node, const Node* parent, double g) {
    visit([&](auto& s) { s.reach(node, parent, g); });
  }
  NodeStatus status(const Node& node) const {
    return visit([&](const auto& s) { return s.status(node); });
  }
  std::optional<double> close(const Node& node) {
    return visit([&](auto& s) { return s.close(node); });
  }
  const Node* parent(const Node& node) const {
    return visit([&](const auto& s) { return s.parent(node); });
  }
  std::vector<Node> path_to(const Node& target) const {
    return visit([&](const auto& s) { return quellostrin::path_to(s, target); });
  }
  std::size_t reached_count() const {
    return visit([&](const auto& s) { return s.reached_count(); });
  }

  // Runs `f` on the concrete store; hot loops call this once and then work on
  // the store directly.
  template <class F>
  decltype(auto) visit(F&& f) {
    return std::visit(std::forward<F>(f), store_);
  }
  template <class F>
  decltype(auto) visit(F&& f) const {
    return std::visit(std::forward<F>(f), store_);
  }

 private:
  using Store = std::variant<HashStore<G>, DenseStore<G>>;

  static Store make(const G& graph, const Node& start, bool dense, MemoryAccount* account) {
    if (dense && quellostrin::node_index(graph, start)) {
      return Store(std::in_place_type<DenseStore<G>>, graph, account);
    }
    return Store(std::in_place_type<HashStore<G>>, graph, account);
  }

  Store store_;
};

template <Graph G>
std::vector<std::pair<NodeOf<G>, NodeOf<G>>> tree_edges(const NodeState<G>& state,
                                                         const std::vector<NodeOf<G>>& nodes) {
  return state.visit([&](const auto& s) { return quellostrin::tree_edges(s, nodes); });
}

}  // namespace quellostrin
