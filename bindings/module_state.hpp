// The per-module state of quellostrin_native: the class objects and the
// exception type a module object owns. Each module object (one per
// interpreter, or per re-import) has its own; module functions receive their
// module as `self`, and methods of the module's classes find it through their
// type.
#pragma once

#include <Python.h>

namespace quellostrin::py {

class WorkspacePool;

struct ModuleState {
  PyObject* result_type = nullptr;          // SearchResult
  PyObject* shortest_paths_type = nullptr;  // ShortestPaths
  PyObject* all_pairs_type = nullptr;       // AllPairs
  PyObject* grid_type = nullptr;            // Grid
  PyObject* graph_type = nullptr;           // Graph
  PyObject* word_list_type = nullptr;       // WordList
  PyObject* sliding_puzzle_type = nullptr;  // SlidingPuzzle
  PyObject* internal_error = nullptr;  // InternalError
  // Owned: the workspaces that searches over a grid or graph built for one
  // call borrow (prepared.hpp), made on first use.
  WorkspacePool* one_call_workspaces = nullptr;
};

inline ModuleState& state_of(PyObject* module) { return *static_cast<ModuleState*>(PyModule_GetState(module)); }

// The state of the module that created `type` (one of the module's classes).
inline ModuleState& state_of_type(PyTypeObject* type) { return state_of(PyType_GetModule(type)); }

}  // namespace quellostrin::py
