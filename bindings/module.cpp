// Initialisation of quellostrin_native: the functions and classes are added in
// a fixed order, and each name is appended to __all__ as it is added.
#include <Python.h>

#include "entry_points.hpp"
#include "errors.hpp"
#include "py_ref.hpp"
#include "result.hpp"

namespace quellostrin::py {
namespace {

#define QS_FUNCTION(name, doc) \
  { #name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(name)), METH_VARARGS | METH_KEYWORDS, doc }

// Registration order is part of the module's interface.
PyMethodDef functions[] = {
    QS_FUNCTION(search_graph, kSearchGraphDoc),
    QS_FUNCTION(search_implicit, kSearchImplicitDoc),
    {nullptr, nullptr, 0, nullptr},
};
#undef QS_FUNCTION

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "quellostrin_native", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

bool append_all(PyObject* module, const char* name) {
  PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) return false;
  PyRef text = PyRef::steal(PyUnicode_FromString(name));
  return text && PyList_Append(all.get(), text.get()) == 0;
}

bool add_function(PyObject* module, PyObject* module_name, PyMethodDef* def) {
  PyRef fn = PyRef::steal(PyCFunction_NewEx(def, nullptr, module_name));
  return fn && PyModule_AddObjectRef(module, def->ml_name, fn.get()) == 0 && append_all(module, def->ml_name);
}

PyObject* init() {
  PyRef module = PyRef::steal(PyModule_Create2(&module_def, PYTHON_ABI_VERSION));
  if (!module) return nullptr;
  PyRef all = PyRef::steal(PyList_New(0));
  if (!all || PyModule_AddObjectRef(module.get(), "__all__", all.get()) < 0) return nullptr;
  PyRef name = PyRef::steal(PyModule_GetNameObject(module.get()));
  if (!name) return nullptr;
  for (PyMethodDef* def = functions; def->ml_name; ++def) {
    if (!add_function(module.get(), name.get(), def)) return nullptr;
  }
  if (!add_result_type(module.get()) || !append_all(module.get(), "SearchResult")) return nullptr;
  if (!init_errors(module.get())) return nullptr;
  return module.release();
}

}  // namespace
}  // namespace quellostrin::py

PyMODINIT_FUNC PyInit_quellostrin_native() {
  return quellostrin::py::guarded([] { return quellostrin::py::init(); });
}
