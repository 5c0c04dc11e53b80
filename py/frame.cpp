// Argument matching and the translation of failures into Python exceptions. The wording of the
// argument errors follows the one Python users know from other native modules.
#include "frame.h"

#include <exception>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "base/internal_error.h"

namespace vedavi::py {
namespace {

// "f()" for a function, "Cls.f()" for a method.
std::string display_name(const char* owner, const char* name) {
  std::string text;
  if (owner != nullptr) text.append(owner).push_back('.');
  text.append(name).append("()");
  return text;
}

// Decimal digits of `n`. (std::to_string would make the extension export a symbol of the
// standard library: a GNU unique symbol, which hidden visibility does not hide.)
std::string decimal(std::size_t n) {
  char digits[24];
  char* begin = std::end(digits);
  do {
    *--begin = char('0' + n % 10);
    n /= 10;
  } while (n != 0);
  return std::string(begin, std::end(digits));
}

// 'a'; 'a' and 'b'; 'a', 'b', and 'c'.
void append_name_list(std::string& text, std::span<const std::string_view> names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) {
      if (names.size() > 2) text.push_back(',');
      text.append(i + 1 == names.size() ? " and " : " ");
    }
    text.append("'").append(names[i]).append("'");
  }
}

[[noreturn, gnu::cold]] void raise_missing(const char* owner, const char* name, const char* kind,
                                           std::span<const std::string_view> missing) {
  std::string text = display_name(owner, name);
  text.append(" missing ").append(decimal(missing.size())).append(" required ").append(kind);
  text.append(missing.size() == 1 ? " argument: " : " arguments: ");
  append_name_list(text, missing);
  raise(PyExc_TypeError, text);
}

[[noreturn, gnu::cold]] void raise_too_many_positional(const char* owner, const char* name,
                                                       std::size_t required, std::size_t accepted,
                                                       std::size_t given) {
  std::string text = display_name(owner, name);
  text.append(" takes ");
  if (required != accepted) text.append("from ").append(decimal(required)).append(" to ");
  text.append(decimal(accepted)).append(" positional arguments but ");
  text.append(decimal(given)).append(given == 1 ? " was given" : " were given");
  raise(PyExc_TypeError, text);
}

[[noreturn, gnu::cold]] void raise_multiple_values(const char* owner, const char* name,
                                                   std::string_view param) {
  std::string text = display_name(owner, name);
  text.append(" got multiple values for argument '").append(param).append("'");
  raise(PyExc_TypeError, text);
}

[[noreturn, gnu::cold]] void raise_unexpected_keyword(const char* owner, const char* name,
                                                      PyObject* keyword) {
  // %U: the keyword may hold characters without a UTF-8 form.
  PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
               display_name(owner, name).c_str(), keyword);
  throw_error_already_set();
}

// The index of the parameter named `keyword`, or params.size().
std::size_t find_parameter(std::span<const Param> params, PyObject* keyword) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(keyword, &size);
  if (data == nullptr) {
    PyErr_Clear();  // no UTF-8 form: matches no parameter
    return params.size();
  }
  const std::string_view text(data, std::size_t(size));
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i].name == text) return i;
  }
  return params.size();
}

// Raises TypeError naming every required parameter in `params` whose slot is empty.
void check_required(const char* owner, const char* name, std::span<const Param> params,
                    std::span<PyObject* const> slots, const char* kind) {
  std::vector<std::string_view> missing;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i].is_required && slots[i] == nullptr) missing.push_back(params[i].name);
  }
  if (!missing.empty()) raise_missing(owner, name, kind, missing);
}

}  // namespace

void match_arguments(const char* owner, const char* name, std::span<const Param> params,
                     const Call& call, std::span<PyObject*> slots) {
  std::size_t positional = 0;  // parameters that may come by position
  std::size_t required_positional = 0;
  while (positional < params.size() && !params[positional].is_keyword_only) {
    if (params[positional].is_required) required_positional = positional + 1;
    ++positional;
  }

  const auto given = std::size_t(call.nargs);
  if (given > positional) raise_too_many_positional(owner, name, required_positional, positional, given);
  for (std::size_t i = 0; i < given; ++i) slots[i] = call.args[i];

  if (call.kwnames != nullptr) {
    const Py_ssize_t count = PyTuple_GET_SIZE(call.kwnames);
    for (Py_ssize_t k = 0; k < count; ++k) {
      PyObject* keyword = PyTuple_GET_ITEM(call.kwnames, k);
      const std::size_t i = find_parameter(params, keyword);
      if (i == params.size()) raise_unexpected_keyword(owner, name, keyword);
      if (slots[i] != nullptr) raise_multiple_values(owner, name, params[i].name);
      slots[i] = call.args[call.nargs + k];
    }
  }

  check_required(owner, name, params.first(positional), slots.first(positional), "positional");
  check_required(owner, name, params.subspan(positional), slots.subspan(positional), "keyword");
}

void name_parameter_in_type_error(std::string_view param) {
  Ref error = fetch_exception();
  if (!error || Py_TYPE(error.get()) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
    restore_exception(std::move(error));
    return;
  }
  Ref text = Ref::steal(PyObject_Str(error.get()));
  if (!text) return;  // the failure to read the message is the exception now set
  Ref name = Ref::steal(PyUnicode_FromStringAndSize(param.data(), Py_ssize_t(param.size())));
  if (!name) return;
  Ref message = Ref::steal(PyUnicode_FromFormat("argument '%U': %U", name.get(), text.get()));
  if (!message) return;
  Ref renamed = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (!renamed) return;
  // The new error keeps the original's cause, as if it had been raised in its place.
  PyException_SetCause(renamed.get(), PyException_GetCause(error.get()));
  restore_exception(std::move(renamed));
}

void guard_tripped(const char* activity) {
  std::string what = "unknown failure";
  try {
    throw;
  } catch (const std::exception& failure) {
    what = failure.what();
  } catch (...) {
  }
  report_internal_failure(activity, what);
  // The failure's own message stays out of the exception: it is a detail of the core.
  throw DeferredError{PyExc_RuntimeError, std::string("internal error in vedavi while ") + activity +
                                              " (this is a bug, please report it)"};
}

void set_exception_from_current() {
  try {
    throw;
  } catch (const ErrorAlreadySet&) {
    assert(PyErr_Occurred());
  } catch (const DeferredError& error) {
    PyErr_SetString(error.type, error.message.c_str());
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& failure) {
    report_internal_failure({}, failure.what());
    raise_panic(failure.what());
  } catch (...) {
    report_internal_failure({}, "unknown failure");
    raise_panic("unknown failure");
  }
}

}  // namespace vedavi::py
