// Initialisation of quellostrin_native, in two phases: CPython creates the
// module object with room for a ModuleState, then `exec_module` adds the
// functions and classes in a fixed order, appending each name to __all__ as
// it is added. Every module object (one per interpreter, or per re-import)
// owns its own classes and InternalError through its state.
#include <Python.h>

#include <string>
#include <utility>
#include <vector>

#include "entry_points.hpp"
#include "quellostrin/search/algorithms.hpp"
#include "errors.hpp"
#include "module_state.hpp"
#include "prepared.hpp"
#include "py_ref.hpp"
#include "result.hpp"

namespace quellostrin::py {
namespace {

// Registration order is part of the module's interface.
PyMethodDef* functions() {
  static PyMethodDef defs[] = {
      search_grid_method(),    search_grid_costs_method(), search_graph_method(),      search_implicit_method(),
      gen_erdos_renyi_method(),
      gen_barabasi_albert_method(),
      gen_watts_strogatz_method(),
      sample_maze_method(),
      random_maze_ascii_method(),
      bellman_ford_method(),
      floyd_warshall_method(),
      search_npuzzle_method(), search_hanoi_method(),      search_wordladder_method(), {nullptr, nullptr, 0, nullptr},
  };
  return defs;
}

// Helpers of pickle, left out of __all__.
PyMethodDef* private_functions() {
  static PyMethodDef defs[] = {
      {kRestoreResult, restore_search_result, METH_VARARGS, nullptr},
      {kRestoreShortestPaths, restore_shortest_paths, METH_VARARGS, nullptr},
      {kRestoreAllPairs, restore_all_pairs, METH_VARARGS, nullptr},
      {kRestoreGrid, restore_grid, METH_VARARGS, nullptr},
      {kRestoreGraph, restore_graph, METH_VARARGS, nullptr},
      {kRestoreWordList, restore_word_list, METH_VARARGS, nullptr},
      {kRestoreSlidingPuzzle, restore_sliding_puzzle, METH_VARARGS, nullptr},
      {nullptr, nullptr, 0, nullptr},
  };
  return defs;
}

bool append_all(PyObject* module, const char* name) {
  PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) return false;
  PyRef text = PyRef::steal(PyUnicode_FromString(name));
  return text && PyList_Append(all.get(), text.get()) == 0;
}

bool add_function(PyObject* module, PyObject* module_name, PyMethodDef* def, bool exported) {
  // The module is the function's `self`, so a call can reach the module state.
  PyRef fn = PyRef::steal(PyCFunction_NewEx(def, module, module_name));
  return fn && PyModule_AddObjectRef(module, def->ml_name, fn.get()) == 0 &&
         (!exported || append_all(module, def->ml_name));
}

// A tuple of str.
PyRef str_tuple(const std::vector<std::string>& items) {
  PyRef out = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(items.size())));
  if (!out) return out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* s = PyUnicode_FromStringAndSize(items[i].data(), static_cast<Py_ssize_t>(items[i].size()));
    if (!s) return PyRef();
    PyTuple_SetItem(out.get(), static_cast<Py_ssize_t>(i), s);  // steals
  }
  return out;
}

// The names a search accepts, for callers (the command line, the tests) to
// read instead of keeping copies: ALGORITHMS, the canonical names in their
// order; ALGORITHM_ALIASES, alias -> name; HEURISTICS, each search function's
// built-in heuristic names (its class's search takes the same), and
// SlidingPuzzle's, which has one more than search_npuzzle.
bool add_names(PyObject* module) {
  std::vector<std::string> names;
  PyRef aliases = PyRef::steal(PyDict_New());
  if (!aliases) return false;
  for (const AlgorithmInfo& a : kAlgorithms) {
    names.emplace_back(a.name);
    if (a.alias.empty()) continue;
    PyRef k = PyRef::steal(PyUnicode_FromStringAndSize(a.alias.data(), static_cast<Py_ssize_t>(a.alias.size())));
    PyRef v = PyRef::steal(PyUnicode_FromStringAndSize(a.name.data(), static_cast<Py_ssize_t>(a.name.size())));
    if (!k || !v || PyDict_SetItem(aliases.get(), k.get(), v.get()) != 0) return false;
  }
  PyRef algorithms = str_tuple(names);
  const std::pair<const char*, std::vector<std::string>> per_function[] = {
      {"search_grid", grid_heuristic_names()},
      {"search_grid_costs", grid_heuristic_names()},
      {"search_graph", graph_heuristic_names()},
      {"search_implicit", {}},
      {"search_npuzzle", npuzzle_heuristic_names()},
      {"search_hanoi", hanoi_heuristic_names()},
      {"search_wordladder", wordladder_heuristic_names()},
      {"SlidingPuzzle", sliding_puzzle_heuristic_names()}};
  PyRef heuristics = PyRef::steal(PyDict_New());
  if (!algorithms || !heuristics) return false;
  for (const auto& [function, list] : per_function) {
    PyRef t = str_tuple(list);
    if (!t || PyDict_SetItemString(heuristics.get(), function, t.get()) != 0) return false;
  }
  return PyModule_AddObjectRef(module, "ALGORITHMS", algorithms.get()) == 0 &&
         PyModule_AddObjectRef(module, "ALGORITHM_ALIASES", aliases.get()) == 0 &&
         PyModule_AddObjectRef(module, "HEURISTICS", heuristics.get()) == 0;
}

bool exec_steps(PyObject* module) {
  ModuleState& state = state_of(module);
  PyRef all = PyRef::steal(PyList_New(0));
  if (!all || PyModule_AddObjectRef(module, "__all__", all.get()) < 0) return false;
  PyRef name = PyRef::steal(PyModule_GetNameObject(module));
  if (!name) return false;
  for (PyMethodDef* def = functions(); def->ml_name; ++def) {
    if (!add_function(module, name.get(), def, true)) return false;
  }
  for (PyMethodDef* def = private_functions(); def->ml_name; ++def) {
    if (!add_function(module, name.get(), def, false)) return false;
  }
  if (!add_result_type(module, state) || !append_all(module, "SearchResult")) return false;
  if (!add_shortest_path_types(module, state) || !append_all(module, "ShortestPaths") ||
      !append_all(module, "AllPairs")) {
    return false;
  }
  if (!add_grid_type(module, state) || !append_all(module, "Grid")) return false;
  if (!add_graph_type(module, state) || !append_all(module, "Graph")) return false;
  if (!add_word_list_type(module, state) || !append_all(module, "WordList")) return false;
  if (!add_sliding_puzzle_type(module, state) || !append_all(module, "SlidingPuzzle")) return false;
  if (!add_names(module)) return false;
  state.internal_error = new_internal_error_type();
  return state.internal_error && PyModule_AddObjectRef(module, "InternalError", state.internal_error) == 0;
}

int exec_module(PyObject* module) {
  // Nothing C++ may escape into the interpreter; failures leave an exception set.
  return guarded(nullptr, [&]() -> PyObject* { return exec_steps(module) ? Py_None : nullptr; }) ? 0 : -1;
}

int traverse_module(PyObject* module, visitproc visit, void* arg) {
  auto* state = static_cast<ModuleState*>(PyModule_GetState(module));
  if (state) {
    Py_VISIT(state->result_type);
    Py_VISIT(state->shortest_paths_type);
    Py_VISIT(state->all_pairs_type);
    Py_VISIT(state->grid_type);
    Py_VISIT(state->graph_type);
    Py_VISIT(state->word_list_type);
    Py_VISIT(state->sliding_puzzle_type);
    Py_VISIT(state->internal_error);
  }
  return 0;
}

int clear_module(PyObject* module) {
  auto* state = static_cast<ModuleState*>(PyModule_GetState(module));
  if (state) {
    Py_CLEAR(state->result_type);
    Py_CLEAR(state->shortest_paths_type);
    Py_CLEAR(state->all_pairs_type);
    Py_CLEAR(state->grid_type);
    Py_CLEAR(state->graph_type);
    Py_CLEAR(state->word_list_type);
    Py_CLEAR(state->sliding_puzzle_type);
    Py_CLEAR(state->internal_error);
  }
  return 0;
}

void free_module(void* module) {
  clear_module(static_cast<PyObject*>(module));
  if (auto* state = static_cast<ModuleState*>(PyModule_GetState(static_cast<PyObject*>(module)))) {
    delete std::exchange(state->one_call_workspaces, nullptr);
  }
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "quellostrin_native", "",           sizeof(ModuleState), nullptr,
    module_slots,          traverse_module,      clear_module, free_module,
};

}  // namespace
}  // namespace quellostrin::py

PyMODINIT_FUNC PyInit_quellostrin_native() { return PyModuleDef_Init(&quellostrin::py::module_def); }
