// search_implicit: search a graph whose successors come from a Python callable.
#include "entry_points.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

struct ImplicitArgs : SearchArgs {
  PyObject* successors = nullptr;
  PyObject* start = nullptr;
  PyObject* goal = nullptr;
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
that a state of one element comes back as a plain int.)",
    P::required<&ImplicitArgs::successors, as_object>("successors"),
    P::required<&ImplicitArgs::start, as_object>("start"), P::required<&ImplicitArgs::goal, as_object>("goal"),
    S::algorithm, S::heuristic, S::options);

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
  ErrorSlot slot(state.internal_error);
  const PyImplicitGraph graph(successors.get(), slot);
  return run_search(state, slot, graph, start, goal, a, CallablesOnly{});
}

}  // namespace

PyMethodDef search_implicit_method() { return method<kSearchImplicit, search_implicit>(); }

}  // namespace quellostrin::py
