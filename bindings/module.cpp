// Initialisation of the quellostrin_native extension module.
#include <Python.h>

namespace {

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "quellostrin_native",
    "State-space search and shortest paths (native core).",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_quellostrin_native() {
  PyObject* module = PyModule_Create2(&module_def, PYTHON_ABI_VERSION);
  if (!module) return nullptr;
  PyObject* all = PyList_New(0);
  if (!all || PyModule_AddObject(module, "__all__", all) < 0) {
    Py_XDECREF(all);
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
