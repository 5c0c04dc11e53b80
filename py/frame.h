// The calling frame every member function shares: matching arguments to parameters, converting
// them, running core steps without the interpreter lock and inside the failure guard, and turning
// every failure into the right Python exception.
//
// A member function reads like this:
//
//   constexpr Signature kMathJs{"math_js", "math_js(func, xtra)\n--\n\n",
//                               {required("func"), required("xtra")}};
//
//   Ref math_js(const Call& call) {
//     const auto args = match(kMathJs, call);                   // 1. match (TypeError)
//     const auto func = args.get<std::optional<std::string_view>>(0);  // 2. convert, in
//     const auto xtra = args.get<std::string_view>(1);          //    signature order
//     /* 3. check values that have rules of their own (ValueError) */
//     std::string js = released([&] {                           // 4. core work, lock released,
//       return guarded("formatting", [&] { return core(func, xtra); });  // failures guarded
//     });
//     return new_str(js);                                       // 5. result
//   }
//   PyMethodDef math_js_method = method<math_js>(kMathJs);
//
// Convert every argument before checking any value, so that a type error of a later parameter
// wins over a bad value of an earlier one.
//
// Failures: conversions throw ErrorAlreadySet with the Python exception set; a TypeError from
// converting an argument is reworded to name its parameter ("argument 'types': ..."), other
// exception types pass unchanged. An internal failure of the core (vedavi::InternalError or any
// other std::exception but std::bad_alloc) inside `guarded` becomes RuntimeError "internal error
// in vedavi while {activity} (this is a bug, please report it)"; anywhere else it becomes
// vedavi_runtime.PanicException. std::bad_alloc becomes MemoryError wherever it is thrown.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <span>
#include <string_view>
#include <type_traits>

#include "convert.h"
#include "errors.h"
#include "pyref.h"

namespace vedavi::py {

// ---- Parameters and signatures -------------------------------------------------------------

struct Param {
  std::string_view name;
  bool is_required = true;
  bool is_keyword_only = false;
};

// A parameter without a default, given by position or by name.
constexpr Param required(std::string_view name) { return {name, true, false}; }
// A parameter with a default, given by position or by name.
constexpr Param optional(std::string_view name) { return {name, false, false}; }
// A parameter after "*": given by name only.
constexpr Param keyword_only(std::string_view name, bool is_required = false) {
  return {name, is_required, true};
}

// A function's parameters, the name its argument errors show and its docstring, which begins
// with the text signature ("name(params)\n--\n\n") so that inspect.signature can read it.
// Parameters that may come by position precede the keyword-only ones.
template <std::size_t N>
struct Signature {
  const char* name;                // as registered, e.g. "math_js"
  const char* doc;                 // the text signature line, "--", a blank line, then any text
  std::array<Param, N> params;
  const char* owner = nullptr;     // the class of a method, for messages such as "Cls.fn()"
};
template <std::size_t N>
Signature(const char*, const char*, const Param (&)[N]) -> Signature<N>;
template <std::size_t N>
Signature(const char*, const char*, const Param (&)[N], const char*) -> Signature<N>;

// The arguments of one fast call, as the interpreter passes them: `args[0, nargs)` positional,
// then one value per name in the tuple `kwnames` (null when there are none).
struct Call {
  PyObject* const* args;
  Py_ssize_t nargs;
  PyObject* kwnames;
};

// ---- Matching and converting ---------------------------------------------------------------

// Puts each argument of `call` into the slot of its parameter (null when not given). Raises
// TypeError for surplus positional, duplicated, unknown or missing required arguments.
void match_arguments(const char* owner, const char* name, std::span<const Param> params,
                     const Call& call, std::span<PyObject*> slots);

// Rewords the TypeError now set (exactly TypeError, not a subclass) to name `param`; leaves
// other exceptions as they are.
[[gnu::cold]] void name_parameter_in_type_error(std::string_view param);

template <std::size_t N>
class Args {
 public:
  Args(const Signature<N>& signature, const std::array<PyObject*, N>& slots)
      : signature_(&signature), slots_(slots) {}

  bool is_given(std::size_t i) const { return slots_[i] != nullptr; }
  Borrowed given(std::size_t i) const { return Borrowed(slots_[i]); }

  // The argument of a required parameter, converted.
  template <class T>
  T get(std::size_t i) const {
    assert(is_given(i) && "a required parameter is always given once matched");
    return convert<T>(i);
  }

  // The argument converted, or `fallback` (not converted) when it was not given.
  template <class T>
  T get_or(std::size_t i, T fallback) const {
    return is_given(i) ? convert<T>(i) : std::move(fallback);
  }

 private:
  template <class T>
  T convert(std::size_t i) const {
    try {
      return FromPython<T>::convert(Borrowed(slots_[i]));
    } catch (const ErrorAlreadySet&) {
      name_parameter_in_type_error(signature_->params[i].name);
      throw;
    }
  }

  const Signature<N>* signature_;
  std::array<PyObject*, N> slots_;
};

template <std::size_t N>
Args<N> match(const Signature<N>& signature, const Call& call) {
  std::array<PyObject*, N> slots{};
  match_arguments(signature.owner, signature.name, signature.params, call, slots);
  return Args<N>(signature, slots);
}

// ---- Core steps ----------------------------------------------------------------------------

// Runs `step` with the interpreter lock released, so other Python threads run meanwhile. The step
// must touch no Python object: it reads converted arguments only. Whatever it throws reaches the
// caller after the lock is held again.
template <class Step>
decltype(auto) released(Step&& step) {
  struct Reacquire {
    PyThreadState* saved;
    ~Reacquire() { PyEval_RestoreThread(saved); }
  } reacquire{PyEval_SaveThread()};
  return std::forward<Step>(step)();
}

// Throws DeferredError(RuntimeError, "internal error in vedavi while {activity} (...)"); called
// from the guard's catch handler, so it may look at the exception being handled.
[[noreturn, gnu::cold]] void guard_tripped(const char* activity);

// Runs a core step so that an internal failure inside it is caught here: it becomes RuntimeError
// naming `activity` (e.g. "parsing markdown"). Runs with or without the interpreter lock.
template <class Step>
decltype(auto) guarded(const char* activity, Step&& step) {
  try {
    return std::forward<Step>(step)();
  } catch (const ErrorAlreadySet&) {
    throw;  // a Python exception, e.g. from a conversion inside a step that holds the lock
  } catch (const DeferredError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;  // MemoryError, not a bug
  } catch (...) {
    guard_tripped(activity);
  }
}

// ---- Entry points --------------------------------------------------------------------------

// Sets the Python exception for the C++ exception being handled (see the top of this file).
[[gnu::cold]] void set_exception_from_current();

// Runs a member's body and hands its result to the interpreter; no C++ exception crosses into
// the interpreter.
template <class Body>
PyObject* entry(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)().release();
  } catch (...) {
    set_exception_from_current();
    return nullptr;
  }
}

using MemberFunction = Ref (*)(const Call&);

// The C function the interpreter calls for `Fn` (fast call with keyword names).
template <MemberFunction Fn>
PyObject* fast_call(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames) {
  return entry([&] { return Fn(Call{args, nargs, kwnames}); });
}

// The method definition of a module function: its name and docstring come from its signature.
template <MemberFunction Fn, std::size_t N>
PyMethodDef method(const Signature<N>& signature) {
  using FastCallWithKeywords = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
  FastCallWithKeywords function = &fast_call<Fn>;
  return PyMethodDef{signature.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function)),
                     METH_FASTCALL | METH_KEYWORDS, signature.doc};
}

}  // namespace vedavi::py
