// Read-only float64 tables exported through the buffer protocol, so that
// numpy.asarray views them without a Python object per entry: the distances
// of ShortestPaths and AllPairs, the terrain costs of a Grid. The exporter
// keeps the table unchanged for its whole life, so exports need no counting
// and there is nothing to do when one is released.
#pragma once

#include <Python.h>

#include <cstddef>

namespace quellostrin::py {

inline constexpr Py_ssize_t kEntryBytes = sizeof(double);

// A table's shape as the buffer protocol describes it: one row of n entries,
// or rows x columns in row-major order. It lives in the exporting object,
// since exported views point at its shape and strides.
struct TableLayout {
  int ndim = 1;
  Py_ssize_t shape[2] = {0, 0};
  Py_ssize_t strides[2] = {kEntryBytes, 0};

  static TableLayout row(std::size_t n) { return {1, {static_cast<Py_ssize_t>(n), 0}, {kEntryBytes, 0}}; }
  static TableLayout matrix(std::size_t rows, std::size_t cols) {
    const auto r = static_cast<Py_ssize_t>(rows), c = static_cast<Py_ssize_t>(cols);
    return {2, {r, c}, {c * kEntryBytes, kEntryBytes}};
  }
  std::size_t count() const {
    return static_cast<std::size_t>(ndim == 2 ? shape[0] * shape[1] : shape[0]);
  }
};

// Exports `data` (laid out as `layout`) of `self`, read-only, with only the
// fields `flags` asks for: no shape means one dimension of `len` bytes, no
// strides means C order, no format means unsigned bytes (itemsize still tells
// the element size). Every such reading is valid, since the table is one
// C-contiguous block. A writable request is refused with BufferError
// `read_only_message`. Neither allocates nor throws.
inline int export_table(PyObject* self, Py_buffer* view, int flags, const double* data, const TableLayout& layout,
                        const char* read_only_message) noexcept {
  static char float64_format[] = "d";
  view->obj = nullptr;
  if ((flags & PyBUF_WRITABLE) == PyBUF_WRITABLE) {
    PyErr_SetString(PyExc_BufferError, read_only_message);
    return -1;
  }
  // Columns are contiguous too only when there is at most one row.
  if ((flags & PyBUF_F_CONTIGUOUS) == PyBUF_F_CONTIGUOUS && layout.ndim == 2 && layout.shape[0] > 1) {
    PyErr_SetString(PyExc_BufferError, "the table is in row-major (C) order");
    return -1;
  }
  // An empty table still gets a real address: handed a null one, numpy
  // allocates a writable array of its own instead of viewing this.
  static double empty_table = 0.0;
  const std::size_t count = layout.count();
  view->buf = count == 0 ? &empty_table : const_cast<double*>(data);
  view->obj = Py_NewRef(self);
  view->len = static_cast<Py_ssize_t>(count) * kEntryBytes;
  view->itemsize = kEntryBytes;
  view->readonly = 1;
  view->format = (flags & PyBUF_FORMAT) == PyBUF_FORMAT ? float64_format : nullptr;
  const bool with_shape = (flags & PyBUF_ND) == PyBUF_ND;
  view->ndim = with_shape ? layout.ndim : 1;
  view->shape = with_shape ? const_cast<Py_ssize_t*>(layout.shape) : nullptr;
  view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? const_cast<Py_ssize_t*>(layout.strides) : nullptr;
  view->suboffsets = nullptr;
  view->internal = nullptr;
  return 0;
}

}  // namespace quellostrin::py
