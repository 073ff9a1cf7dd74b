#include "callbacks.hpp"

namespace quellostrin::py {

namespace {

// Converts `obj` to a signed 64-bit int. Returns nothing and clears the error
// when it is not one (not an int, or out of range).
std::optional<std::int64_t> as_i64(PyObject* obj) {
  const long long v = PyLong_AsLongLong(obj);
  if (v == -1 && PyErr_Occurred()) {
    if (pending_is_ordinary()) PyErr_Clear();
    return std::nullopt;
  }
  return static_cast<std::int64_t>(v);
}

}  // namespace

std::optional<ImplicitState> py_to_state(PyObject* obj) {
  if (PyLong_Check(obj) || !PySequence_Check(obj)) {
    // Ints, bools and index-protocol objects; anything else that is not a
    // sequence fails here too.
    auto v = as_i64(obj);
    if (!v) return std::nullopt;
    return ImplicitState{*v};
  }
  if (PyUnicode_Check(obj)) return std::nullopt;
  // A sequence might still be an index-protocol object (a NumPy integer is
  // not a sequence, but be generous with exotic types).
  if (PyIndex_Check(obj)) {
    auto v = as_i64(obj);
    if (v) return ImplicitState{*v};
    if (PyErr_Occurred()) return std::nullopt;
  }
  const Py_ssize_t n = PySequence_Size(obj);
  if (n < 0) {
    if (pending_is_ordinary()) PyErr_Clear();
    return std::nullopt;
  }
  ImplicitState state;
  state.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyRef item = PyRef::steal(PySequence_GetItem(obj, i));
    if (!item) {
      if (pending_is_ordinary()) PyErr_Clear();
      return std::nullopt;
    }
    if (PyUnicode_Check(item.get())) return std::nullopt;
    auto v = as_i64(item.get());
    if (!v) return std::nullopt;
    state.push_back(*v);
  }
  return state;
}

void PyImplicitGraph::neighbors_into(const Node& state, SuccessorList<Node>& out) const {
  call_into(successors_, kBadSuccessors, state, out);
}

void PyImplicitGraph::predecessors_into(const Node& state, SuccessorList<Node>& out) const {
  if (predecessors_) call_into(predecessors_, kBadPredecessors, state, out);
}

void PyImplicitGraph::call_into(PyObject* callable, const char* bad_list, const Node& state,
                                SuccessorList<Node>& out) const {
  if (slot_->has_error()) return;
  PyRef arg = PyRef::steal(into_py_node(state));
  PyRef result = arg ? PyRef::steal(PyObject_CallFunctionObjArgs(callable, arg.get(), nullptr)) : PyRef();
  if (!result) {
    slot_->store_pending();
    return;
  }
  PyObject* seq = result.get();
  if (PyUnicode_Check(seq) || !PySequence_Check(seq)) {
    slot_->store_value_error(bad_list);
    return;
  }
  const Py_ssize_t n = PySequence_Size(seq);
  if (n < 0) {
    slot_->store_value_error(bad_list);
    return;
  }
  // First every item's shape and cost, then every state: a failing call never
  // yields a partial list.
  std::vector<PyRef> states;
  std::vector<double> costs;
  states.reserve(static_cast<std::size_t>(n));
  costs.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    // A pair is a tuple, or any other sequence of two (a list, say).
    PyRef item = PyRef::steal(PySequence_GetItem(seq, i));
    PyRef next_obj, cost_obj;
    if (item && PyTuple_Check(item.get()) && PyTuple_Size(item.get()) == 2) {
      next_obj = PyRef::borrow(PyTuple_GetItem(item.get(), 0));
      cost_obj = PyRef::borrow(PyTuple_GetItem(item.get(), 1));
    } else if (item && !PyTuple_Check(item.get()) && !PyUnicode_Check(item.get()) && PySequence_Check(item.get()) &&
               PySequence_Size(item.get()) == 2) {
      next_obj = PyRef::steal(PySequence_GetItem(item.get(), 0));
      cost_obj = next_obj ? PyRef::steal(PySequence_GetItem(item.get(), 1)) : PyRef();
    }
    const double cost = cost_obj ? PyFloat_AsDouble(cost_obj.get()) : -1.0;
    if (!cost_obj || (cost == -1.0 && PyErr_Occurred())) {
      slot_->store_value_error(bad_list);
      return;
    }
    costs.push_back(cost);
    states.push_back(std::move(next_obj));
  }
  const std::size_t before = out.size();
  for (std::size_t i = 0; i < states.size(); ++i) {
    auto next = py_to_state(states[i].get());
    if (!next) {
      out.resize(before);
      slot_->store_value_error(kBadState);
      return;
    }
    out.emplace_back(std::move(*next), costs[i]);
  }
}

}  // namespace quellostrin::py
