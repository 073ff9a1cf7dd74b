// The module's functions, one family per source file: each gives the method
// table row (name, function, flags, docstring) built from its signature.
#pragma once

#include <Python.h>

#include <string>
#include <vector>

#include "quellostrin/shortest_paths.hpp"

namespace quellostrin::py {

PyMethodDef search_grid_method();
PyMethodDef search_grid_costs_method();
PyMethodDef search_graph_method();
PyMethodDef search_implicit_method();
PyMethodDef gen_erdos_renyi_method();
PyMethodDef gen_barabasi_albert_method();
PyMethodDef gen_watts_strogatz_method();
PyMethodDef sample_maze_method();
PyMethodDef random_maze_ascii_method();
PyMethodDef bellman_ford_method();
PyMethodDef floyd_warshall_method();
PyMethodDef search_npuzzle_method();
PyMethodDef search_hanoi_method();
PyMethodDef search_wordladder_method();

// The built-in heuristic names of the grid, graph and puzzle searches, in
// their tables' order.
std::vector<std::string> grid_heuristic_names();
std::vector<std::string> graph_heuristic_names();
std::vector<std::string> hanoi_heuristic_names();
std::vector<std::string> npuzzle_heuristic_names();
std::vector<std::string> wordladder_heuristic_names();

// The classes ShortestPaths and AllPairs, created for `module` and kept in its state.
struct ModuleState;
bool add_shortest_path_types(PyObject* module, ModuleState& state);

// The module's private functions that unpickle ShortestPaths and AllPairs
// (`module` is their self), under these names.
inline constexpr const char* kRestoreShortestPaths = "_restore_shortest_paths";
inline constexpr const char* kRestoreAllPairs = "_restore_all_pairs";
PyObject* restore_shortest_paths(PyObject* module, PyObject* args);
PyObject* restore_all_pairs(PyObject* module, PyObject* args);

// The prepared classes Grid, Graph, WordList and SlidingPuzzle, created for `module` and kept in its
// state, and the private functions that unpickle them.
bool add_grid_type(PyObject* module, ModuleState& state);
bool add_graph_type(PyObject* module, ModuleState& state);
bool add_word_list_type(PyObject* module, ModuleState& state);
bool add_sliding_puzzle_type(PyObject* module, ModuleState& state);
inline constexpr const char* kRestoreSlidingPuzzle = "_restore_sliding_puzzle";
PyObject* restore_sliding_puzzle(PyObject* module, PyObject* args);
std::vector<std::string> sliding_puzzle_heuristic_names();
inline constexpr const char* kRestoreWordList = "_restore_word_list";
PyObject* restore_word_list(PyObject* module, PyObject* args);
inline constexpr const char* kRestoreGrid = "_restore_grid";
inline constexpr const char* kRestoreGraph = "_restore_graph";
PyObject* restore_grid(PyObject* module, PyObject* args);
PyObject* restore_graph(PyObject* module, PyObject* args);

// ShortestPaths and AllPairs objects of `state`'s module that take `result` over.
PyObject* new_shortest_paths(ModuleState& state, ShortestPaths&& result);
PyObject* new_all_pairs(ModuleState& state, AllPairs&& result);

}  // namespace quellostrin::py
