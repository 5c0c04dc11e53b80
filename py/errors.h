// How failures travel through the binding: Python exceptions already set, exceptions to raise once
// the interpreter lock is held again, and the panic exception for internal failures.
#pragma once

#include <string>
#include <string_view>

#include "pyref.h"

namespace vedavi::py {

// Thrown after a Python exception has been set; the member's entry returns NULL to the
// interpreter. Deliberately not a std::exception, so the failure guard never mistakes it for an
// internal failure of the core.
struct ErrorAlreadySet {};

// A Python exception to raise once the interpreter lock is held again: thrown by code that runs
// without the lock (the failure guard) and raised by the member's entry. `type` is one of the
// interpreter's built-in exception types (PyExc_*), which need no reference counting.
struct DeferredError {
  PyObject* type;
  std::string message;
};

// Throws ErrorAlreadySet; the C API call that failed has set the exception.
[[noreturn, gnu::cold]] void throw_error_already_set();

// A C API result that is a new reference, or null after the call set an exception.
inline Ref check(PyObject* new_reference) {
  if (new_reference == nullptr) throw_error_already_set();
  return Ref::steal(new_reference);
}

// Sets `type` with `message` and throws ErrorAlreadySet.
[[noreturn, gnu::cold]] void raise(PyObject* type, std::string_view message);

// TypeError "'{type of obj}' object is not an instance of '{expected}'": a conversion that got an
// object of the wrong type.
[[noreturn, gnu::cold]] void raise_not_instance(PyObject* obj, const char* expected);

// The exception now set, taken out of the interpreter (normalised; null when none is set), and
// put back.
Ref fetch_exception();
void restore_exception(Ref exception);

// Sets the exception for an internal failure outside a guarded step: PanicException (module
// "vedavi_runtime", a BaseException subclass, so that `except Exception` does not swallow a bug)
// carrying `message`.
void raise_panic(std::string_view message);

// Writes one line about an internal failure to standard error: the guard discards the failure's
// own message from the exception, so this line is what a bug report can quote.
void report_internal_failure(std::string_view activity, std::string_view what);

}  // namespace vedavi::py
