// What every search entry point shares once it has built its domain: the
// common search parameters, and `run_search`, which resolves the heuristic
// (a name from the entry point's table, or a callable), picks the lock, runs
// the algorithm, raises a stored callback error and converts the result.
//
// The lock: with a built-in heuristic over a built-in domain the search runs
// with the interpreter lock released; with a Python callable anywhere (a
// callable heuristic, or a domain that calls Python) it keeps the lock.
//
// Stopping: every search polls a stop hook. With the lock released it is
// polled every kSignalPollEvery expansions and briefly takes the lock back to
// run the signal handlers; when they raise (Ctrl-C), the search stops and the
// call raises that exception. With the lock held it is polled every expansion
// and stops the search at the first callback error stored in the call's
// ErrorSlot, and also runs the signal handlers every kSignalPollEvery polls.
//
// Check order: heuristic resolution, the heuristic name, then the algorithm
// name and its options; all before the search starts.
#pragma once

#include <Python.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "callbacks.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "module_state.hpp"
#include "py_ref.hpp"
#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/memory.hpp"
#include "result.hpp"
#include "signature.hpp"

namespace quellostrin::py {

// The parameters every search entry point takes, with their defaults.
// `algorithm` defaults to "astar"; an entry point with another default sets
// it in its argument record's constructor.
struct SearchArgs {
  std::string algorithm = "astar";
  PyObject* heuristic = nullptr;  // borrowed; None or absent: the default
  bool record = true;
  double weight = 2.0;
  std::optional<std::uint64_t> beam_width;
  std::optional<std::uint64_t> depth_limit;
  std::optional<std::uint64_t> max_nodes;
  bool reopen = false;
  std::optional<double> time_limit;  // seconds
  std::optional<std::uint64_t> max_memory;  // bytes
};

// The common parameters as descriptions for an argument record `Args`
// derived from SearchArgs.
template <class Args>
struct SearchParams {
  using P = Params<Args>;
  static constexpr auto algorithm = P::template optional<&Args::algorithm, to_str>("algorithm");
  static constexpr auto heuristic = P::template optional<&Args::heuristic, as_object>("heuristic");
  static constexpr auto record = P::template optional<&Args::record, to_bool>("record");
  static constexpr auto weight = P::template optional<&Args::weight, to_double>("weight");
  static constexpr auto beam_width = P::template optional<&Args::beam_width, to_opt_u64>("beam_width");
  static constexpr auto depth_limit = P::template optional<&Args::depth_limit, to_opt_u64>("depth_limit");
  static constexpr auto max_nodes = P::template optional<&Args::max_nodes, to_opt_u64>("max_nodes");
  static constexpr auto reopen = P::template optional<&Args::reopen, to_bool>("reopen");
  static constexpr auto time_limit = P::template optional<&Args::time_limit, to_opt_double>("time_limit");
  // record, weight, beam_width, depth_limit, max_nodes, reopen, time_limit:
  // the options that close most signatures.
  static constexpr std::array<Param<Args>, 7> options{record,    weight, beam_width, depth_limit,
                                                      max_nodes, reopen, time_limit};
  // The last parameter of every search, after those an entry point adds
  // behind the options.
  static constexpr auto max_memory = P::template optional<&Args::max_memory, to_opt_u64>("max_memory");
};

// A built-in heuristic and the name it is asked for by.
template <class H>
struct Named {
  const char* name;
  H heuristic;
};

// The built-in heuristics of an entry point: the name used when none is
// given, the message for an unknown name (with {} for the name), and the
// entries.
template <class... H>
struct HeuristicTable {
  const char* default_name;
  const char* unknown_message;
  std::tuple<Named<H>...> entries;
};

// The names of a table's heuristics, in its order.
template <class... H>
std::vector<std::string> heuristic_names(const HeuristicTable<H...>& table) {
  return std::apply([](const auto&... e) { return std::vector<std::string>{e.name...}; }, table.entries);
}

// For domains with no built-in heuristics, where any non-None heuristic is a
// callable (and is not checked before its first call).
struct CallablesOnly {};

inline constexpr std::uint64_t kSignalPollEvery = 1u << 15;

namespace detail {

// The stop hook's state for one search.
struct CancelPoll {
  ErrorSlot* slot;
  GilRelease* released;  // while the lock is released; null while it is held
  std::uint64_t signal_every;
  std::uint64_t polls = 0;

  static bool poll(void* self_ptr) {
    auto& self = *static_cast<CancelPoll*>(self_ptr);
    if (!self.released && self.slot->has_error()) return true;  // a callback failed: stop at once
    if (++self.polls % self.signal_every != 0) return false;
    auto run_handlers = [&] {
      if (PyErr_CheckSignals() == 0) return false;
      self.slot->store_pending();  // KeyboardInterrupt, or whatever a handler raised
      return true;
    };
    return self.released ? self.released->relocked(run_handlers) : run_handlers();
  }
};

template <class G>
concept CallsPython = requires { G::calls_python; };

}  // namespace detail

// Runs `run(hook)` (a shortest-path routine, say, whose result has a
// `cancelled` flag) with the lock released; the hook polls for Ctrl-C at
// every call, and a signal handler that raises ends the run and the call
// raises that.
template <class Run>
auto run_unlocked(ModuleState& state, Run&& run) {
  ErrorSlot slot(state.internal_error);
  std::optional<decltype(run(StopHook{}))> result;
  {
    GilRelease unlocked;
    detail::CancelPoll cancel{&slot, &unlocked, 1};
    result = run(StopHook{&detail::CancelPoll::poll, &cancel, 1});
  }
  if (slot.restore()) throw_py_error();
  if (result->cancelled) fail_invariant("a shortest-path run was cancelled with no exception to report");
  return std::move(*result);
}

// A search's heuristic and algorithm, resolved and checked once: a callable,
// or the name of one of the table's built-in heuristics.
struct ResolvedSearch {
  PyRef callable;
  std::optional<std::string> name;
  const AlgorithmInfo* algo = nullptr;
  AlgoOptions options;
  double time_limit = std::numeric_limits<double>::infinity();
};

// Resolves `args` against the entry point's heuristics, in the check order
// every entry point keeps: the heuristic, its name, the algorithm and its
// options, the time limit.
template <class Table>
ResolvedSearch resolve_search(const SearchArgs& args, const Table& table) {
  ResolvedSearch r;
  if constexpr (std::is_same_v<Table, CallablesOnly>) {
    if (args.heuristic && args.heuristic != Py_None) r.callable = PyRef::borrow(args.heuristic);
  } else {
    HeuristicChoice choice = resolve_heuristic(args.heuristic, table.default_name);
    if (choice.callable) {
      r.callable = PyRef::borrow(choice.callable);
    } else {
      r.name = std::move(choice.name);
      const bool known = std::apply([&](const auto&... e) { return ((*r.name == e.name) || ...); }, table.entries);
      if (!known) throw ValueErr(quellostrin::detail::format(table.unknown_message, *r.name));
    }
  }
  r.algo = &find_algorithm(args.algorithm);
  r.options = AlgoOptions{.record = args.record,
                          .weight = args.weight,
                          .beam_width = args.beam_width.value_or(kUnboundedBeam),
                          .depth_limit = args.depth_limit,
                          .reopen = args.reopen,
                          .dense = true,
                          .limits = {.max_nodes = args.max_nodes, .max_memory = args.max_memory}};
  check_options(*r.algo, r.options);
  if (args.time_limit) {
    if (!(*args.time_limit >= 0.0)) throw ValueErr("time_limit must be None or a number of seconds >= 0");
    r.time_limit = *args.time_limit;
  }
  return r;
}

namespace detail {

// The caller's name of a node of `G`, as `Names` gives it: the node type of
// the results.
template <Graph G, class Names>
using NameOf = std::remove_cvref_t<std::invoke_result_t<const Names&, const NodeOf<G>&>>;

// `result` with every node replaced by its name.
template <class Node, class Names>
auto renamed(SearchResult<Node>&& result, const Names& names) {
  using Name = std::remove_cvref_t<std::invoke_result_t<const Names&, const Node&>>;
  if constexpr (std::is_same_v<Names, SameNodes>) {
    return std::move(result);
  } else if constexpr (std::is_same_v<Name, Node>) {
    if (result.path) {
      for (Node& n : *result.path) n = names(n);
    }
    for (auto& step : result.trace) step.node = names(step.node);
    for (auto& [parent, child] : result.tree) parent = names(parent), child = names(child);
    return std::move(result);
  } else {
    SearchResult<Name> out;
    if (result.path) {
      out.path.emplace();
      out.path->reserve(result.path->size());
      for (const Node& n : *result.path) out.path->push_back(names(n));
    }
    out.cost = result.cost;
    out.nodes_expanded = result.nodes_expanded;
    out.nodes_generated = result.nodes_generated;
    out.nodes_reopened = result.nodes_reopened;
    out.max_frontier_size = result.max_frontier_size;
    out.elapsed = result.elapsed;
    out.stop_reason = result.stop_reason;
    out.trace.reserve(result.trace.size());
    for (const auto& step : result.trace) out.trace.push_back({names(step.node), step.g, step.frontier_size});
    out.tree.reserve(result.tree.size());
    for (const auto& [parent, child] : result.tree) out.tree.emplace_back(names(parent), names(child));
    return out;
  }
}

// Runs the resolved search on `graph` under `options` (whose hook the caller
// has set), with the caller's names put into the result. A search that runs
// out of memory midway says so; sizes refused up front keep their own
// message.
template <Graph G, class Table, class Names>
SearchResult<NameOf<G, Names>> search_once(const ResolvedSearch& r, const Table& table, ErrorSlot& slot,
                                           const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                                           const Names& names, const AlgoOptions& options) {
  using Node = NodeOf<G>;
  std::optional<SearchResult<Node>> result;
  auto run = [&](const auto& heuristic) {
    try {
      result = run_algo(*r.algo, graph, heuristic, start, goal, options);
    } catch (const OutOfMemory&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw OutOfMemory("out of memory during the search: its frontier and node store could not grow");
    }
  };
  if constexpr (std::is_same_v<Table, CallablesOnly> || CallsPython<G>) {
    run(PyHeuristic<Node, Names>(r.callable.get(), slot, names));
  } else if (r.callable) {
    run(PyHeuristic<Node, Names>(r.callable.get(), slot, names));
  } else {
    std::apply([&](const auto&... entry) { ((*r.name == entry.name ? run(entry.heuristic) : void()), ...); },
               table.entries);
  }
  if (!result) fail_invariant("a search ran no algorithm");
  return renamed(std::move(*result), names);
}

// Whether a search over `G` with `r` calls Python, and so keeps the lock.
template <Graph G, class Table>
bool holds_lock(const ResolvedSearch& r) {
  if constexpr (std::is_same_v<Table, CallablesOnly> || CallsPython<G>) {
    return true;
  } else {
    return static_cast<bool>(r.callable);
  }
}

}  // namespace detail

// Runs the search that `args` asks for on `graph` and returns the Python
// SearchResult; any failure is thrown (see errors.hpp). `slot` is the call's
// error slot, shared with a domain that calls Python. `names` gives the
// caller's name of each node, for a callable heuristic and the result, which
// holds names (of another type than the nodes' where `names` says so).
// `path_list` lists the result's path (NodeList: node_list).
template <Graph G, class Table, class Names = SameNodes, class PathList = NodeList>
PyObject* run_search(ModuleState& state, ErrorSlot& slot, const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                     const SearchArgs& args, const Table& table, const Names& names = {},
                     Workspace* workspace = nullptr, const PathList& path_list = {}) {
  const ResolvedSearch r = resolve_search(args, table);
  AlgoOptions options = r.options;
  options.workspace = workspace;
  std::optional<SearchResult<detail::NameOf<G, Names>>> result;
  if (detail::holds_lock<G, Table>(r)) {
    detail::CancelPoll cancel{&slot, nullptr, kSignalPollEvery};
    options.limits.hook = {&detail::CancelPoll::poll, &cancel, 1, r.time_limit};
    result = detail::search_once(r, table, slot, graph, start, goal, names, options);
  } else {
    GilRelease unlocked;
    detail::CancelPoll cancel{&slot, &unlocked, 1};
    options.limits.hook = {&detail::CancelPoll::poll, &cancel, kSignalPollEvery, r.time_limit};
    result = detail::search_once(r, table, slot, graph, start, goal, names, options);
  }
  if (slot.restore()) throw_py_error();
  if (result->stop_reason == StopReason::Cancelled) fail_invariant("a search was cancelled with no exception to report");
  return to_py_result(state, std::move(*result), path_list);
}

template <Graph G, class Table, class Names = SameNodes, class PathList = NodeList>
PyObject* run_search(ModuleState& state, const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                     const SearchArgs& args, const Table& table, const Names& names = {},
                     Workspace* workspace = nullptr, const PathList& path_list = {}) {
  ErrorSlot slot(state.internal_error);
  return run_search(state, slot, graph, start, goal, args, table, names, workspace, path_list);
}

}  // namespace quellostrin::py
