// The machinery of the prepared classes (Grid, Graph, WordList): an object
// that owns one immutable core value for its whole life, built by the class's
// constructor from the same arguments as the matching function, and queried
// by methods that never change it. Being immutable, an object may be queried
// from many threads at once, with or without the interpreter lock.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "errors.hpp"
#include "module_state.hpp"
#include "py_ref.hpp"
#include "quellostrin/search/workspace.hpp"
#include "signature.hpp"

namespace quellostrin::py {

template <class Core>
struct PreparedObject {
  PyObject_HEAD
  Core* core;
};

template <class Core>
const Core& prepared(PyObject* self) {
  return *reinterpret_cast<PreparedObject<Core>*>(self)->core;
}

template <class Core>
void prepared_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete reinterpret_cast<PreparedObject<Core>*>(self)->core;
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(self);
  Py_DECREF(type);
}

// A new object of `type` that takes `core` over.
template <class Core>
PyObject* wrap_prepared(PyTypeObject* type, Core&& core) {
  auto owned = std::make_unique<Core>(std::move(core));
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (!self) throw_py_error();
  reinterpret_cast<PreparedObject<Core>*>(self)->core = owned.release();
  return self;
}

// The constructor slot: parses the arguments as the signature `Sig`
// describes, then `Build(ModuleState&, Args&)` makes the core value.
template <class Core, const auto& Sig, auto Build>
PyObject* prepared_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  ModuleState& state = state_of_type(type);
  return guarded(state.internal_error, [&] {
    auto parsed = parse<Sig>(args, kwargs);
    return wrap_prepared<Core>(type, Build(state, parsed));
  });
}

// A getter or repr body inside the boundary of the object's module.
template <class F>
PyObject* guarded_self(PyObject* self, F&& f) {
  return guarded(state_of_type(Py_TYPE(self)).internal_error, std::forward<F>(f));
}

// (the module's function `name`, args): what __reduce__ returns.
inline PyObject* reduce_with(PyObject* self, const char* name, PyRef args) {
  if (!args) throw_py_error();
  // By an interned name, which the interpreter's attribute cache keys by address.
  PyRef attr = PyRef::steal(PyUnicode_InternFromString(name));
  PyRef restore = attr ? PyRef::steal(PyObject_GetAttr(PyType_GetModule(Py_TYPE(self)), attr.get())) : PyRef();
  if (!restore) throw_py_error();
  return PyTuple_Pack(2, restore.get(), args.get());
}

// The prepared class over `Core`, constructed as the signature `Sig`
// describes by `Build`, made for `module`, added to it under `name` (its
// qualified name, whose last part is the class's) and kept in `slot` of the
// module state. `length`, when given, is its len(); `buffer` exports a
// buffer.
template <class Core, const auto& Sig, auto Build>
bool add_prepared_class(PyObject* module, PyObject*& slot, const char* name, const char* doc, reprfunc repr,
                        PyGetSetDef* getset, PyMethodDef* methods, lenfunc length = nullptr,
                        int (*buffer)(PyObject*, Py_buffer*, int) = nullptr) {
  // One table per class, alive as long as the module's types may be made.
  static PyType_Slot slots[9];
  int n = 0;
  slots[n++] = {Py_tp_doc, const_cast<char*>(doc)};
  slots[n++] = {Py_tp_new, reinterpret_cast<void*>(prepared_new<Core, Sig, Build>)};
  slots[n++] = {Py_tp_repr, reinterpret_cast<void*>(repr)};
  slots[n++] = {Py_tp_methods, methods};
  slots[n++] = {Py_tp_dealloc, reinterpret_cast<void*>(prepared_dealloc<Core>)};
  if (getset) slots[n++] = {Py_tp_getset, getset};
  if (length) slots[n++] = {Py_sq_length, reinterpret_cast<void*>(length)};
  if (buffer) slots[n++] = {Py_bf_getbuffer, reinterpret_cast<void*>(buffer)};
  slots[n] = {0, nullptr};
  static PyType_Spec spec;
  spec = {name, sizeof(PreparedObject<Core>), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots};
  slot = PyType_FromModuleAndSpec(module, &spec, nullptr);
  return slot && PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(slot)) == 0;
}

// The workspaces (quellostrin/search/workspace.hpp) a prepared object lends to its
// queries, so that a query's memory is not allocated and cleared again for
// every query. Taken and given back only while the interpreter lock is held,
// which is all the locking it needs; a query holds its workspace while the
// lock is released.
class WorkspacePool {
 public:
  WorkspacePool() = default;
  // Keeps up to `kept` workspaces holding at most `max_bytes` each (arrays
  // and open list).
  WorkspacePool(std::size_t kept, std::uint64_t max_bytes) : kept_(kept), max_bytes_(max_bytes) {}

  std::unique_ptr<Workspace> take() {
    if (free_.empty()) return std::make_unique<Workspace>();
    std::unique_ptr<Workspace> w = std::move(free_.back());
    free_.pop_back();
    return w;
  }
  // Keeps a few for the next queries; drops the rest.
  void give(std::unique_ptr<Workspace> w) {
    if (!w || free_.size() >= kept_) return;
    if (max_bytes_ != kUnlimited && w->held_bytes() > max_bytes_) return;
    free_.push_back(std::move(w));
  }

 private:
  std::size_t kept_ = 4;
  static constexpr std::uint64_t kUnlimited = ~std::uint64_t{0};
  std::uint64_t max_bytes_ = kUnlimited;
  std::vector<std::unique_ptr<Workspace>> free_;
};

// The pool of the searches over a domain built for one call (search_grid,
// search_grid_costs, search_graph): consecutive calls on maps of one size
// reuse its arrays, and its open list's storage, instead of making them
// again. It keeps two of at most 8 MiB each, so what it holds between calls
// stays small.
inline WorkspacePool& one_call_pool(ModuleState& state) {
  if (!state.one_call_workspaces) state.one_call_workspaces = new WorkspacePool(2, std::uint64_t{8} << 20);
  return *state.one_call_workspaces;
}

// A workspace borrowed from a pool for the life of this guard, which must
// end with the interpreter lock held.
class BorrowedWorkspace {
 public:
  explicit BorrowedWorkspace(WorkspacePool& pool) : pool_(&pool), workspace_(pool.take()) {}
  BorrowedWorkspace(BorrowedWorkspace&& other) noexcept = default;
  BorrowedWorkspace(const BorrowedWorkspace&) = delete;
  BorrowedWorkspace& operator=(const BorrowedWorkspace&) = delete;
  ~BorrowedWorkspace() {
    if (workspace_) pool_->give(std::move(workspace_));
  }
  Workspace* get() const { return workspace_.get(); }

 private:
  WorkspacePool* pool_;
  std::unique_ptr<Workspace> workspace_;
};

}  // namespace quellostrin::py
