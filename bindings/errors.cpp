#include "errors.hpp"

#include <new>

#include "py_ref.hpp"
#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"

namespace quellostrin::py {

PyObject* new_internal_error_type() {
  return PyErr_NewExceptionWithDoc("quellostrin.quellostrin_native.InternalError",
                                   "Raised when quellostrin finds a fault in itself, never for bad input: a bug to report.",
                                   PyExc_BaseException, nullptr);
}

namespace {
constexpr const char* kOutOfMemory = "out of memory: an allocation of this call failed";
}  // namespace

void set_error_from_current_exception(PyObject* internal_error) noexcept {
  auto set_internal = [&](const char* message) {
    PyErr_SetString(internal_error ? internal_error : PyExc_SystemError, message);
  };
  try {
    throw;
  } catch (const PyErrSet&) {
    if (!PyErr_Occurred()) set_internal("a Python error was signalled but none was set");
  } catch (const ValueErr& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  } catch (const InputError& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  } catch (const OutOfMemory& e) {
    PyErr_SetString(PyExc_MemoryError, e.what());
  } catch (const std::bad_alloc&) {
    // Nothing says which allocation failed, only that one of the call did.
    PyErr_SetString(PyExc_MemoryError, kOutOfMemory);
  } catch (const std::length_error&) {
    PyErr_SetString(PyExc_MemoryError, kOutOfMemory);
  } catch (const std::exception& e) {
    set_internal(e.what());
  } catch (...) {
    set_internal("unknown C++ exception");
  }
}

void chain_pending(PyObject* type, const std::string& message) {
  PyObject *t, *v, *tb;
  PyErr_Fetch(&t, &v, &tb);
  PyErr_NormalizeException(&t, &v, &tb);
  if (tb && v) PyException_SetTraceback(v, tb);
  Py_XDECREF(t);
  Py_XDECREF(tb);
  PyRef cause = PyRef::steal(v);
  PyRef msg = PyRef::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
  if (!msg) return;
  PyRef err = PyRef::steal(PyObject_CallFunctionObjArgs(type, msg.get(), nullptr));
  if (!err) return;
  if (cause) PyException_SetCause(err.get(), cause.release());  // steals
  PyErr_SetObject(type, err.get());
}

void ErrorSlot::store_pending() {
  if (has_error()) {  // only the first failure is kept
    PyErr_Clear();
    return;
  }
  PyErr_Fetch(&type_, &value_, &traceback_);
  if (!type_) {
    PyErr_SetString(internal_error_ ? internal_error_ : PyExc_SystemError,
                    "a callback failed without setting an exception");
    PyErr_Fetch(&type_, &value_, &traceback_);
  }
}

void ErrorSlot::store_value_error(const char* message) {
  if (!PyErr_Occurred()) {
    PyErr_SetString(PyExc_ValueError, message);
  } else if (pending_is_ordinary()) {
    chain_pending(PyExc_ValueError, message);
  }
  store_pending();
}

bool ErrorSlot::restore() {
  if (!has_error()) return false;
  PyErr_Restore(type_, value_, traceback_);  // steals all three
  type_ = value_ = traceback_ = nullptr;
  return true;
}

void ErrorSlot::clear() {
  Py_XDECREF(type_);
  Py_XDECREF(value_);
  Py_XDECREF(traceback_);
  type_ = value_ = traceback_ = nullptr;
}

}  // namespace quellostrin::py
