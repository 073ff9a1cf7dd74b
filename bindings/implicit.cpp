// search_implicit: search a graph whose successors come from a Python callable.
#include "entry_points.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

struct ImplicitArgs : SearchArgs {
  PyObject* successors = nullptr;
  PyObject* start = nullptr;
  PyObject* goal = nullptr;
  PyObject* predecessors = nullptr;  // None or absent: not known
};

using P = Params<ImplicitArgs>;
using S = SearchParams<ImplicitArgs>;

constexpr auto kSearchImplicit = signature<ImplicitArgs>(
    "search_implicit",
    R"(Search an implicit graph defined by a Python successor callable
`successors(state) -> [(state, cost), ...]`. States are ints or tuples of
ints. `heuristic`, if given, is a callable `h(state, goal) -> float`.

Pairs may also be lists, and a successor state any sequence of ints; states
come back (in the result and in the callbacks' arguments) as tuples, except
that a state of one element comes back as a plain int.

`predecessors`, if given, is a callable called like `successors` that lists
the states with an edge *to* its argument (the pairs' costs are not used).
`"bidirectional"` follows it from the goal backwards. Without it, that side
takes successors for predecessors, which is right when every edge has its
reverse; a joined path that is not a walk along the edges is never returned.

An exception raised by `successors` or `predecessors` ends the search and is
raised by the call as it is. One raised by the heuristic is raised as
`ValueError("the heuristic callable must return a float")`, with the original
chained as its `__cause__`.)",
    P::required<&ImplicitArgs::successors, as_object>("successors"),
    P::required<&ImplicitArgs::start, as_object>("start"), P::required<&ImplicitArgs::goal, as_object>("goal"),
    S::algorithm, S::heuristic, S::options, P::optional<&ImplicitArgs::predecessors, as_object>("predecessors"),
    S::max_memory);

ImplicitState state_arg(PyObject* obj) {
  auto state = py_to_state(obj);
  if (!state) {
    if (PyErr_Occurred()) throw_py_error();  // a KeyboardInterrupt and the like
    throw ValueErr(kBadState);
  }
  return std::move(*state);
}

PyObject* search_implicit(ModuleState& state, const ImplicitArgs& a) {
  const ImplicitState start = state_arg(a.start);
  const ImplicitState goal = state_arg(a.goal);
  // Held for the whole call, whatever the arguments tuple does.
  const PyRef successors = PyRef::borrow(a.successors);
  const PyRef predecessors =
      a.predecessors && a.predecessors != Py_None ? PyRef::borrow(a.predecessors) : PyRef();
  ErrorSlot slot(state.internal_error);
  const PyImplicitGraph graph(successors.get(), slot, predecessors.get());
  return run_search(state, slot, graph, start, goal, a, CallablesOnly{});
}

}  // namespace

PyMethodDef search_implicit_method() { return method<kSearchImplicit, search_implicit>(); }

}  // namespace quellostrin::py
