// The binding's error boundary, run against an embedded interpreter.
#include "errors.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

#include "py_ref.hpp"
#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"

namespace quellostrin::py {
namespace {

PyObject* internal_error = nullptr;  // the module's class, made once the interpreter runs

struct Interpreter : ::testing::Environment {
  void SetUp() override {
    Py_InitializeEx(0);
    internal_error = new_internal_error_type();
  }
};
const auto* const interpreter = ::testing::AddGlobalTestEnvironment(new Interpreter);

// Takes the pending error; checks its exact class, str() and the class of its __cause__.
void expect_raised(PyObject* type, const std::string& message, PyObject* cause_type = nullptr) {
  PyObject *t, *v, *tb;
  PyErr_Fetch(&t, &v, &tb);
  PyErr_NormalizeException(&t, &v, &tb);
  PyRef owned_t = PyRef::steal(t), owned_v = PyRef::steal(v), owned_tb = PyRef::steal(tb);
  ASSERT_TRUE(v);
  EXPECT_EQ(t, type);
  PyRef text = PyRef::steal(PyObject_Str(v));
  EXPECT_EQ(text ? PyUnicode_AsUTF8(text.get()) : "<str failed>", message);
  PyRef cause = PyRef::steal(PyException_GetCause(v));
  EXPECT_EQ(cause ? reinterpret_cast<PyObject*>(Py_TYPE(cause.get())) : nullptr, cause_type);
}

TEST(ErrorBoundary, MapsEachThrownThingToItsPythonException) {
  const char* const unset = "a Python error was signalled but none was set";
  const char* const oom = "out of memory: an allocation of this call failed";
  struct Row {
    const char* what;
    bool with_class;  // false: no InternalError class given
    std::function<void()> fail;
    PyObject** expected;  // an address: InternalError exists only at run time
    const char* message;
  } rows[] = {
      {"set", true, [] { PyErr_SetString(PyExc_KeyError, "k"); throw PyErrSet{}; }, &PyExc_KeyError, "'k'"},
      {"unset", true, [] { throw PyErrSet{}; }, &internal_error, unset},
      {"ValueErr", true, [] { throw ValueErr("bad weight"); }, &PyExc_ValueError, "bad weight"},
      {"InputError", true, [] { throw InputError("node 9"); }, &PyExc_ValueError, "node 9"},
      {"OutOfMemory", true, [] { throw OutOfMemory("cannot allocate x"); }, &PyExc_MemoryError, "cannot allocate x"},
      {"bad_alloc", true, [] { throw std::bad_alloc(); }, &PyExc_MemoryError, oom},
      {"length_error", true, [] { throw std::length_error("long"); }, &PyExc_MemoryError, oom},
      {"InvariantError", true, [] { throw InvariantError("broken"); }, &internal_error, "broken"},
      {"runtime_error", true, [] { throw std::runtime_error("odd"); }, &internal_error, "odd"},
      {"int", true, [] { throw 42; }, &internal_error, "unknown C++ exception"},
      {"unset, no class", false, [] { throw PyErrSet{}; }, &PyExc_SystemError, unset},
      {"InvariantError, no class", false, [] { throw InvariantError("broken"); }, &PyExc_SystemError, "broken"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(guarded(row.with_class ? internal_error : nullptr, [&]() -> PyObject* { row.fail(); return Py_None; }),
              nullptr);
    EXPECT_TRUE(PyErr_ExceptionMatches(*row.expected));
    EXPECT_EQ(PyErr_ExceptionMatches(PyExc_Exception) == 0, *row.expected == internal_error);  // not `except Exception`
    expect_raised(*row.expected, row.message);
  }
  EXPECT_EQ(guarded(internal_error, [] { return Py_None; }), Py_None);
  EXPECT_FALSE(PyErr_Occurred());
  EXPECT_EQ(PyObject_IsSubclass(internal_error, PyExc_BaseException), 1);
}

TEST(ErrorSlot, KeepsTheFirstErrorWithItsCause) {
  struct Row {
    const char* what;
    std::function<void(ErrorSlot&)> fill;
    PyObject *type, *cause;
    const char* message;
  } rows[] = {
      // (A callback's error as the cause, and base exceptions passed on
      // unchanged, are tests/test_implicit.py's test_callback_exceptions.)
      {"only the first kept",
       [](ErrorSlot& s) {
         s.store_value_error("first");
         PyErr_SetString(PyExc_TypeError, "second");
         s.store_pending();
         s.store_value_error("third");
       },
       PyExc_ValueError, nullptr, "first"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ErrorSlot slot(internal_error);
    row.fill(slot);
    EXPECT_FALSE(PyErr_Occurred());
    ASSERT_TRUE(slot.restore());
    expect_raised(row.type, row.message, row.cause);
    EXPECT_FALSE(slot.restore());
  }
}

}  // namespace
}  // namespace quellostrin::py
