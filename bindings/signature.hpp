// Module functions described once: their parameters, in order, each with its
// name, its converter and the member of the function's argument record that
// it fills. Everything else follows from that one description:
//   - the keyword list and the format string of PyArg_ParseTupleAndKeywords
//     (so CPython's own wording reports missing, duplicated and unexpected
//     arguments);
//   - the conversion, in parameter order, so the first bad argument is the
//     one reported;
//   - the text signature at the head of the docstring, with each optional
//     parameter's default rendered from the argument record's own default
//     member initialiser (so the documented default is the real one).
// A converter whose result does not fit its member does not compile, and a
// required parameter after an optional one, or two parameters of one name,
// fail a static_assert.
//
// A module function is `method<kSignature, body>()`: `body(ModuleState&,
// Args&)` returns a new reference; whatever it throws is turned into the
// matching Python exception by `guarded`.
#pragma once

#include <Python.h>

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors.hpp"
#include "module_state.hpp"

namespace quellostrin::py {

template <class Args>
struct Param {
  const char* name;
  bool required;
  void (*convert)(PyObject* obj, const char* name, Args& out);
  std::string (*render_default)(const Args& defaults);  // Python text of the default
};

namespace detail {

inline std::string render(bool v) { return v ? "True" : "False"; }
inline std::string render(std::uint64_t v) { return std::to_string(v); }
inline std::string render(const std::string& v) {
  std::string text(1, '"');
  text.append(v).push_back('"');
  return text;
}
inline std::string render(PyObject* v) { return v ? "<object>" : "None"; }
// As Python's repr: the shortest text that reads back the same, and ".0" on
// integral values.
inline std::string render(double v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  std::string text(buf, res.ptr);
  if (text.find_first_not_of("-0123456789") == std::string::npos) text += ".0";
  return text;
}
template <class T>
std::string render(const std::optional<T>& v) {
  if (!v) return "None";
  if constexpr (requires { render(*v); }) {
    return render(*v);
  } else {
    return "<value>";  // a default that is not None has a renderer of its own
  }
}

template <class>
struct MemberOf;
template <class C, class T>
struct MemberOf<T C::*> {
  using Type = T;
};

}  // namespace detail

// Parameters of the argument record `Args`. `Field` is a pointer to the member
// the parameter fills (a member of a base of Args will do); `Convert` is a
// converter `T (PyObject*, const char* name)` from convert.hpp.
template <class Args>
struct Params {
  template <auto Field, auto Convert>
  static constexpr Param<Args> required(const char* name) {
    return {name, true, &convert<Field, Convert>, nullptr};
  }
  template <auto Field, auto Convert>
  static constexpr Param<Args> optional(const char* name) {
    return {name, false, &convert<Field, Convert>, &render_default<Field>};
  }

 private:
  template <auto Field, auto Convert>
  static void convert(PyObject* obj, const char* name, Args& out) {
    out.*Field = Convert(obj, name);
  }
  template <auto Field>
  static std::string render_default(const Args& defaults) {
    using T = typename detail::MemberOf<decltype(Field)>::Type;
    return detail::render(static_cast<const T&>(defaults.*Field));
  }
};

template <class ArgsT, std::size_t N>
struct Signature {
  using Args = ArgsT;
  const char* name;
  const char* doc;  // the docstring after the text signature
  std::array<Param<Args>, N> params;
  std::size_t positional = N;  // the parameters after these are keyword-only

  // The same signature with every parameter after the first `n` keyword-only.
  constexpr Signature keyword_only_after(std::size_t n) const {
    Signature s = *this;
    s.positional = n;
    return s;
  }

  // Required parameters first, keyword-only ones optional, and no name twice.
  constexpr bool well_formed() const {
    bool optional_seen = false;
    if (positional > N) return false;
    for (std::size_t i = 0; i < N; ++i) {
      if (params[i].required && (optional_seen || i >= positional)) return false;
      optional_seen = optional_seen || !params[i].required;
      for (std::size_t j = 0; j < i; ++j) {
        if (std::string_view(params[i].name) == params[j].name) return false;
      }
    }
    return true;
  }
};

namespace detail {

template <class Args, std::size_t N>
constexpr std::array<Param<Args>, N> as_array(const std::array<Param<Args>, N>& a) {
  return a;
}
template <class Args>
constexpr std::array<Param<Args>, 1> as_array(const Param<Args>& p) {
  return {p};
}

template <class Args, std::size_t... N>
constexpr auto concat(const std::array<Param<Args>, N>&... parts) {
  std::array<Param<Args>, (N + ... + 0)> out{};
  std::size_t i = 0;
  ((std::copy(parts.begin(), parts.end(), out.begin() + static_cast<std::ptrdiff_t>(i)), i += N), ...);
  return out;
}

}  // namespace detail

// A signature from parameters and arrays of parameters, in order.
template <class Args, class... Parts>
constexpr auto signature(const char* name, const char* doc, const Parts&... parts) {
  auto params = detail::concat<Args>(detail::as_array<Args>(parts)...);
  return Signature<Args, params.size()>{name, doc, params};
}

namespace detail {

// What PyArg_ParseTupleAndKeywords needs, built once per signature.
template <const auto& Sig>
struct ParseTables {
  std::string format;
  std::array<const char*, Sig.params.size() + 1> kwlist{};

  ParseTables() {
    bool bar = false;
    for (std::size_t i = 0; i < Sig.params.size(); ++i) {
      if (!Sig.params[i].required && !bar) {
        format += '|';
        bar = true;
      }
      if (i == Sig.positional) format += '$';
      format += 'O';
      kwlist[i] = Sig.params[i].name;
    }
    format += ':';
    format += Sig.name;
  }
};

// The common call read without CPython's keyword parser, which looks every
// parameter name up in the keyword dict as a new string (a third of a small
// search's call): positional arguments in order, then each keyword matched
// by name. False, with `objs` to be cleared, when anything is off (too many
// positional arguments for the parameters that may be given by position, an unknown or repeated name, a required one
// missing): PyArg_ParseTupleAndKeywords then reports it in CPython's words.
// A keyword's text is read once (a str keeps its UTF-8 form) and compared
// with the names of the parameters of its length.
template <const auto& Sig, std::size_t N>
bool quick_parse(PyObject* args, PyObject* kwargs, std::array<PyObject*, N>& objs) {
  static constexpr std::array<std::size_t, N> kLengths = [] {
    std::array<std::size_t, N> out{};
    for (std::size_t j = 0; j < N; ++j) out[j] = std::string_view(Sig.params[j].name).size();
    return out;
  }();
  const Py_ssize_t given = PyTuple_Size(args);
  if (given < 0) {
    PyErr_Clear();
    return false;
  }
  if (static_cast<std::size_t>(given) > Sig.positional) return false;
  for (Py_ssize_t i = 0; i < given; ++i) objs[static_cast<std::size_t>(i)] = PyTuple_GetItem(args, i);
  if (kwargs) {
    Py_ssize_t pos = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!PyUnicode_Check(key)) return false;
      Py_ssize_t size = 0;
      const char* text = PyUnicode_AsUTF8AndSize(key, &size);
      if (!text) {  // a lone surrogate: no name of ours
        PyErr_Clear();
        return false;
      }
      const std::string_view name(text, static_cast<std::size_t>(size));
      std::size_t j = 0;
      while (j < N && !(kLengths[j] == name.size() && name == Sig.params[j].name)) ++j;
      if (j == N || objs[j]) return false;
      objs[j] = value;
    }
  }
  for (std::size_t j = 0; j < N; ++j) {
    if (Sig.params[j].required && !objs[j]) return false;
  }
  return true;
}

}  // namespace detail

// Parses and converts a call's arguments into a fresh argument record.
template <const auto& Sig>
typename std::remove_cvref_t<decltype(Sig)>::Args parse(PyObject* args, PyObject* kwargs) {
  static_assert(Sig.well_formed(), "required parameters come first, and each name once");
  constexpr std::size_t N = Sig.params.size();
  static const detail::ParseTables<Sig> tables;
  std::array<PyObject*, N> objs{};
  const bool ok = detail::quick_parse<Sig>(args, kwargs, objs) || [&]<std::size_t... I>(std::index_sequence<I...>) {
    objs = {};
    return PyArg_ParseTupleAndKeywords(args, kwargs, tables.format.c_str(), const_cast<char**>(tables.kwlist.data()),
                                       &objs[I]...) != 0;
  }(std::make_index_sequence<N>{});
  if (!ok) throw_py_error();
  typename std::remove_cvref_t<decltype(Sig)>::Args out;
  for (std::size_t i = 0; i < N; ++i) {
    if (objs[i]) Sig.params[i].convert(objs[i], Sig.params[i].name, out);
  }
  return out;
}

// "name(a, b, c=default, *, d=default, ...)\n--\n\n" followed by the prose; a method's
// signature starts with "$self".
template <const auto& Sig, bool kMethod = false>
const char* docstring() {
  static const std::string text = [] {
    const typename std::remove_cvref_t<decltype(Sig)>::Args defaults;
    // append() throughout: GCC 12 misreports operator+ on strings (-Wrestrict).
    std::string s(Sig.name);
    s.append(kMethod ? "($self" : "(");
    for (std::size_t i = 0; i < Sig.params.size(); ++i) {
      const auto& p = Sig.params[i];
      if (i || kMethod) s.append(", ");
      if (i == Sig.positional) s.append("*, ");
      s.append(p.name);
      if (!p.required) s.append("=").append(p.render_default(defaults));
    }
    return s.append(")\n--\n\n").append(Sig.doc);
  }();
  return text.c_str();
}

template <const auto& Sig, auto Body>
PyObject* call(PyObject* module, PyObject* args, PyObject* kwargs) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&] {
    auto parsed = parse<Sig>(args, kwargs);
    return Body(state, parsed);  // the body may take its arguments by reference and move from them
  });
}

// The method table row of a module function.
template <const auto& Sig, auto Body>
PyMethodDef method() {
  return {Sig.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call<Sig, Body>)),
          METH_VARARGS | METH_KEYWORDS, docstring<Sig>()};
}

// A method of one of the module's classes: `body(ModuleState&, self, Args&)`.
template <const auto& Sig, auto Body>
PyObject* call_method(PyObject* self, PyObject* args, PyObject* kwargs) {
  ModuleState& state = state_of_type(Py_TYPE(self));
  return guarded(state.internal_error, [&] {
    auto parsed = parse<Sig>(args, kwargs);
    return Body(state, self, parsed);
  });
}

template <const auto& Sig, auto Body>
PyMethodDef method_of_class() {
  return {Sig.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_method<Sig, Body>)),
          METH_VARARGS | METH_KEYWORDS, docstring<Sig, true>()};
}

}  // namespace quellostrin::py
