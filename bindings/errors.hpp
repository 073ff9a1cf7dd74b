// How failures travel from C++ to Python.
//
// Inside the binding, code that has set a Python error throws PyErrSet; code
// that wants a ValueError with a fixed message throws ValueErr (the exception
// object is only created when it is raised). `guarded` is the single boundary
// of every entry point: it turns whatever C++ exception arrives into the
// matching Python exception, so nothing C++ ever reaches the interpreter:
//   PyErrSet            -> the Python error already set
//   ValueErr, core InputError -> ValueError with the same message
//   core OutOfMemory  -> MemoryError with its message (what could not be
//       allocated); any other std::bad_alloc, std::length_error -> MemoryError
//   core InvariantError, any other exception -> InternalError (a direct
//       BaseException subclass, so `except Exception` does not hide it)
// The InternalError class belongs to the module object, so `guarded` is told
// which one to raise.
//
// ErrorSlot holds the first exception raised by a Python callback during a
// search; the search stops at its next expansion and the entry point raises
// it afterwards.
#pragma once

#include <Python.h>

#include <stdexcept>
#include <string>

namespace quellostrin::py {

struct PyErrSet {};

class ValueErr : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] inline void throw_py_error() { throw PyErrSet{}; }

// Sets the Python error for the exception being handled (call inside catch).
// `internal_error` is the module's InternalError class; without one (during
// initialisation) broken invariants become SystemError.
void set_error_from_current_exception(PyObject* internal_error) noexcept;

template <class F>
PyObject* guarded(PyObject* internal_error, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    set_error_from_current_exception(internal_error);
    return nullptr;
  }
}

// Creates a new InternalError class (one per module object).
PyObject* new_internal_error_type();

// True when the pending Python exception is an ordinary Exception, as opposed
// to KeyboardInterrupt, SystemExit and other BaseException-only signals, which
// must travel unchanged.
inline bool pending_is_ordinary() { return PyErr_ExceptionMatches(PyExc_Exception) != 0; }

// Replaces the pending exception by `type(message)` whose __cause__ is the
// original (as `raise type(message) from original` would).
void chain_pending(PyObject* type, const std::string& message);

class ErrorSlot {
 public:
  // `internal_error`: the class to report a callback that failed without an
  // exception with (the module's InternalError).
  explicit ErrorSlot(PyObject* internal_error) : internal_error_(internal_error) {}
  ErrorSlot(const ErrorSlot&) = delete;
  ErrorSlot& operator=(const ErrorSlot&) = delete;
  ~ErrorSlot() { clear(); }  // the GIL must be held

  bool has_error() const { return type_ != nullptr; }

  // Takes the pending Python exception as it is (type, value, traceback).
  void store_pending();

  // A ValueError `message` in place of the pending exception, if any, which
  // becomes its cause; BaseException-only signals (KeyboardInterrupt,
  // SystemExit) are kept unchanged instead.
  void store_value_error(const char* message);

  // Raises the stored exception (if any) and empties the slot. Returns false
  // when there was nothing to raise.
  bool restore();

 private:
  void clear();
  PyObject* internal_error_;
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* traceback_ = nullptr;
};

}  // namespace quellostrin::py
