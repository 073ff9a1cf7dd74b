// The Python class SearchResult and the conversion of core results into it.
//
// Node conversion (one rule per node type, used for results and callback
// arguments alike): graph node -> int; grid cell -> (row, col) tuple;
// Hanoi or N-puzzle state -> tuple of ints;
// word -> str; implicit state -> int when it has exactly one element, else a
// tuple of ints. Each `into_py_node` returns a new reference or nullptr with a
// Python error set.
#pragma once

#include <Python.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "errors.hpp"
#include "module_state.hpp"
#include "py_ref.hpp"
#include "quellostrin/domains/grid.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/small_bytes.hpp"

namespace quellostrin::py {

// A state of an implicit graph: a sequence of signed 64-bit integers.
using ImplicitState = std::vector<std::int64_t>;

inline PyObject* into_py_node(std::uint64_t node) { return PyLong_FromUnsignedLongLong(node); }

inline PyObject* into_py_node(const Cell& cell) {
  PyRef row = PyRef::steal(PyLong_FromLong(cell.row));
  PyRef col = row ? PyRef::steal(PyLong_FromLong(cell.col)) : PyRef();
  return col ? PyTuple_Pack(2, row.get(), col.get()) : nullptr;
}

inline PyObject* into_py_node(const std::string& word) {
  return PyUnicode_FromStringAndSize(word.data(), static_cast<Py_ssize_t>(word.size()));
}

inline PyObject* into_py_node(const SmallBytes& state) {
  PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(state.size())));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < state.size(); ++i) {
    PyObject* item = PyLong_FromLong(state[i]);
    if (!item) return nullptr;
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), item);  // steals
  }
  return tuple.release();
}

inline PyObject* into_py_node(const ImplicitState& state) {
  if (state.size() == 1) return PyLong_FromLongLong(state[0]);
  PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(state.size())));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < state.size(); ++i) {
    PyObject* item = PyLong_FromLongLong(state[i]);
    if (!item) return nullptr;
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), item);
  }
  return tuple.release();
}

// Creates the module's SearchResult class, keeps it in the module's state and
// adds it to the module.
bool add_result_type(PyObject* module, ModuleState& state);

// A search's trace and search tree, kept in their core form until Python
// first reads them: a recording search returns as fast as its search, and the
// lists of tuples (hundreds of bytes per step) are built only when wanted.
class Recording {
 public:
  virtual ~Recording() = default;
  // Each builds its new list once (a new reference, or nullptr with a Python
  // error set) and then lets the core form go.
  virtual PyObject* trace() = 0;
  virtual PyObject* tree() = 0;
};

// The parts of a result that do not depend on the node type; the lists are
// stolen by make_result. `trace` and `tree` are lists, or both nullptr: built
// from `recording` when first read, or without one empty lists made then
// (most searches record nothing, and most of their results are never asked).
struct ResultParts {
  PyObject* path = nullptr;  // list, or nullptr for "no path"
  PyObject* trace = nullptr;
  PyObject* tree = nullptr;
  std::unique_ptr<Recording> recording;
  double cost = 0.0;
  std::uint64_t nodes_expanded = 0, nodes_generated = 0, nodes_reopened = 0, max_frontier_size = 0;
  double elapsed = 0.0;
  StopReason stop_reason = StopReason::Exhausted;
};

PyObject* make_result(const ModuleState& state, ResultParts&& parts);

// The module's private function that unpickles a SearchResult (`module` is
// its self), under the name kRestoreResult.
inline constexpr const char* kRestoreResult = "_restore_search_result";
PyObject* restore_search_result(PyObject* module, PyObject* args);

template <class Node>
PyRef node_list(const std::vector<Node>& nodes) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(nodes.size())));
  if (!list) throw_py_error();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    PyObject* item = into_py_node(nodes[i]);
    if (!item) throw_py_error();
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);  // steals
  }
  return list;
}

template <class Node>
class RecordingOf final : public Recording {
 public:
  RecordingOf(std::vector<TraceStep<Node>>&& trace, std::vector<std::pair<Node, Node>>&& tree)
      : trace_(std::move(trace)), tree_(std::move(tree)) {}

  PyObject* trace() override {
    const GcPause pause;
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(trace_.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < trace_.size(); ++i) {
      const auto& step = trace_[i];
      PyRef node = PyRef::steal(into_py_node(step.node));
      PyRef g = step.g ? PyRef::steal(PyFloat_FromDouble(*step.g)) : PyRef::borrow(Py_None);
      PyRef size = PyRef::steal(PyLong_FromUnsignedLongLong(step.frontier_size));
      if (!node || !g || !size) return nullptr;
      PyObject* tuple = PyTuple_Pack(3, node.get(), g.get(), size.get());
      if (!tuple) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), tuple);  // steals
    }
    std::vector<TraceStep<Node>>().swap(trace_);
    return list.release();
  }

  PyObject* tree() override {
    const GcPause pause;
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(tree_.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < tree_.size(); ++i) {
      PyRef parent = PyRef::steal(into_py_node(tree_[i].first));
      PyRef child = parent ? PyRef::steal(into_py_node(tree_[i].second)) : PyRef();
      if (!child) return nullptr;
      PyObject* tuple = PyTuple_Pack(2, parent.get(), child.get());
      if (!tuple) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), tuple);
    }
    std::vector<std::pair<Node, Node>>().swap(tree_);
    return list.release();
  }

 private:
  std::vector<TraceStep<Node>> trace_;
  std::vector<std::pair<Node, Node>> tree_;
};

// The path's list: node_list, unless the caller has a cheaper way.
struct NodeList {
  template <class Node>
  PyRef operator()(const std::vector<Node>& nodes) const {
    return node_list(nodes);
  }
};

// Converts a core result into a new Python SearchResult, its path listed by
// `path_list`; a non-empty trace or tree stays in core form until first read.
template <class Node, class PathList = NodeList>
PyObject* to_py_result(const ModuleState& state, SearchResult<Node>&& r, const PathList& path_list = {}) {
  ResultParts parts;
  if (r.path) parts.path = path_list(*r.path).release();
  if (!r.trace.empty() || !r.tree.empty()) {
    parts.recording = std::make_unique<RecordingOf<Node>>(std::move(r.trace), std::move(r.tree));
  }
  parts.cost = r.cost;
  parts.nodes_expanded = r.nodes_expanded;
  parts.nodes_generated = r.nodes_generated;
  parts.nodes_reopened = r.nodes_reopened;
  parts.max_frontier_size = r.max_frontier_size;
  parts.elapsed = r.elapsed.seconds();
  parts.stop_reason = r.stop_reason;
  PyObject* out = make_result(state, std::move(parts));
  if (!out) throw_py_error();
  return out;
}

}  // namespace quellostrin::py
