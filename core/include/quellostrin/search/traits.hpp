// The contracts between search strategies and what they search.
//
// Graph: a problem domain. It names its node type (`Node`, a copyable value
// that compares for equality and hashes with FxHash) and appends the
// successors of a node to a caller-owned buffer with `neighbors_into`, in the
// domain's own order; that order decides every tie-break of every strategy.
// `neighbors`, `node_index` and `prefetch` are optional members: the free
// functions of the same names fall back to `neighbors_into`, to "no index" and
// to doing nothing. `prefetch(node)` is a hint that `node` is likely to be
// expanded soon; it must not change anything observable.
// `predecessors_into(node, out)`, also optional, appends the nodes with an
// edge *to* `node` (with those edges' costs); a domain whose predecessors are
// known only sometimes says so with `has_predecessors()`. Searches that walk
// backwards from the goal follow them (see `knows_predecessors`).
//
// Heuristic: `estimate(node, goal)` returns a double; strategies always pass
// the goal of the search. A heuristic may declare `static constexpr bool pure
// = true` when calling it has no observable effect, which lets the frontier
// driver skip estimates that a FIFO or LIFO frontier would ignore.
//
// Frontier: the queue discipline of the frontier driver (see frontier.hpp).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/hash.hpp"

namespace quellostrin {

template <class Node>
using Successor = std::pair<Node, double>;

template <class Node>
using SuccessorList = std::vector<Successor<Node>>;

template <class N>
concept NodeValue = std::copyable<N> && std::default_initializable<N> &&
                    std::equality_comparable<N> && FxHashable<N>;

template <class G>
concept Graph = NodeValue<typename G::Node> &&
                requires(const G& g, const typename G::Node& n, SuccessorList<typename G::Node>& out) {
                  g.neighbors_into(n, out);
                };

template <class G>
using NodeOf = typename G::Node;

// The successors of `node` as a new list; a domain may provide its own.
template <Graph G>
SuccessorList<NodeOf<G>> neighbors(const G& graph, const NodeOf<G>& node) {
  if constexpr (requires { { graph.neighbors(node) } -> std::same_as<SuccessorList<NodeOf<G>>>; }) {
    return graph.neighbors(node);
  } else {
    SuccessorList<NodeOf<G>> out;
    graph.neighbors_into(node, out);
    return out;
  }
}

// The dense-array index of `node`, or nothing for domains that do not index.
template <Graph G>
std::optional<std::uint64_t> node_index(const G& graph, const NodeOf<G>& node) {
  if constexpr (requires { { graph.node_index(node) } -> std::same_as<std::optional<std::uint64_t>>; }) {
    return graph.node_index(node);
  } else {
    return std::nullopt;
  }
}

// Whether `graph` lists predecessors: it has `predecessors_into` and, where
// it says so at run time, knows them for this graph.
template <Graph G>
bool knows_predecessors(const G& graph) {
  if constexpr (requires(const NodeOf<G>& n, SuccessorList<NodeOf<G>>& out) { graph.predecessors_into(n, out); }) {
    if constexpr (requires { { graph.has_predecessors() } -> std::same_as<bool>; }) {
      return graph.has_predecessors();
    } else {
      return true;
    }
  } else {
    return false;
  }
}

// Appends the predecessors of `node`; `knows_predecessors` must hold.
template <Graph G>
void predecessors_into(const G& graph, const NodeOf<G>& node, SuccessorList<NodeOf<G>>& out) {
  if constexpr (requires { graph.predecessors_into(node, out); }) graph.predecessors_into(node, out);
}

// Hints the domain to start loading what expanding `node` will read.
template <Graph G>
void prefetch(const G& graph, const NodeOf<G>& node) {
  if constexpr (requires { graph.prefetch(node); }) graph.prefetch(node);
}

template <class H, class Node>
concept Heuristic = requires(const H& h, const Node& a, const Node& b) {
  { h.estimate(a, b) } -> std::convertible_to<double>;
};

template <class H>
constexpr bool is_pure_heuristic() {
  if constexpr (requires { H::pure; }) {
    return H::pure;
  } else {
    return false;
  }
}

template <class F, class Node>
concept Frontier = requires(F& f, const F& cf, Node n, double priority) {
  f.push(std::move(n), priority);
  { f.pop() } -> std::same_as<std::optional<Node>>;
  { cf.len() } -> std::convertible_to<std::size_t>;
  { cf.peek() } -> std::same_as<const Node*>;  // the next node `pop` returns, or null
};

// `heuristic` as it applies to `graph`: a heuristic that depends on its
// domain (the grid heuristics scale with the cheapest terrain) adapts itself
// with a member `for_domain(graph)`; any other is taken as it is.
template <class H, class G>
H for_domain(const H& heuristic, const G& graph) {
  if constexpr (requires { { heuristic.for_domain(graph) } -> std::same_as<H>; }) {
    return heuristic.for_domain(graph);
  } else {
    return heuristic;
  }
}

// The heuristic that knows nothing: 0.0 for every node.
struct Zero {
  static constexpr bool pure = true;
  template <class Node>
  double estimate(const Node&, const Node&) const {
    return 0.0;
  }
};

}  // namespace quellostrin
