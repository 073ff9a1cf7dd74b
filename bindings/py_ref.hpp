// PyRef: a move-only owned reference to a Python object.
//
// `steal` adopts a new reference (the usual result of a C API call),
// `borrow` takes one more reference to a borrowed object, `release` gives the
// reference back to the caller. Destruction drops the reference, so the GIL
// must be held wherever a non-empty PyRef goes out of scope.
#pragma once

#include <Python.h>

#include <utility>

namespace quellostrin::py {

class PyRef {
 public:
  PyRef() = default;
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  PyRef(PyRef&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept {
    if (this != &other) {
      reset();
      obj_ = std::exchange(other.obj_, nullptr);
    }
    return *this;
  }
  ~PyRef() { reset(); }

  static PyRef steal(PyObject* obj) { return PyRef(obj); }
  static PyRef borrow(PyObject* obj) {
    Py_XINCREF(obj);
    return PyRef(obj);
  }

  PyObject* get() const { return obj_; }
  PyObject* release() { return std::exchange(obj_, nullptr); }
  explicit operator bool() const { return obj_ != nullptr; }
  void reset() {
    if (obj_) Py_DECREF(std::exchange(obj_, nullptr));
  }

 private:
  explicit PyRef(PyObject* obj) : obj_(obj) {}
  PyObject* obj_ = nullptr;
};

// Releases the interpreter lock for the life of the guard. Nothing that touches
// a Python object may run while it is alive.
class GilRelease {
 public:
  GilRelease() : save_(PyEval_SaveThread()) {}
  ~GilRelease() { PyEval_RestoreThread(save_); }

  // Runs `f` (which must not throw) with the lock taken back for its duration.
  template <class F>
  auto relocked(F&& f) {
    PyEval_RestoreThread(save_);
    struct Unlock {
      GilRelease* guard;
      ~Unlock() { guard->save_ = PyEval_SaveThread(); }
    } unlock{this};
    return f();
  }
  GilRelease(const GilRelease&) = delete;
  GilRelease& operator=(const GilRelease&) = delete;

 private:
  PyThreadState* save_;
};

// Pauses the cyclic garbage collector for the life of the guard, while a
// conversion builds many new tuples: each batch of allocations would otherwise
// start a collection that walks the growing lists for nothing (tuples of ints
// and strings cannot form cycles). Restores the collector's earlier state.
class GcPause {
 public:
  GcPause() : was_enabled_(PyGC_Disable() != 0) {}
  ~GcPause() {
    if (was_enabled_) PyGC_Enable();
  }
  GcPause(const GcPause&) = delete;
  GcPause& operator=(const GcPause&) = delete;

 private:
  bool was_enabled_;
};

}  // namespace quellostrin::py
