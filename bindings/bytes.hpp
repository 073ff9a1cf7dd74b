// Arrays of 64-bit words as Python bytes, 8 little-endian bytes per entry:
// how the module's objects pickle their arrays, with no Python object per
// entry.
#pragma once

#include <Python.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "errors.hpp"
#include "py_ref.hpp"

namespace quellostrin::py {

inline std::uint64_t little_endian(std::uint64_t v) {
  return std::endian::native == std::endian::little ? v : __builtin_bswap64(v);
}

// `word(v)` of every value, as bytes.
template <class T, class Word>
PyObject* words_to_bytes(const std::vector<T>& values, Word&& word) {
  PyRef out = PyRef::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(values.size() * 8)));
  if (!out) throw_py_error();
  char* p = PyBytes_AsString(out.get());
  for (const T& v : values) {
    const std::uint64_t w = little_endian(word(v));
    std::memcpy(p, &w, 8);
    p += 8;
  }
  return out.release();
}

inline PyObject* doubles_to_bytes(const std::vector<double>& values) {
  return words_to_bytes(values, [](double d) { return std::bit_cast<std::uint64_t>(d); });
}

inline PyObject* u64s_to_bytes(const std::vector<std::uint64_t>& values) {
  return words_to_bytes(values, [](std::uint64_t v) { return v; });
}

// The words of `bytes` (a bytes object), which must hold a whole number of
// them: ValueError `bad_size` otherwise.
inline std::vector<std::uint64_t> words_from_bytes(PyObject* bytes, const char* bad_size) {
  char* data = nullptr;
  Py_ssize_t length = 0;
  if (PyBytes_AsStringAndSize(bytes, &data, &length) != 0) throw_py_error();
  if (length % 8 != 0) throw ValueErr(bad_size);
  std::vector<std::uint64_t> words(static_cast<std::size_t>(length / 8));
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::uint64_t w = 0;
    std::memcpy(&w, data + 8 * i, 8);
    words[i] = little_endian(w);
  }
  return words;
}

inline std::vector<double> doubles_from_bytes(PyObject* bytes, const char* bad_size) {
  std::vector<double> out;
  for (const std::uint64_t w : words_from_bytes(bytes, bad_size)) out.push_back(std::bit_cast<double>(w));
  return out;
}

}  // namespace quellostrin::py
