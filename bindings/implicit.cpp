// search_implicit: search a graph whose successors come from a Python callable.
#include <optional>
#include <string>

#include "callbacks.hpp"
#include "convert.hpp"
#include "dispatch.hpp"
#include "entry_points.hpp"
#include "result.hpp"

namespace quellostrin::py {

const char kSearchImplicitDoc[] =
    R"(search_implicit(successors, start, goal, algorithm="astar", heuristic=None, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Search an implicit graph defined by a Python successor callable
`successors(state) -> [(state, cost), ...]`. States are ints or tuples of
ints. `heuristic`, if given, is a callable `h(state, goal) -> float`.)";

namespace {

ImplicitState state_arg(PyObject* obj) {
  auto state = py_to_state(obj);
  if (!state) {
    if (PyErr_Occurred()) throw_py_error();  // a KeyboardInterrupt and the like
    throw ValueErr(kBadState);
  }
  return std::move(*state);
}

PyObject* search_implicit_impl(PyObject* args, PyObject* kwargs) {
  static const char* const kwlist[] = {"successors", "start", "goal", "algorithm", "heuristic",
                                       QUELLOSTRIN_SEARCH_TAIL_NAMES, nullptr};
  auto a = parse_args<11>(args, kwargs, "OOO|OO" QUELLOSTRIN_SEARCH_TAIL_FORMAT ":search_implicit", kwlist);

  // The callables are held for the whole call, whatever the arguments tuple does.
  PyRef successors = PyRef::borrow(a[0]);
  PyObject* start_obj = a[1];
  PyObject* goal_obj = a[2];
  const std::string algorithm = a[3] ? to_str(a[3], "algorithm") : "astar";
  PyRef heuristic = (a[4] && a[4] != Py_None) ? PyRef::borrow(a[4]) : PyRef();
  const SearchTail tail = to_search_tail(&a[5]);

  const ImplicitState start = state_arg(start_obj);
  const ImplicitState goal = state_arg(goal_obj);

  ErrorSlot slot;
  const PyImplicitGraph graph(successors.get(), slot);
  const PyHeuristic<ImplicitState> h(heuristic.get(), slot);
  // Python callbacks run during the search, so the lock stays held.
  auto result = run_algo(graph, h, start, goal, algorithm, tail.record, tail.options);
  if (slot.restore()) throw_py_error();
  return to_py_result(std::move(result));
}

}  // namespace

PyObject* search_implicit(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] { return search_implicit_impl(args, kwargs); });
}

}  // namespace quellostrin::py
