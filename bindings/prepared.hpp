// The machinery of the prepared classes (Grid, Graph, WordList): an object
// that owns one immutable core value for its whole life, built by the class's
// constructor from the same arguments as the matching function, and queried
// by methods that never change it. Being immutable, an object may be queried
// from many threads at once, with or without the interpreter lock.
#pragma once

#include <Python.h>

#include <memory>
#include <string>
#include <utility>

#include "errors.hpp"
#include "module_state.hpp"
#include "py_ref.hpp"
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
  PyRef restore = PyRef::steal(PyObject_GetAttrString(PyType_GetModule(Py_TYPE(self)), name));
  if (!restore) throw_py_error();
  return PyTuple_Pack(2, restore.get(), args.get());
}

// The class `spec` made for `module`, added to it under its name and kept
// in `slot` of the module state.
inline bool add_prepared_type(PyObject* module, PyType_Spec* spec, PyObject*& slot) {
  slot = PyType_FromModuleAndSpec(module, spec, nullptr);
  return slot && PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(slot)) == 0;
}

inline constexpr unsigned kPreparedFlags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;

}  // namespace quellostrin::py
