// Reading 2-D buffers of numbers (NumPy arrays, array-module data behind a
// memoryview) without touching their elements as Python objects: cost
// matrices and (m, 3) edge arrays.
#pragma once

#include <Python.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "convert.hpp"

namespace quellostrin::py {

// A '?' element: any non-zero byte is true, as in the struct module. Read as
// a byte, since a bool object holding another value than 0 or 1 is undefined.
struct Flag {
  unsigned char byte;
  explicit operator double() const { return byte != 0 ? 1.0 : 0.0; }
  explicit operator bool() const { return byte != 0; }
};

// A 2-D buffer whose element format is one character, held until this is
// destroyed.
class Buffer2D {
 public:
  // Nothing, with no Python error set, when `obj` exports no such buffer; a
  // memoryview of more than one dimension is then refused with TypeError
  // naming `name`, since a memoryview does not index those views either and
  // no sequence path could read it.
  static std::optional<Buffer2D> of(PyObject* obj, const char* name) {
    if (!PyObject_CheckBuffer(obj)) return std::nullopt;
    Buffer2D b;
    if (PyObject_GetBuffer(obj, &b.view_, PyBUF_RECORDS_RO) != 0) {
      PyErr_Clear();
      return std::nullopt;
    }
    b.held_ = true;
    std::string_view format = b.view_.format ? b.view_.format : "B";
    if (!format.empty() && (format[0] == '@' || format[0] == '=' || format[0] == '<')) format.remove_prefix(1);
    if (b.view_.ndim != 2 || format.size() != 1) {
      if (b.view_.ndim > 1 && PyMemoryView_Check(obj)) b.unsupported(name);
      return std::nullopt;
    }
    b.format_ = format[0];
    return b;
  }

  Buffer2D(Buffer2D&& other) noexcept : view_(other.view_), format_(other.format_), held_(std::exchange(other.held_, false)) {}
  Buffer2D& operator=(Buffer2D&&) = delete;
  ~Buffer2D() {
    if (held_) PyBuffer_Release(&view_);
  }

  Py_ssize_t rows() const { return view_.shape[0]; }
  Py_ssize_t cols() const { return view_.shape[1]; }

  // Row `r` as a plain array of T, when the elements of a row are adjacent
  // and aligned for T; null otherwise.
  template <class T>
  const T* row(Py_ssize_t r) const {
    const char* p = static_cast<const char*>(view_.buf) + r * view_.strides[0];
    if (view_.strides[1] != static_cast<Py_ssize_t>(sizeof(T)) ||
        view_.itemsize != static_cast<Py_ssize_t>(sizeof(T)) || reinterpret_cast<std::uintptr_t>(p) % alignof(T) != 0) {
      return nullptr;
    }
    return reinterpret_cast<const T*>(p);
  }

  template <class T>
  T at(Py_ssize_t r, Py_ssize_t c) const {
    T v;
    std::memcpy(&v, static_cast<const char*>(view_.buf) + r * view_.strides[0] + c * view_.strides[1], sizeof v);
    return v;
  }

  // Calls f(T{}) for the element type T of the format, so that a loop over
  // the elements looks at the type once; false when the format is not one of
  // the struct module's numbers.
  template <class F>
  bool visit(F&& f) const {
    switch (format_) {
      case 'd': f(double{}); return true;
      case 'f': f(float{}); return true;
      case 'b': f(static_cast<signed char>(0)); return true;
      case 'B': f(static_cast<unsigned char>(0)); return true;
      case '?': f(Flag{}); return true;
      case 'h': f(short{}); return true;
      case 'H': f(static_cast<unsigned short>(0)); return true;
      case 'i': f(int{}); return true;
      case 'I': f(0u); return true;
      case 'l': f(0l); return true;
      case 'L': f(0ul); return true;
      case 'q': f(0ll); return true;
      case 'Q': f(0ull); return true;
      case 'n': f(Py_ssize_t{}); return true;
      case 'N': f(std::size_t{}); return true;
      default: return false;
    }
  }

  [[noreturn]] void unsupported(const char* name) const {
    type_error(name, "expected a matrix of numbers, got a " + std::to_string(view_.ndim) +
                         "-dimensional memoryview of format '" + (view_.format ? view_.format : "B") + "'");
  }

 private:
  Buffer2D() = default;
  Py_buffer view_{};
  char format_ = 0;
  bool held_ = false;
};

}  // namespace quellostrin::py
