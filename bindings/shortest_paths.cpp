// bellman_ford and floyd_warshall over an edge list, and the classes
// ShortestPaths and AllPairs that hold their results. Each object owns its
// core result for its whole life; every attribute read or method call builds
// new Python objects from it, except the buffer each exports: a read-only
// view of its float64 distances (ShortestPaths: dist, length n; AllPairs: the
// n x n table, row-major), which holds a reference to the object and so keeps
// the table alive. Nothing ever changes a table after the object is built, so
// exports need no counting and there is nothing to do when one is released.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "bytes.hpp"
#include "entry_points.hpp"
#include "quellostrin/shortest_paths.hpp"
#include "runner.hpp"
#include "table_buffer.hpp"

namespace quellostrin::py {
namespace {

const std::vector<double>& table_of(const ShortestPaths& sp) { return sp.dist; }
const std::vector<double>& table_of(const AllPairs& ap) { return ap.dist; }

TableLayout layout_of(const ShortestPaths& sp) { return TableLayout::row(sp.dist.size()); }
// dist holds n * n doubles, so neither n * n nor its size in bytes overflows.
TableLayout layout_of(const AllPairs& ap) { return TableLayout::matrix(ap.num_nodes, ap.num_nodes); }

template <class Core>
struct Holder {
  PyObject_HEAD
  Core* core;
  TableLayout layout;
};

template <class Core>
const Core& core_of(PyObject* self) {
  return *reinterpret_cast<Holder<Core>*>(self)->core;
}

template <class Core>
void holder_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete reinterpret_cast<Holder<Core>*>(self)->core;
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(self);
  Py_DECREF(type);
}

// A new object of `type` that takes `core` over.
template <class Core>
PyObject* wrap(PyObject* type, Core&& core) {
  auto owned = std::make_unique<Core>(std::move(core));
  auto* t = reinterpret_cast<PyTypeObject*>(type);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(t, Py_tp_alloc));
  PyObject* self = alloc(t, 0);
  if (!self) throw_py_error();
  auto* holder = reinterpret_cast<Holder<Core>*>(self);
  holder->layout = layout_of(*owned);
  holder->core = owned.release();
  return self;
}

// Exports the distance table (see table_buffer.hpp).
template <class Core>
int holder_getbuffer(PyObject* self, Py_buffer* view, int flags) noexcept {
  const auto* holder = reinterpret_cast<const Holder<Core>*>(self);
  return export_table(self, view, flags, table_of(*holder->core).data(), holder->layout,
                      "shortest-path distances are read-only");
}

// Value equality: every field equal, distances as floats with NaN equal to
// NaN. Another type compares as NotImplemented; without a __hash__ of its own
// either class is unhashable.
bool same_distances(const std::vector<double>& a, const std::vector<double>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); });
}
bool same_value(const ShortestPaths& a, const ShortestPaths& b) {
  return a.source == b.source && a.negative_cycle == b.negative_cycle && a.pred == b.pred &&
         same_distances(a.dist, b.dist);
}
bool same_value(const AllPairs& a, const AllPairs& b) {
  return a.num_nodes == b.num_nodes && a.negative_cycle == b.negative_cycle && a.next_hop == b.next_hop &&
         same_distances(a.dist, b.dist);
}

template <class Core>
PyObject* holder_richcompare(PyObject* a, PyObject* b, int op) {
  if ((op != Py_EQ && op != Py_NE) || Py_TYPE(b) != Py_TYPE(a)) Py_RETURN_NOTIMPLEMENTED;
  return PyBool_FromLong(same_value(core_of<Core>(a), core_of<Core>(b)) == (op == Py_EQ));
}

// Wraps a getter or repr body in the boundary of the object's module.
template <class F>
PyObject* guarded_on(PyObject* self, F&& f) {
  return guarded(state_of_type(Py_TYPE(self)).internal_error, std::forward<F>(f));
}

PyObject* node_list_or_none(const std::optional<std::vector<std::uint64_t>>& path) {
  if (!path) return Py_NewRef(Py_None);
  return node_list(*path).release();
}

PyObject* float_list(const double* values, std::size_t n) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(n)));
  if (!list) throw_py_error();
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* item = PyFloat_FromDouble(values[i]);
    if (!item) throw_py_error();
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);  // steals
  }
  return list.release();
}

PyObject* text(const std::string& s) {
  return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}

const char* flag(bool b) { return b ? "true" : "false"; }

// ---- Pickling. The arrays travel as bytes, 8 little-endian bytes per entry
// (an absent predecessor or hop as 2^64 - 1, which no node number reaches);
// the module's private restore functions check them before building the
// object, so a bad pickle cannot make path rebuilding read out of bounds.

constexpr std::uint64_t kAbsentNode = UINT64_MAX;

PyObject* nodes_to_bytes(const std::vector<std::optional<std::uint64_t>>& values) {
  return words_to_bytes(values, [](const std::optional<std::uint64_t>& v) { return v.value_or(kAbsentNode); });
}

// The 8-byte words of `bytes`, which must hold exactly `count` of them.
std::vector<std::uint64_t> words_of(PyObject* bytes, std::uint64_t count, const char* what) {
  const std::string bad = std::string("a pickled shortest-path result has the wrong size of ") + what;
  std::vector<std::uint64_t> words = words_from_bytes(bytes, bad.c_str());
  if (words.size() != count) throw ValueErr(bad);
  return words;
}

std::vector<double> doubles_of(PyObject* bytes, std::uint64_t count, const char* what) {
  std::vector<double> out;
  out.reserve(count);
  for (std::uint64_t w : words_of(bytes, count, what)) out.push_back(std::bit_cast<double>(w));
  return out;
}

// Node numbers below `n`, or absent.
std::vector<std::optional<std::uint64_t>> nodes_of(PyObject* bytes, std::uint64_t count, std::uint64_t n,
                                                   const char* what) {
  std::vector<std::optional<std::uint64_t>> out;
  out.reserve(count);
  for (std::uint64_t w : words_of(bytes, count, what)) {
    if (w != kAbsentNode && w >= n) throw ValueErr(std::string("a pickled shortest-path result names a node past its nodes in ") + what);
    out.push_back(w == kAbsentNode ? std::nullopt : std::optional<std::uint64_t>(w));
  }
  return out;
}

// (the module's function `name`, args): what __reduce__ returns.
PyObject* reduce_to(PyObject* self, const char* name, PyObject* args) {
  PyRef owned_args = PyRef::steal(args);
  if (!owned_args) throw_py_error();
  // By an interned name, which the interpreter's attribute cache keys by address.
  PyRef attr = PyRef::steal(PyUnicode_InternFromString(name));
  PyRef restore = attr ? PyRef::steal(PyObject_GetAttr(PyType_GetModule(Py_TYPE(self)), attr.get())) : PyRef();
  if (!restore) throw_py_error();
  return PyTuple_Pack(2, restore.get(), owned_args.get());
}

// ---- ShortestPaths

PyObject* sp_source(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(core_of<ShortestPaths>(self).source); }
PyObject* sp_dist(PyObject* self, void*) {
  return guarded_on(self, [&] {
    const auto& d = core_of<ShortestPaths>(self).dist;
    return float_list(d.data(), d.size());
  });
}
PyObject* sp_pred(PyObject* self, void*) {
  return guarded_on(self, [&] {
    const auto& pred = core_of<ShortestPaths>(self).pred;
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(pred.size())));
    if (!list) throw_py_error();
    for (std::size_t i = 0; i < pred.size(); ++i) {
      PyObject* item = pred[i] ? PyLong_FromUnsignedLongLong(*pred[i]) : Py_NewRef(Py_None);
      if (!item) throw_py_error();
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
  });
}
PyObject* sp_negative_cycle(PyObject* self, void*) {
  return PyBool_FromLong(core_of<ShortestPaths>(self).negative_cycle);
}
PyObject* sp_repr(PyObject* self) {
  return guarded_on(self, [&] {
    const auto& sp = core_of<ShortestPaths>(self);
    return text("ShortestPaths(source=" + std::to_string(sp.source) + ", nodes=" + std::to_string(sp.dist.size()) +
                ", negative_cycle=" + flag(sp.negative_cycle) + ")");
  });
}

struct TargetArgs {
  std::uint64_t target = 0;
};
constexpr auto kPathTo = signature<TargetArgs>(
    "path_to", R"(Rebuild the ``source -> target`` shortest path (inclusive), or ``None``
if ``target`` is unreachable or has no shortest path (distance ``-inf``).)",
    Params<TargetArgs>::required<&TargetArgs::target, to_u64>("target"));
PyObject* path_to(ModuleState&, PyObject* self, const TargetArgs& a) {
  return node_list_or_none(core_of<ShortestPaths>(self).path_to(a.target));
}

PyObject* sp_reduce(PyObject* self, PyObject*) {
  return guarded_on(self, [&] {
    const auto& sp = core_of<ShortestPaths>(self);
    PyRef dist = PyRef::steal(doubles_to_bytes(sp.dist));
    PyRef pred = PyRef::steal(nodes_to_bytes(sp.pred));
    return reduce_to(self, kRestoreShortestPaths,
                     Py_BuildValue("(KOOO)", static_cast<unsigned long long>(sp.source),
                                   sp.negative_cycle ? Py_True : Py_False, dist.get(), pred.get()));
  });
}

PyGetSetDef sp_getset[] = {
    {"source", sp_source, nullptr, nullptr, nullptr},
    {"dist", sp_dist, nullptr, nullptr, nullptr},
    {"pred", sp_pred, nullptr, nullptr, nullptr},
    {"negative_cycle", sp_negative_cycle, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* sp_methods() {
  static PyMethodDef defs[] = {method_of_class<kPathTo, path_to>(),
                               {"__reduce__", sp_reduce, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};
  return defs;
}

const char kShortestPathsDoc[] = R"(Single-source shortest paths, as ``bellman_ford`` and ``Graph.dijkstra`` return them.

Attributes:
    source (int): the node distances are measured from.
    dist (list[float]): ``dist[v]`` is the cost of the cheapest
        ``source -> v`` path: ``inf`` if ``v`` is unreachable, ``-inf`` if a
        negative cycle lies on a walk from ``source`` to ``v`` (there are
        then ever cheaper walks and no shortest path).
    pred (list[int | None]): predecessor of each node on a shortest path
        (``None`` for the source and for nodes at ``inf`` or ``-inf``).
    negative_cycle (bool): whether a negative-weight cycle is reachable from
        ``source``; the nodes it reaches are those at ``-inf``.

``numpy.asarray(result)`` views ``dist`` as a read-only float64 array,
without copying. Two results are equal (``==``) when every attribute is, a
``nan`` distance equal to another; they are not hashable.)";

// ---- AllPairs

PyObject* ap_num_nodes(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(core_of<AllPairs>(self).num_nodes); }
PyObject* ap_negative_cycle(PyObject* self, void*) { return PyBool_FromLong(core_of<AllPairs>(self).negative_cycle); }
PyObject* ap_repr(PyObject* self) {
  return guarded_on(self, [&] {
    const auto& ap = core_of<AllPairs>(self);
    return text("AllPairs(num_nodes=" + std::to_string(ap.num_nodes) + ", negative_cycle=" + flag(ap.negative_cycle) +
                ")");
  });
}

struct PairArgs {
  std::uint64_t from = 0;
  std::uint64_t to = 0;
};
using PP = Params<PairArgs>;
constexpr auto kDistance = signature<PairArgs>(
    "distance", R"(Cost of the cheapest ``from_ -> to`` path (``inf`` if none, ``0`` if
``from_ == to``, ``-inf`` if a negative cycle lies on a walk between them).)",
    PP::required<&PairArgs::from, to_u64>("from_"), PP::required<&PairArgs::to, to_u64>("to"));
constexpr auto kPath = signature<PairArgs>(
    "path", R"(Rebuild the cheapest ``from_ -> to`` path (inclusive), or ``None`` if
there is none (distance ``inf``) or no cheapest one (distance ``-inf``).)",
    PP::required<&PairArgs::from, to_u64>("from_"), PP::required<&PairArgs::to, to_u64>("to"));
struct NoArgs {};
constexpr auto kMatrix = signature<NoArgs>("matrix", "The full ``n x n`` distance matrix as a list of rows.");

PyObject* distance(ModuleState&, PyObject* self, const PairArgs& a) {
  return PyFloat_FromDouble(core_of<AllPairs>(self).distance(a.from, a.to));
}
PyObject* path(ModuleState&, PyObject* self, const PairArgs& a) {
  return node_list_or_none(core_of<AllPairs>(self).path(a.from, a.to));
}
PyObject* matrix(ModuleState&, PyObject* self, const NoArgs&) {
  const auto& ap = core_of<AllPairs>(self);
  const auto n = static_cast<std::size_t>(ap.num_nodes);
  PyRef rows = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(n)));
  if (!rows) throw_py_error();
  for (std::size_t i = 0; i < n; ++i) {
    PyList_SetItem(rows.get(), static_cast<Py_ssize_t>(i), float_list(ap.dist.data() + i * n, n));
  }
  return rows.release();
}

PyObject* ap_reduce(PyObject* self, PyObject*) {
  return guarded_on(self, [&] {
    const auto& ap = core_of<AllPairs>(self);
    PyRef dist = PyRef::steal(doubles_to_bytes(ap.dist));
    PyRef hops = PyRef::steal(nodes_to_bytes(ap.next_hop));
    return reduce_to(self, kRestoreAllPairs,
                     Py_BuildValue("(KOOO)", static_cast<unsigned long long>(ap.num_nodes),
                                   ap.negative_cycle ? Py_True : Py_False, dist.get(), hops.get()));
  });
}

PyGetSetDef ap_getset[] = {
    {"num_nodes", ap_num_nodes, nullptr, nullptr, nullptr},
    {"negative_cycle", ap_negative_cycle, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* ap_methods() {
  static PyMethodDef defs[] = {method_of_class<kDistance, distance>(), method_of_class<kMatrix, matrix>(),
                               method_of_class<kPath, path>(),
                               {"__reduce__", ap_reduce, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};
  return defs;
}

const char kAllPairsDoc[] = R"(All-pairs shortest paths, as ``floyd_warshall`` returns them.

A pair whose walks pass a negative-weight cycle has distance ``-inf`` and no
path; every other pair keeps its distance and path.

``numpy.asarray(result)`` views the ``n x n`` distance matrix as a read-only
float64 array, without copying.

Two results are equal (``==``) when their distances (``nan`` equal to
``nan``), paths and flags are; they are not hashable.

Attributes:
    num_nodes (int): number of nodes ``n``.
    negative_cycle (bool): whether the graph has any negative-weight cycle.)";

// The class spec of a holder type. Neither class can be instantiated from
// Python (no constructor) nor has settable attributes; both export their
// distances as a buffer.
template <class Core>
PyType_Spec holder_spec(const char* name, const char* doc, PyGetSetDef* getset, PyMethodDef* methods, reprfunc repr) {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(doc)},
      {Py_tp_repr, reinterpret_cast<void*>(repr)},
      {Py_tp_richcompare, reinterpret_cast<void*>(holder_richcompare<Core>)},
      {Py_tp_getset, getset},
      {Py_tp_methods, methods},
      {Py_tp_dealloc, reinterpret_cast<void*>(holder_dealloc<Core>)},
      {Py_bf_getbuffer, reinterpret_cast<void*>(holder_getbuffer<Core>)},
      {0, nullptr},
  };
  return {name, sizeof(Holder<Core>), 0,
          Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE, slots};
}

// ---- bellman_ford and floyd_warshall

// Runs `run(graph, hook)` over the edge list with the lock released, the
// graph's construction included; the hook polls for Ctrl-C once per pass (or
// pivot), and a signal handler that raises ends the run and the call raises
// that.
template <class Run>
auto run_released(ModuleState& state, std::uint64_t num_nodes, const std::vector<Edge>& edges, bool undirected,
                  Run&& run) {
  return run_unlocked(state, [&](const StopHook& stop) {
    const CsrGraph graph = CsrGraph::from_edges(num_nodes, edges, undirected);
    return run(graph, stop);
  });
}

struct BellmanFordArgs {
  std::uint64_t num_nodes = 0;
  std::vector<Edge> edges;
  std::uint64_t source = 0;
  bool undirected = false;
};

using BP = Params<BellmanFordArgs>;
constexpr auto kBellmanFord = signature<BellmanFordArgs>(
    "bellman_ford",
    R"(**Bellman–Ford** single-source shortest paths on an explicit weighted graph.

Unlike Dijkstra/A*, this tolerates **negative edge weights** and reports a
reachable negative cycle: the nodes it reaches get distance ``-inf`` and no
path. Edges are ``(u, v, w)`` over ``0..num_nodes``; a weight of ``inf`` means
no edge (the edge is left out), ``-inf`` is refused.

``undirected`` defaults to ``False``: negative weights are the whole point,
and an undirected negative edge is itself a trivial negative cycle.)",
    BP::required<&BellmanFordArgs::num_nodes, to_u64>("num_nodes"),
    BP::required<&BellmanFordArgs::edges, to_edges>("edges"),
    BP::required<&BellmanFordArgs::source, to_u64>("source"),
    BP::optional<&BellmanFordArgs::undirected, to_bool>("undirected"));

PyObject* bellman_ford_py(ModuleState& state, const BellmanFordArgs& a) {
  if (a.source >= a.num_nodes) throw ValueErr("source must be < num_nodes");
  check_edges(a.num_nodes, a.edges);
  check_no_negative_infinity(a.edges);
  check_single_source_size(a.num_nodes);
  return wrap(state.shortest_paths_type,
              run_released(state, a.num_nodes, a.edges, a.undirected, [&](const CsrGraph& graph, const StopHook& stop) {
                return bellman_ford(graph, a.source, stop);
              }));
}

struct FloydWarshallArgs {
  std::uint64_t num_nodes = 0;
  std::vector<Edge> edges;
  bool undirected = false;
};

using FP = Params<FloydWarshallArgs>;
constexpr auto kFloydWarshall = signature<FloydWarshallArgs>(
    "floyd_warshall",
    R"(**Floyd–Warshall** all-pairs shortest paths on an explicit weighted graph.

``O(V³)`` — for small/medium or dense graphs where you want *every* distance
at once. Tolerates negative edges and flags any negative cycle; pairs whose
walks pass one get distance ``-inf`` and no path. Edges are ``(u, v, w)`` over
``0..num_nodes``; a weight of ``inf`` means no edge, ``-inf`` is refused;
``undirected`` defaults to ``False``.)",
    FP::required<&FloydWarshallArgs::num_nodes, to_u64>("num_nodes"),
    FP::required<&FloydWarshallArgs::edges, to_edges>("edges"),
    FP::optional<&FloydWarshallArgs::undirected, to_bool>("undirected"));

PyObject* floyd_warshall_py(ModuleState& state, const FloydWarshallArgs& a) {
  check_edges(a.num_nodes, a.edges);
  check_no_negative_infinity(a.edges);
  check_all_pairs_size(a.num_nodes);
  return wrap(state.all_pairs_type,
              run_released(state, a.num_nodes, a.edges, a.undirected,
                           [](const CsrGraph& graph, const StopHook& stop) { return floyd_warshall(graph, stop); }));
}

}  // namespace

PyObject* restore_shortest_paths(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    unsigned long long source = 0;
    int negative_cycle = 0;
    PyObject *dist, *pred;
    if (!PyArg_ParseTuple(args, "KpO!O!:_restore_shortest_paths", &source, &negative_cycle, &PyBytes_Type, &dist,
                          &PyBytes_Type, &pred)) {
      throw_py_error();
    }
    ShortestPaths sp;
    sp.dist = doubles_of(dist, static_cast<std::uint64_t>(PyBytes_Size(dist)) / 8, "dist");
    const std::uint64_t n = sp.dist.size();
    sp.pred = nodes_of(pred, n, n, "pred");
    if (source >= n) throw ValueErr("a pickled shortest-path result has its source past its nodes");
    sp.source = source;
    sp.negative_cycle = negative_cycle != 0;
    return wrap(state.shortest_paths_type, std::move(sp));
  });
}

PyObject* restore_all_pairs(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    unsigned long long n = 0;
    int negative_cycle = 0;
    PyObject *dist, *hops;
    if (!PyArg_ParseTuple(args, "KpO!O!:_restore_all_pairs", &n, &negative_cycle, &PyBytes_Type, &dist,
                          &PyBytes_Type, &hops)) {
      throw_py_error();
    }
    std::uint64_t cells = 0;
    if (__builtin_mul_overflow(n, n, &cells)) throw ValueErr("a pickled shortest-path result has the wrong size of dist");
    AllPairs ap;
    ap.dist = doubles_of(dist, cells, "dist");
    ap.next_hop = nodes_of(hops, cells, n, "next_hop");
    ap.num_nodes = n;
    ap.negative_cycle = negative_cycle != 0;
    return wrap(state.all_pairs_type, std::move(ap));
  });
}

PyObject* new_shortest_paths(ModuleState& state, ShortestPaths&& result) {
  return wrap(state.shortest_paths_type, std::move(result));
}
PyObject* new_all_pairs(ModuleState& state, AllPairs&& result) { return wrap(state.all_pairs_type, std::move(result)); }

PyMethodDef bellman_ford_method() { return method<kBellmanFord, bellman_ford_py>(); }
PyMethodDef floyd_warshall_method() { return method<kFloydWarshall, floyd_warshall_py>(); }

bool add_shortest_path_types(PyObject* module, ModuleState& state) {
  static PyType_Spec sp_spec = holder_spec<ShortestPaths>("quellostrin.quellostrin_native.ShortestPaths", kShortestPathsDoc,
                                                          sp_getset, sp_methods(), sp_repr);
  static PyType_Spec ap_spec =
      holder_spec<AllPairs>("quellostrin.quellostrin_native.AllPairs", kAllPairsDoc, ap_getset, ap_methods(), ap_repr);
  state.shortest_paths_type = PyType_FromModuleAndSpec(module, &sp_spec, nullptr);
  if (!state.shortest_paths_type ||
      PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(state.shortest_paths_type)) != 0) {
    return false;
  }
  state.all_pairs_type = PyType_FromModuleAndSpec(module, &ap_spec, nullptr);
  return state.all_pairs_type && PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(state.all_pairs_type)) == 0;
}

}  // namespace quellostrin::py
