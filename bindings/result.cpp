#include "result.hpp"

#include <structmember.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "quellostrin/errors.hpp"

namespace quellostrin::py {

namespace {

struct PySearchResult {
  PyObject_HEAD PyObject* path;
  double cost;
  char found;
  unsigned long long nodes_expanded;
  unsigned long long nodes_generated;
  unsigned long long nodes_reopened;
  unsigned long long max_frontier_size;
  double elapsed;
  const char* stop_reason;  // static text
  PyObject* trace;         // nullptr until first read: built from `recording`, or empty without one
  PyObject* tree;          // likewise
  Recording* recording;    // owned; nullptr once both lists exist, or when nothing was recorded
};

// Shortest decimal that reads back as the same double, never with an exponent
// (7.0 -> "7", 1e-7 -> "0.0000001", 1e21 -> all its digits).
// A cost as the repr shows it: an integral value below 2**53 in magnitude
// without a fraction ("14"), anything else as Python's repr of the float
// ("2.5", "1e+300", "nan").
std::string cost_text(double v) {
  char buf[64];
  if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 0x1p53) {
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, res.ptr);
  }
  if (!std::isfinite(v)) return std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf";
  // Python writes the shortest round-trip digits in positional form for
  // decimal exponents -4 to 15 (with ".0" on an integral value), and in
  // scientific form with a two-digit-or-longer exponent otherwise.
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string text(buf, res.ptr);
  const int exponent = std::stoi(text.substr(text.find('e') + 1));
  if (exponent < -4 || exponent >= 16) return text;
  res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  text.assign(buf, res.ptr);
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

// The reasons a result a user sees can give.
constexpr StopReason kStopReasons[] = {StopReason::Goal, StopReason::Exhausted, StopReason::NodeLimit,
                                       StopReason::TimeLimit, StopReason::MemoryLimit};

std::string fixed6(double v) {
  char buf[512];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  return std::string(buf, res.ptr);
}

PyObject* result_repr(PyObject* self_obj) {
  return guarded(state_of_type(Py_TYPE(self_obj)).internal_error, [&]() -> PyObject* {
    auto* self = reinterpret_cast<PySearchResult*>(self_obj);
    std::string text = "SearchResult(found=";
    text += self->found ? "True" : "False";
    text += ", cost=";
    text += self->found ? cost_text(self->cost) : "inf";
    text += ", expanded=" + std::to_string(self->nodes_expanded);
    text += ", frontier=" + std::to_string(self->max_frontier_size);
    text += ", elapsed=" + fixed6(self->elapsed);
    text += ", stop=";
    text += self->stop_reason;
    text += ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

int result_traverse(PyObject* self_obj, visitproc visit, void* arg) {
  auto* self = reinterpret_cast<PySearchResult*>(self_obj);
  Py_VISIT(Py_TYPE(self_obj));
  Py_VISIT(self->path);
  Py_VISIT(self->trace);
  Py_VISIT(self->tree);
  return 0;
}

int result_clear(PyObject* self_obj) {
  auto* self = reinterpret_cast<PySearchResult*>(self_obj);
  Py_CLEAR(self->path);
  Py_CLEAR(self->trace);
  Py_CLEAR(self->tree);
  return 0;
}

void result_dealloc(PyObject* self_obj) {
  PyTypeObject* type = Py_TYPE(self_obj);
  PyObject_GC_UnTrack(self_obj);
  result_clear(self_obj);
  auto* self = reinterpret_cast<PySearchResult*>(self_obj);
  delete std::exchange(self->recording, nullptr);
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(self_obj);
  Py_DECREF(type);
}

// `trace` or `tree` (`field`), built from the recording (or empty, when
// nothing was recorded) on first read.
PyObject* recorded(PyObject* self_obj, PyObject* PySearchResult::*field) {
  return guarded(state_of_type(Py_TYPE(self_obj)).internal_error, [&]() -> PyObject* {
    auto* self = reinterpret_cast<PySearchResult*>(self_obj);
    if (!(self->*field)) {
      PyObject* list = !self->recording                   ? PyList_New(0)
                       : field == &PySearchResult::trace ? self->recording->trace()
                                                          : self->recording->tree();
      if (!list) throw_py_error();
      self->*field = list;
      if (self->trace && self->tree) delete std::exchange(self->recording, nullptr);
    }
    return Py_NewRef(self->*field);
  });
}

PyObject* get_trace(PyObject* self, void*) { return recorded(self, &PySearchResult::trace); }
PyObject* get_tree(PyObject* self, void*) { return recorded(self, &PySearchResult::tree); }

// Value equality: equal when every field but `elapsed` is, `path`, `trace`
// and `tree` by Python's == (which builds a recording's lists), costs as
// floats with NaN equal to NaN. Another type compares as NotImplemented;
// without a __hash__ of its own the class is unhashable.
PyObject* result_richcompare(PyObject* a_obj, PyObject* b_obj, int op) {
  if ((op != Py_EQ && op != Py_NE) || Py_TYPE(b_obj) != Py_TYPE(a_obj)) Py_RETURN_NOTIMPLEMENTED;
  return guarded(state_of_type(Py_TYPE(a_obj)).internal_error, [&]() -> PyObject* {
    const auto* a = reinterpret_cast<PySearchResult*>(a_obj);
    const auto* b = reinterpret_cast<PySearchResult*>(b_obj);
    bool equal = (a->cost == b->cost || (std::isnan(a->cost) && std::isnan(b->cost))) && a->found == b->found &&
                 a->nodes_expanded == b->nodes_expanded && a->nodes_generated == b->nodes_generated &&
                 a->nodes_reopened == b->nodes_reopened && a->max_frontier_size == b->max_frontier_size &&
                 std::strcmp(a->stop_reason, b->stop_reason) == 0;
    // Each list is read in full before the next is asked for: a failed read
    // leaves its error set.
    const auto read = [](PyObject* self, getter get) {
      PyRef list = PyRef::steal(get(self, nullptr));
      if (!list) throw_py_error();
      return list;
    };
    const auto same = [](const PyRef& x, const PyRef& y) {
      const int r = PyObject_RichCompareBool(x.get(), y.get(), Py_EQ);
      if (r < 0) throw_py_error();
      return r == 1;
    };
    equal = equal && same(PyRef::borrow(a->path), PyRef::borrow(b->path));
    for (const getter get : {get_trace, get_tree}) {
      if (!equal) break;
      const PyRef x = read(a_obj, get);
      equal = same(x, read(b_obj, get));
    }
    return PyBool_FromLong(equal == (op == Py_EQ));
  });
}

// Pickling: the module's private _restore_search_result called with every
// attribute but `found` (which is `path is not None`), in member order.
PyObject* result_reduce(PyObject* self_obj, PyObject*) {
  return guarded(state_of_type(Py_TYPE(self_obj)).internal_error, [&]() -> PyObject* {
    auto* self = reinterpret_cast<PySearchResult*>(self_obj);
    PyRef trace = PyRef::steal(get_trace(self_obj, nullptr));
    PyRef tree = trace ? PyRef::steal(get_tree(self_obj, nullptr)) : PyRef();
    if (!tree) throw_py_error();
    // By an interned name, which the interpreter's attribute cache keys by address.
    PyRef attr = PyRef::steal(PyUnicode_InternFromString(kRestoreResult));
    PyRef restore =
        attr ? PyRef::steal(PyObject_GetAttr(PyType_GetModule(Py_TYPE(self_obj)), attr.get())) : PyRef();
    if (!restore) throw_py_error();
    return Py_BuildValue("(O(OdKKKKdsOO))", restore.get(), self->path, self->cost, self->nodes_expanded,
                         self->nodes_generated, self->nodes_reopened, self->max_frontier_size, self->elapsed,
                         self->stop_reason, trace.get(), tree.get());
  });
}

PyMethodDef result_methods[] = {
    {"__reduce__", result_reduce, METH_NOARGS, nullptr},
    // SearchResult[int] and the like, as type checkers know the class, also
    // evaluate at run time (in an annotation, say).
    {"__class_getitem__", Py_GenericAlias, METH_O | METH_CLASS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

#define QS_MEMBER(name, type) {const_cast<char*>(#name), type, offsetof(PySearchResult, name), READONLY, nullptr}

PyMemberDef result_members[] = {
    QS_MEMBER(path, T_OBJECT),
    QS_MEMBER(cost, T_DOUBLE),
    QS_MEMBER(found, T_BOOL),
    QS_MEMBER(nodes_expanded, T_ULONGLONG),
    QS_MEMBER(nodes_generated, T_ULONGLONG),
    QS_MEMBER(nodes_reopened, T_ULONGLONG),
    QS_MEMBER(max_frontier_size, T_ULONGLONG),
    QS_MEMBER(elapsed, T_DOUBLE),
    QS_MEMBER(stop_reason, T_STRING),
    {nullptr, 0, 0, 0, nullptr},
};
#undef QS_MEMBER

PyGetSetDef result_getset[] = {
    {"trace", get_trace, nullptr, nullptr, nullptr},
    {"tree", get_tree, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const char kResultDoc[] = R"(The outcome of a search.

Attributes:
    path (list | None): nodes from start to goal, or ``None`` if unreachable.
        Grid nodes are ``(row, col)`` tuples; graph nodes are ints; implicit
        nodes are ints or tuples (as your successor function returns them).
    cost (float): total cost of ``path`` (``inf`` if none).
    found (bool): whether a path was found.
    nodes_expanded (int): nodes taken off the frontier and expanded. A node
        re-expanded after being reopened counts again.
    nodes_generated (int): nodes ever pushed onto the frontier.
    nodes_reopened (int): how many times a closed node was reopened because a
        cheaper path to it turned up. Always ``0`` unless ``reopen=True``; a
        non-zero count is the signature of an inconsistent heuristic.
    max_frontier_size (int): the most nodes the frontier held at once (a
        measure of the memory the search needed).
    elapsed (float): seconds the search itself took (excluding building the
        graph and converting the result). The companion to
        ``nodes_expanded``, which is machine-independent.
    stop_reason (str): ``"goal"``, ``"exhausted"``, ``"node_limit"`` (the
        ``max_nodes`` option), ``"time_limit"`` (the ``time_limit``
        option: seconds, checked every few thousand expansions) or
        ``"memory_limit"`` (the ``max_memory`` option: bytes).
    trace (list): per-expansion ``(node, g, frontier_size)`` tuples; empty if
        ``record=False``. Replaying ``node`` reproduces the search order
        (``quellostrin.viz`` replays it). ``g`` is the cost from the
        start when the node was expanded, or ``None`` where that is not a
        meaningful question — ``bidirectional`` expands half of its nodes in a
        frontier growing backwards from the goal.
    tree (list): edges ``(parent, child)`` of the search tree (each node's
        best-known parent); empty if ``record=False``;
        ``quellostrin.viz.plot_search_tree`` draws it. Empty for the depth-limited,
        iterative-deepening, beam and bidirectional algorithms.

Two results are equal (``==``) when every attribute but ``elapsed`` is, a
``nan`` cost equal to another; results are not hashable.)";

PyType_Slot result_slots[] = {
    {Py_tp_doc, const_cast<char*>(kResultDoc)},
    {Py_tp_repr, reinterpret_cast<void*>(result_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(result_richcompare)},
    {Py_tp_members, result_members},
    {Py_tp_getset, result_getset},
    {Py_tp_methods, result_methods},
    {Py_tp_traverse, reinterpret_cast<void*>(result_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(result_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(result_dealloc)},
    {0, nullptr},
};

// The dotted name gives the class its __module__, the module's import name,
// so that pickle finds the class there.
PyType_Spec result_spec = {
    "quellostrin.quellostrin_native.SearchResult",
    sizeof(PySearchResult),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE,
    result_slots,
};

}  // namespace

bool add_result_type(PyObject* module, ModuleState& state) {
  state.result_type = PyType_FromModuleAndSpec(module, &result_spec, nullptr);
  return state.result_type && PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(state.result_type)) == 0;
}

PyObject* restore_search_result(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    PyObject *path, *trace, *tree;
    ResultParts parts;
    unsigned long long expanded, generated, reopened, frontier;
    const char* stop;
    if (!PyArg_ParseTuple(args, "OdKKKKdsO!O!:_restore_search_result", &path, &parts.cost, &expanded, &generated,
                          &reopened, &frontier, &parts.elapsed, &stop, &PyList_Type, &trace, &PyList_Type, &tree)) {
      throw_py_error();
    }
    if (path != Py_None && !PyList_Check(path)) throw ValueErr("a pickled SearchResult's path is a list or None");
    if (path != Py_None && PyList_Size(path) == 0) throw ValueErr("a pickled SearchResult's path is empty");
    const auto reason = std::find_if(std::begin(kStopReasons), std::end(kStopReasons),
                                     [&](StopReason r) { return to_string(r) == stop; });
    if (reason == std::end(kStopReasons)) throw ValueErr("a pickled SearchResult's stop_reason is unknown");
    // A search finds a path exactly when it stops at the goal.
    if ((path != Py_None) != (*reason == StopReason::Goal)) {
      throw ValueErr("a pickled SearchResult has a path exactly when its stop_reason is 'goal'");
    }
    parts.stop_reason = *reason;
    parts.nodes_expanded = expanded;
    parts.nodes_generated = generated;
    parts.nodes_reopened = reopened;
    parts.max_frontier_size = frontier;
    parts.path = path == Py_None ? nullptr : Py_NewRef(path);
    parts.trace = Py_NewRef(trace);
    parts.tree = Py_NewRef(tree);
    return make_result(state, std::move(parts));
  });
}

PyObject* make_result(const ModuleState& state, ResultParts&& parts) {
  PyRef path = parts.path ? PyRef::steal(parts.path) : PyRef::borrow(Py_None);
  PyRef trace = PyRef::steal(parts.trace);
  PyRef tree = PyRef::steal(parts.tree);
  auto* type = reinterpret_cast<PyTypeObject*>(state.result_type);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  auto* self = reinterpret_cast<PySearchResult*>(alloc(type, 0));
  if (!self) return nullptr;
  self->found = parts.path != nullptr;
  self->path = path.release();
  self->trace = trace.release();
  self->tree = tree.release();
  self->recording = parts.recording.release();
  self->cost = parts.cost;
  self->nodes_expanded = parts.nodes_expanded;
  self->nodes_generated = parts.nodes_generated;
  self->nodes_reopened = parts.nodes_reopened;
  self->max_frontier_size = parts.max_frontier_size;
  self->elapsed = parts.elapsed;
  self->stop_reason = to_string(parts.stop_reason).data();  // views of string literals
  return reinterpret_cast<PyObject*>(self);
}

}  // namespace quellostrin::py
