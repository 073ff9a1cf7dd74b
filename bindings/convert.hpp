// Argument parsing and conversion shared by every module function.
//
// Rules: unsigned integers through the index protocol (floats refused with
// TypeError, negatives with OverflowError); bools only True/False and NumPy
// booleans; floats through PyFloat_AsDouble; strings only str; lists any
// non-str sequence. A TypeError from a conversion is re-raised as
// "argument '<name>': <message>" with the original as __cause__; other errors
// (OverflowError, ...) pass through. Every function here either returns the
// converted value or sets a Python error and throws PyErrSet.
#pragma once

#include <Python.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "errors.hpp"
#include "quellostrin/graph/csr.hpp"

namespace quellostrin::py {

// Parses positional-or-keyword arguments with CPython's own rules and error
// wording. `format` is "O..O|O..O:name", `kwlist` the parameter names followed
// by nullptr. Parameters that were not passed come back as nullptr.
template <std::size_t N>
std::array<PyObject*, N> parse_args(PyObject* args, PyObject* kwargs, const char* format,
                                    const char* const (&kwlist)[N + 1]) {
  std::array<PyObject*, N> out{};
  const bool ok = [&]<std::size_t... I>(std::index_sequence<I...>) {
    return PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(kwlist), &out[I]...) != 0;
  }(std::make_index_sequence<N>{});
  if (!ok) throw_py_error();
  return out;
}

// Re-raises the pending conversion error for parameter `name` (see above).
[[noreturn]] void raise_arg_error(const char* name);

std::uint64_t to_u64(PyObject* obj, const char* name);
std::optional<std::uint64_t> to_opt_u64(PyObject* obj, const char* name);  // None -> nothing
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

// The options every search entry point takes after its own parameters, in
// this order: record, weight, beam_width, depth_limit, max_nodes, reopen.
struct RunOptions {
  std::optional<std::uint64_t> depth_limit;
  std::optional<std::uint64_t> max_nodes;
  double weight = 2.0;
  std::uint64_t beam_width = UINT64_MAX;  // absent: no width limit
  bool reopen = false;
};

struct SearchTail {
  bool record = true;
  RunOptions options;
};

// Converts the six trailing options from `objs` (nullptr = not passed).
SearchTail to_search_tail(PyObject* const* objs);

// The argument names of the trailing options, for kwlists.
#define QUELLOSTRIN_SEARCH_TAIL_NAMES "record", "weight", "beam_width", "depth_limit", "max_nodes", "reopen"
#define QUELLOSTRIN_SEARCH_TAIL_FORMAT "OOOOOO"

}  // namespace quellostrin::py
