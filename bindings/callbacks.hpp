// Adapters that let Python callables take part in a core search.
//
// PyHeuristic<Node> implements the Heuristic contract over h(node, goal);
// PyImplicitGraph implements the Graph contract over successors(state). The
// core's contracts cannot fail, while a callable can raise at any time, so
// both adapters store the first failure in the call's ErrorSlot and then go
// quiet (h answers 0.0, successors answer nothing) without calling Python
// again; the entry point raises the stored exception after the search.
//
// Failures: an exception from `successors` is stored unchanged; one from the
// heuristic becomes ValueError "the heuristic callable must return a float"
// with the original as __cause__. KeyboardInterrupt, SystemExit and other
// non-Exception signals are always stored unchanged.
//
// A search that involves either adapter keeps the interpreter lock for its
// whole run (runner.hpp), so the adapters call Python directly. They do not
// re-take the lock through PyGILState_Ensure: inside a sub-interpreter that
// call picks the main interpreter's thread state and deadlocks.
#pragma once

#include <Python.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "errors.hpp"
#include "py_ref.hpp"
#include "quellostrin/search/traits.hpp"
#include "result.hpp"

namespace quellostrin::py {

inline constexpr const char* kBadHeuristicResult = "the heuristic callable must return a float";
inline constexpr const char* kBadState = "implicit-graph states must be an int or a sequence of ints";
inline constexpr const char* kBadSuccessors = "successors must return a list of (state, cost) pairs";
inline constexpr const char* kBadPredecessors = "predecessors must return a list of (state, cost) pairs";

// An int (or index-protocol object) is a one-element state; otherwise any
// non-str sequence of such ints. Returns nothing, with no Python error left
// pending, when `obj` is not a state; a pending KeyboardInterrupt or other
// non-Exception signal raised on the way is left pending for the caller.
std::optional<ImplicitState> py_to_state(PyObject* obj);

// The caller's name of each node a search sees: the same node, except for an
// explicit graph searched over only its named nodes (NodeIds).
struct SameNodes {
  template <class Node>
  const Node& operator()(const Node& node) const {
    return node;
  }
};

struct NodeIds {
  std::span<const std::uint64_t> ids;  // ids[i]: the caller's number of node i
  std::array<std::uint64_t, 2> spare{};  // the caller's numbers of nodes ids.size() and ids.size() + 1
  std::uint64_t operator()(std::uint64_t node) const {
    return node < ids.size() ? ids[node] : spare[node - ids.size()];
  }
};

template <class Node, class Names = SameNodes>
class PyHeuristic {
 public:
  // `callable` is borrowed (the entry point holds it for the call); nullptr
  // makes this the zero heuristic. It is called with the nodes' `names`.
  PyHeuristic(PyObject* callable, ErrorSlot& slot, Names names = {})
      : callable_(callable), slot_(&slot), names_(names) {}

  double estimate(const Node& node, const Node& goal) const {
    if (!callable_ || slot_->has_error()) return 0.0;
    PyRef a = PyRef::steal(into_py_node(names_(node)));
    PyRef b = a ? PyRef::steal(into_py_node(names_(goal))) : PyRef();
    PyRef r = b ? PyRef::steal(PyObject_CallFunctionObjArgs(callable_, a.get(), b.get(), nullptr)) : PyRef();
    if (r) {
      const double v = PyFloat_AsDouble(r.get());
      if (!(v == -1.0 && PyErr_Occurred())) return v;
    }
    slot_->store_value_error(kBadHeuristicResult);
    return 0.0;
  }

 private:
  PyObject* callable_;
  ErrorSlot* slot_;
  Names names_;
};

class PyImplicitGraph {
 public:
  using Node = ImplicitState;
  static constexpr bool calls_python = true;  // searches over it keep the interpreter lock

  // `predecessors` may be null: the graph then does not list them.
  PyImplicitGraph(PyObject* successors, ErrorSlot& slot, PyObject* predecessors = nullptr)
      : successors_(successors), predecessors_(predecessors), slot_(&slot) {}

  // Appends the successors of `state` in the order the callable lists them;
  // on any failure appends nothing.
  void neighbors_into(const Node& state, SuccessorList<Node>& out) const;

  // The same through the predecessor callable, when there is one.
  bool has_predecessors() const { return predecessors_ != nullptr; }
  void predecessors_into(const Node& state, SuccessorList<Node>& out) const;

 private:
  void call_into(PyObject* callable, const char* bad_list, const Node& state, SuccessorList<Node>& out) const;

  PyObject* successors_;    // borrowed; held by the entry point for the call
  PyObject* predecessors_;  // the same, or null
  ErrorSlot* slot_;
};

}  // namespace quellostrin::py
