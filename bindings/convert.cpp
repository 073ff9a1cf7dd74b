#include "convert.hpp"

#include <cmath>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "buffer.hpp"
#include "py_ref.hpp"

namespace quellostrin::py {

std::string type_name(PyObject* obj) {
  PyRef name = PyRef::steal(PyType_GetName(Py_TYPE(obj)));
  if (!name) {
    PyErr_Clear();
    return "object";
  }
  const char* s = PyUnicode_AsUTF8AndSize(name.get(), nullptr);
  if (!s) {
    PyErr_Clear();
    return "object";
  }
  return s;
}

void type_error(const char* name, const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
  raise_arg_error(name);
}

namespace {

bool is_numpy_bool(PyObject* obj) {
  // By an interned name, which the interpreter's attribute cache keys by address.
  PyRef attr = PyRef::steal(PyUnicode_InternFromString("__module__"));
  PyRef module = attr ? PyRef::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(obj)), attr.get())) : PyRef();
  if (!module) {
    PyErr_Clear();
    return false;
  }
  if (!PyUnicode_Check(module.get()) || PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0) return false;
  const std::string name = type_name(obj);
  return name == "bool_" || name == "bool";
}

}  // namespace

void raise_arg_error(const char* name) {
  PyObject* type = PyErr_ExceptionMatches(PyExc_TypeError)       ? PyExc_TypeError
                   : PyErr_ExceptionMatches(PyExc_OverflowError) ? PyExc_OverflowError
                                                                 : nullptr;
  if (type) {
    PyObject *t, *v, *tb;
    PyErr_Fetch(&t, &v, &tb);
    PyErr_NormalizeException(&t, &v, &tb);
    std::string message = "argument '";
    message += name;
    message += "': ";
    PyRef text = PyRef::steal(v ? PyObject_Str(v) : nullptr);
    const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), nullptr) : nullptr;
    if (!utf8) PyErr_Clear();
    message += utf8 ? utf8 : "invalid value";
    PyErr_Restore(t, v, tb);
    chain_pending(type, message);
  }
  throw_py_error();
}

std::uint64_t to_u64(PyObject* obj, const char* name) {
  if (PyLong_Check(obj)) {
    const unsigned long long v = PyLong_AsUnsignedLongLong(obj);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) raise_arg_error(name);
    return v;
  }
  PyRef index = PyRef::steal(PyNumber_Index(obj));  // refuses floats with TypeError
  if (!index) raise_arg_error(name);
  const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());  // negatives: OverflowError
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) raise_arg_error(name);
  return v;
}

std::int32_t to_i32(PyObject* obj, const char* name) {
  PyRef index = PyRef::steal(PyNumber_Index(obj));  // refuses floats with TypeError
  if (!index) raise_arg_error(name);
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
  if (v == -1 && PyErr_Occurred()) raise_arg_error(name);
  if (overflow != 0 || v < INT32_MIN || v > INT32_MAX) {
    PyErr_SetString(PyExc_OverflowError, "value out of the signed 32-bit range");
    raise_arg_error(name);
  }
  return static_cast<std::int32_t>(v);
}

std::optional<std::uint64_t> to_opt_u64(PyObject* obj, const char* name) {
  if (obj == Py_None) return std::nullopt;
  return to_u64(obj, name);
}

std::optional<double> to_opt_double(PyObject* obj, const char* name) {
  if (obj == Py_None) return std::nullopt;
  return to_double(obj, name);
}

bool to_bool(PyObject* obj, const char* name) {
  if (obj == Py_True) return true;
  if (obj == Py_False) return false;
  if (is_numpy_bool(obj)) {
    const int truth = PyObject_IsTrue(obj);
    if (truth < 0) raise_arg_error(name);
    return truth != 0;
  }
  type_error(name, "expected bool, got " + type_name(obj));
}

double to_double(PyObject* obj, const char* name) {
  const double v = PyFloat_AsDouble(obj);
  if (v == -1.0 && PyErr_Occurred()) raise_arg_error(name);
  return v;
}

std::string to_str(PyObject* obj, const char* name) {
  if (!PyUnicode_Check(obj)) type_error(name, "expected str, got " + type_name(obj));
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(obj, &size);
  if (!utf8) raise_arg_error(name);
  return std::string(utf8, static_cast<std::size_t>(size));
}

Py_ssize_t sequence_size(PyObject* obj, const char* name) {
  if (PyUnicode_Check(obj) || !PySequence_Check(obj)) {
    type_error(name, "expected a sequence, got " + type_name(obj));
  }
  const Py_ssize_t n = PySequence_Size(obj);
  if (n < 0) raise_arg_error(name);
  return n;
}

namespace {

// A node number read from an (m, 3) array: floats must hold a whole number,
// and signed integers must not be negative, as an int passed in a tuple.
template <class T>
std::uint64_t array_node(T value, Py_ssize_t i, const char* name) {
  if constexpr (std::is_floating_point_v<T>) {
    if (!(value >= 0 && value < 0x1p64) || value != std::floor(value)) {
      type_error(name, "edge " + std::to_string(i) + " has a node number that is not a whole number >= 0 in range: " +
                           std::to_string(value));
    }
    return static_cast<std::uint64_t>(value);
  } else if constexpr (std::is_same_v<T, Flag>) {
    return static_cast<bool>(value) ? 1 : 0;
  } else {
    if constexpr (std::is_signed_v<T>) {
      if (value < 0) {
        PyErr_SetString(PyExc_OverflowError, "can't convert negative int to unsigned");
        raise_arg_error(name);
      }
    }
    return static_cast<std::uint64_t>(value);
  }
}

// A node number of an edge given as a sequence: an int, or a float holding a
// whole number (from ndarray.tolist() of a float array, say).
std::uint64_t sequence_node(PyObject* obj, Py_ssize_t i, const char* name) {
  if (!PyFloat_Check(obj)) return to_u64(obj, name);
  return array_node(PyFloat_AsDouble(obj), i, name);
}

// The edges of an (m, 3) array of numbers, or nothing when `obj` is not one.
std::optional<std::vector<Edge>> edges_from_buffer(PyObject* obj, const char* name) {
  const auto buffer = Buffer2D::of(obj, name);
  if (!buffer || buffer->cols() != 3) return std::nullopt;
  std::vector<Edge> edges(static_cast<std::size_t>(buffer->rows()));
  const bool known = buffer->visit([&]<class T>(T) {
    for (Py_ssize_t i = 0; i < buffer->rows(); ++i) {
      edges[static_cast<std::size_t>(i)] = {array_node(buffer->at<T>(i, 0), i, name),
                                            array_node(buffer->at<T>(i, 1), i, name),
                                            static_cast<double>(buffer->at<T>(i, 2))};
    }
  });
  if (!known) return std::nullopt;
  return edges;
}

// The common form of an edge, read without a reference count or a call into
// Python code: an exact tuple of two exact ints and an exact float. False
// (nothing raised) for anything else, or a value the general path refuses,
// which then reads the item again and raises the precise error.
bool plain_edge(PyObject* item, Edge& e) {
  if (!Py_IS_TYPE(item, &PyTuple_Type) || PyTuple_Size(item) != 3) return false;
  PyObject* u = PyTuple_GetItem(item, 0);
  PyObject* v = PyTuple_GetItem(item, 1);
  PyObject* w = PyTuple_GetItem(item, 2);
  if (!Py_IS_TYPE(u, &PyLong_Type) || !Py_IS_TYPE(v, &PyLong_Type) || !Py_IS_TYPE(w, &PyFloat_Type)) return false;
  const unsigned long long a = PyLong_AsUnsignedLongLong(u);
  const unsigned long long b = PyLong_AsUnsignedLongLong(v);
  if ((a == static_cast<unsigned long long>(-1) || b == static_cast<unsigned long long>(-1)) && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  e = Edge{a, b, PyFloat_AsDouble(w)};  // cannot fail on an exact float
  return true;
}

}  // namespace

std::vector<Edge> to_edges(PyObject* obj, const char* name) {
  if (auto edges = edges_from_buffer(obj, name)) return std::move(*edges);
  const Py_ssize_t n = sequence_size(obj, name);
  std::vector<Edge> edges;
  edges.reserve(static_cast<std::size_t>(n));
  const bool is_list = PyList_Check(obj);
  const bool is_tuple = PyTuple_Check(obj);
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (is_list || is_tuple) {
      // Borrowed: reading a plain edge runs no Python code, so nothing can
      // change the list meanwhile.
      Edge e;
      if (plain_edge(is_list ? PyList_GetItem(obj, i) : PyTuple_GetItem(obj, i), e)) {
        edges.push_back(e);
        continue;
      }
    }
    // Hold our own reference: converting an item may run Python code that
    // mutates the container.
    PyRef item = is_list ? PyRef::borrow(PyList_GetItem(obj, i)) : PyRef::steal(PySequence_GetItem(obj, i));
    if (!item) raise_arg_error(name);
    // Any sequence of three: tuples, lists from JSON or ndarray.tolist(),
    // the rows of an array.
    const bool sequence = !PyUnicode_Check(item.get()) && !PyBytes_Check(item.get()) && PySequence_Check(item.get());
    const Py_ssize_t length = sequence ? PySequence_Size(item.get()) : -1;
    if (sequence && length < 0) raise_arg_error(name);
    if (length != 3) {
      type_error(name, "edge " + std::to_string(i) + " must be a sequence (u, v, w), got " + type_name(item.get()) +
                           (sequence ? " of length " + std::to_string(length) : ""));
    }
    auto part = [&](Py_ssize_t k) {
      PyRef p = PyTuple_Check(item.get()) ? PyRef::borrow(PyTuple_GetItem(item.get(), k))
                                          : PyRef::steal(PySequence_GetItem(item.get(), k));
      if (!p) raise_arg_error(name);
      return p;
    };
    Edge e{};
    e.u = sequence_node(part(0).get(), i, name);
    e.v = sequence_node(part(1).get(), i, name);
    e.w = to_double(part(2).get(), name);
    edges.push_back(e);
    if (is_list && PyList_Size(obj) != n) {
      // An item's conversion hook resized the list under us.
      PyErr_SetString(PyExc_RuntimeError, "the edge list changed size during conversion");
      raise_arg_error(name);
    }
  }
  return edges;
}

void check_edges(std::uint64_t num_nodes, const std::vector<Edge>& edges) {
  for (const Edge& e : edges) {
    if (e.u >= num_nodes || e.v >= num_nodes) {
      throw ValueErr("edge (" + std::to_string(e.u) + ", " + std::to_string(e.v) + ") is out of range for a " +
                     std::to_string(num_nodes) + "-node graph");
    }
  }
}

HeuristicChoice resolve_heuristic(PyObject* heuristic, const char* default_name) {
  if (!heuristic || heuristic == Py_None) return {default_name, nullptr};
  if (PyUnicode_Check(heuristic)) return {to_str(heuristic, "heuristic"), nullptr};
  if (PyCallable_Check(heuristic)) return {std::nullopt, heuristic};
  throw ValueErr("heuristic must be a name (str) or a callable h(node, goal) -> float");
}

}  // namespace quellostrin::py
