// Argument parsing and conversion shared by every module function.
//
// Rules: unsigned integers through the index protocol (floats refused with
// TypeError, negatives with OverflowError); bools only True/False and NumPy
// booleans; floats through PyFloat_AsDouble; strings only str; lists any
// non-str sequence. A TypeError or OverflowError from a conversion is
// re-raised as the same type with "argument '<name>': <message>" and the
// original as __cause__; other errors pass through. Every function here either
// returns the converted value or sets a Python error and throws PyErrSet.
// Each has the converter shape `T (PyObject*, const char* name)` that
// parameter descriptions (signature.hpp) take.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "errors.hpp"
#include "quellostrin/domains/csr.hpp"

namespace quellostrin::py {

// Re-raises the pending conversion error for parameter `name` (see above).
[[noreturn]] void raise_arg_error(const char* name);
// Raises TypeError "argument '<name>': <message>".
[[noreturn]] void type_error(const char* name, const std::string& message);
// The name of `obj`'s type, for messages.
std::string type_name(PyObject* obj);

// The object itself, borrowed from the call's arguments.
inline PyObject* as_object(PyObject* obj, const char*) { return obj; }
std::uint64_t to_u64(PyObject* obj, const char* name);
// Through the index protocol; OverflowError outside the signed 32-bit range.
std::int32_t to_i32(PyObject* obj, const char* name);
std::optional<std::uint64_t> to_opt_u64(PyObject* obj, const char* name);  // None -> nothing
std::optional<double> to_opt_double(PyObject* obj, const char* name);      // None -> nothing
bool to_bool(PyObject* obj, const char* name);
double to_double(PyObject* obj, const char* name);
std::string to_str(PyObject* obj, const char* name);
// Checks that `obj` is a sequence other than str and returns its length.
Py_ssize_t sequence_size(PyObject* obj, const char* name);
// A sequence of (u, v, w) tuples: u, v unsigned ints, w a float (int accepted).
std::vector<Edge> to_edges(PyObject* obj, const char* name);

// Raises ValueError for the first edge (in list order) with an endpoint at or
// past `num_nodes`; weights are not inspected.
void check_edges(std::uint64_t num_nodes, const std::vector<Edge>& edges);

// The `heuristic` argument resolved: a name (the default when None was
// given) or a callable (borrowed from the call's arguments). Anything else is
// refused with ValueError.
struct HeuristicChoice {
  std::optional<std::string> name;
  PyObject* callable = nullptr;
};
HeuristicChoice resolve_heuristic(PyObject* heuristic, const char* default_name);

}  // namespace quellostrin::py
