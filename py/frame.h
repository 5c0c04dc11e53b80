// The calling frame every member function shares: matching arguments to parameters, converting
// them, running core steps without the interpreter lock and inside the failure guard, and turning
// every failure into the right Python exception.
//
// Writing a member function
// -------------------------
//   constexpr Signature kShout{"shout", "shout(text, times=None)\n--\n\n",
//                              {required("text"), with_default("times")}};
//
//   Ref shout(const Call& call) {
//     const auto args = match(kShout, call);                               // 1. match
//     const auto text = args.get<std::string_view>(0);                     // 2. convert, in
//     const auto times = args.get_or<std::optional<std::uint64_t>>(1, {});  //  signature order
//     if (times == 0u) raise(PyExc_ValueError, "times must be positive");  // 3. check values
//     std::string out = released([&] {                                     // 4. core work
//       return guarded("shouting", [&] { return core::shout(text, times.value_or(1)); });
//     });
//     return new_str(out);                                                 // 5. result
//   }
//   PyMethodDef shout_method = method<shout>(kShout);
//
// then add FUNCTION(shout) at its place in the member table of module.cpp.
//
// - The docstring starts with the text signature, "--" and a blank line; any documentation text
//   follows. Signature's constructor runs at compile time and rejects a text signature whose
//   parameters (names, order, defaults, "*") differ from the Param list.
// - Convert every argument before checking any value, so that a type error of a later parameter
//   wins over a bad value of an earlier one. `get_or` leaves a parameter that was not given at
//   its fallback, unconverted.
// - Parameter types (convert.h): std::string_view (str, read in place), bool (True/False/NumPy
//   bool), unsigned integers (int or __index__), std::optional<T> (None or T), Borrowed (any
//   object), Dict, List<T> (any sequence but a str), Set<T> (set/frozenset), std::tuple<...>.
//   Specialise FromPython<T> to add one.
// - Views into arguments stay valid for the whole call, with or without the lock: the caller
//   holds the arguments, List and Set hold their items, a tuple holds its elements, and str is
//   immutable.
// - `released` lets other threads run during a step that touches no Python object; `guarded`
//   names the activity of a core step for the RuntimeError below. Steps that keep the lock use
//   `guarded` alone. Build results with new_* (convert.h) once the lock is held again.
// - Core entry points call vedavi::fault_point(input) (internal_error.h); builds with
//   VEDAVI_FAULT_INJECTION then fail inside the step when the input holds kFaultMarker, which is
//   how tests reach the guard.
//
// Failures
// --------
// Conversions throw ErrorAlreadySet with the Python exception set; a TypeError (exactly
// TypeError) from converting an argument is reworded to name its parameter ("argument 'types':
// Can't extract `str` to `Vec`"), other exception types pass unchanged. Raise an exception of
// your own with raise(). An internal failure of the core (vedavi::InternalError or any other
// exception but std::bad_alloc) inside `guarded` becomes RuntimeError "internal error in vedavi
// while {activity} (this is a bug, please report it)"; anywhere else in a member it becomes
// vedavi_runtime.PanicException (a BaseException) carrying the failure's message. Either way one
// line goes to standard error. std::bad_alloc becomes MemoryError wherever it is thrown.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <new>
#include <span>
#include <string_view>
#include <utility>

#include "convert.h"
#include "errors.h"
#include "model/arena.h"
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
constexpr Param with_default(std::string_view name) { return {name, false, false}; }
// A parameter after "*": given by name only.
constexpr Param keyword_only(std::string_view name, bool is_required = false) {
  return {name, is_required, true};
}

// True when `doc` begins with the text signature of `name` taking `params`: "name(", an optional
// "$self, ", the parameters in order ("p" when required, "p=default" when not, a "*" before the
// first keyword-only one), then ")\n--\n\n".
constexpr bool is_text_signature_of(std::string_view doc, std::string_view name,
                                    std::span<const Param> params) {
  if (!doc.starts_with(name) || !doc.substr(name.size()).starts_with("(")) return false;
  const std::size_t list_begin = name.size() + 1;
  const std::size_t list_end = doc.find(")\n--\n\n", list_begin);
  if (list_end == std::string_view::npos) return false;
  std::string_view list = doc.substr(list_begin, list_end - list_begin);
  if (list.starts_with("$self")) list.remove_prefix(list.starts_with("$self, ") ? 7 : 5);
  bool is_keyword_only = false;
  std::size_t next = 0;
  while (!list.empty()) {
    const std::size_t comma = list.find(", ");
    const std::string_view item = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 2);
    if (item == "*") {
      if (is_keyword_only) return false;
      is_keyword_only = true;
      continue;
    }
    const std::size_t equals = item.find('=');
    if (next == params.size()) return false;
    const Param& param = params[next++];
    if (param.name != item.substr(0, equals) || param.is_keyword_only != is_keyword_only ||
        param.is_required != (equals == std::string_view::npos)) {
      return false;
    }
  }
  return next == params.size();
}

// A function's parameters, the name its argument errors show and its docstring, which begins
// with the text signature ("name(params)\n--\n\n") so that inspect.signature can read it. The
// constructor runs at compile time and refuses a docstring whose signature differs from the
// parameters, so the two cannot drift apart.
template <std::size_t N>
struct Signature {
  const char* name;             // as registered, e.g. "math_js"
  const char* doc;              // the text signature, "--", a blank line, then any text
  std::array<Param, N> params;  // those that may come by position first
  const char* owner;            // the class of a method, for messages such as "Cls.fn()"

  consteval Signature(const char* name, const char* doc, const Param (&params)[N],
                      const char* owner = nullptr)
      : name(name), doc(doc), params(std::to_array(params)), owner(owner) {
    if (!is_text_signature_of(doc, name, this->params)) {
      throw "the docstring's text signature does not match the parameters";
    }
  }
};

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
// the interpreter. What the body builds in an arena (document trees, attribute sets) lives in the
// call's arena, freed at once when the call returns; a call made from inside another (a callback
// calling back into vedavi) builds into its caller's.
template <class Body>
PyObject* entry(Body&& body) noexcept {
  try {
    ArenaScope arena;
    Ref result = std::forward<Body>(body)();
    assert((result || PyErr_Occurred()) && "a member returns an object or throws");
    return result.release();
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
