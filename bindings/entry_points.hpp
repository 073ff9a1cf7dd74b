// The module's functions, one family per source file, with their docstrings
// (each opens with the text signature that inspect.signature reads).
#pragma once

#include <Python.h>

namespace quellostrin::py {

PyObject* search_graph(PyObject* self, PyObject* args, PyObject* kwargs);
extern const char kSearchGraphDoc[];

PyObject* search_implicit(PyObject* self, PyObject* args, PyObject* kwargs);
extern const char kSearchImplicitDoc[];

}  // namespace quellostrin::py
