// Failures of the binding: raising, fetching and the panic exception.
#include "errors.h"

#include <atomic>
#include <cstdio>

namespace vedavi::py {

void throw_error_already_set() { throw ErrorAlreadySet{}; }

void raise(PyObject* type, std::string_view message) {
  Ref text = Ref::steal(PyUnicode_FromStringAndSize(message.data(), Py_ssize_t(message.size())));
  if (text) PyErr_SetObject(type, text.get());
  throw ErrorAlreadySet{};
}

void raise_not_instance(PyObject* obj, const char* expected) {
  Ref name = Ref::steal(PyType_GetQualName(Py_TYPE(obj)));
  if (name) PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", name.get(), expected);
  throw ErrorAlreadySet{};
}

Ref fetch_exception() {
#if PY_VERSION_HEX >= 0x030C0000
  return Ref::steal(PyErr_GetRaisedException());
#else
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  if (type == nullptr) return {};
  PyErr_NormalizeException(&type, &value, &traceback);
  if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return Ref::steal(value);
#endif
}

void restore_exception(Ref exception) {
  if (!exception) return;
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(exception.release());
#else
  PyObject* value = exception.release();
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(value));
  Py_INCREF(type);
  PyErr_Restore(type, value, PyException_GetTraceback(value));
#endif
}

namespace {

// Created on first use and kept for the life of the process (like the interpreter's own types);
// two threads racing here both create one, and the loser drops its copy.
PyObject* panic_exception_type() {
  static std::atomic<PyObject*> cached{nullptr};
  if (PyObject* type = cached.load(std::memory_order_acquire)) return type;
  PyObject* created = PyErr_NewExceptionWithDoc(
      "vedavi_runtime.PanicException",
      "An internal failure of vedavi's native core outside a guarded step: a bug.\n\n"
      "Derived from BaseException, like SystemExit, so that it is not caught by the usual\n"
      "`except Exception` handlers.",
      PyExc_BaseException, nullptr);
  if (created == nullptr) return nullptr;
  PyObject* expected = nullptr;
  if (!cached.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) {
    Py_DECREF(created);
    return expected;
  }
  return created;
}

}  // namespace

void raise_panic(std::string_view message) {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // the failure to create it is the exception now set
  Ref text = Ref::steal(PyUnicode_DecodeUTF8(message.data(), Py_ssize_t(message.size()), "replace"));
  if (text) PyErr_SetObject(type, text.get());
}

void report_internal_failure(std::string_view activity, std::string_view what) {
  if (activity.empty()) {
    std::fprintf(stderr, "vedavi: internal failure: %.*s\n", int(what.size()), what.data());
  } else {
    std::fprintf(stderr, "vedavi: internal failure while %.*s: %.*s\n", int(activity.size()),
                 activity.data(), int(what.size()), what.data());
  }
}

}  // namespace vedavi::py
