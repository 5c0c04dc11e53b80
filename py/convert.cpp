// Conversions of arguments and results that need no template.
#include "convert.h"

#include <algorithm>
#include <cstring>

namespace vedavi::py {

std::string_view FromPython<std::string_view>::convert(Borrowed obj) {
  if (!PyUnicode_Check(obj.get())) raise_not_instance(obj.get(), "str");
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(obj.get(), &size);
  if (data == nullptr) throw_error_already_set();
  return {data, std::size_t(size)};
}

namespace {

bool attribute_equals(PyObject* obj, const char* attribute, std::string_view expected) {
  Ref value = Ref::steal(PyObject_GetAttrString(obj, attribute));
  if (!value || !PyUnicode_Check(value.get())) {
    PyErr_Clear();
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.get(), &size);
  if (data == nullptr) {
    PyErr_Clear();
    return false;
  }
  return std::string_view(data, std::size_t(size)) == expected;
}

// NumPy's bool scalar type ("bool_" before NumPy 2, "bool" since), recognised by name so that
// NumPy need not be imported.
bool is_numpy_bool(PyObject* obj) {
  auto* type = reinterpret_cast<PyObject*>(Py_TYPE(obj));
  return attribute_equals(type, "__module__", "numpy") &&
         (attribute_equals(type, "__name__", "bool_") || attribute_equals(type, "__name__", "bool"));
}

}  // namespace

bool FromPython<bool>::convert(Borrowed obj) {
  if (obj.get() == Py_True) return true;
  if (obj.get() == Py_False) return false;
  if (!is_numpy_bool(obj.get())) raise_not_instance(obj.get(), "bool");
  // A NumPy bool answers through its own truth slot; no fallback to __len__ or the like.
  PyNumberMethods* number = Py_TYPE(obj.get())->tp_as_number;
  if (number == nullptr || number->nb_bool == nullptr) {
    PyErr_Format(PyExc_TypeError, "object of type '%S' does not define a '__bool__' conversion",
                 reinterpret_cast<PyObject*>(Py_TYPE(obj.get())));
    throw_error_already_set();
  }
  const int truth = number->nb_bool(obj.get());
  if (truth < 0) throw_error_already_set();
  return truth != 0;
}

std::uint64_t to_unsigned(Borrowed obj, std::uint64_t max) {
  Ref index;
  PyObject* number = obj.get();
  if (!PyLong_Check(number)) {
    index = check(PyNumber_Index(number));
    number = index.get();
  }
  const unsigned long long value = PyLong_AsUnsignedLongLong(number);
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw_error_already_set();
  if (value > max) raise(PyExc_OverflowError, "out of range integral type conversion attempted");
  return value;
}

Dict FromPython<Dict>::convert(Borrowed obj) {
  if (!PyDict_Check(obj.get())) raise_not_instance(obj.get(), "dict");
  return Dict{obj};
}

void check_sequence(Borrowed obj) {
  if (PyUnicode_Check(obj.get())) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
  if (!PySequence_Check(obj.get())) raise_not_instance(obj.get(), "Sequence");
}

std::size_t size_hint(Borrowed container) {
  const Py_ssize_t size = PyObject_Size(container.get());
  if (size < 0) {
    PyErr_Clear();
    return 0;
  }
  return std::min(std::size_t(size), kSizeHintCap);
}

void check_set(Borrowed obj) {
  if (!PyAnySet_Check(obj.get())) raise_not_instance(obj.get(), "set");
}

void check_tuple(Borrowed obj, std::size_t arity) {
  if (!PyTuple_Check(obj.get())) raise_not_instance(obj.get(), "tuple");
  const auto size = std::size_t(PyTuple_GET_SIZE(obj.get()));
  if (size != arity) {
    PyErr_Format(PyExc_ValueError, "expected tuple of length %zu, but got tuple of length %zu", arity,
                 size);
    throw_error_already_set();
  }
}

Ref new_str(std::string_view utf8) {
  return check(PyUnicode_FromStringAndSize(utf8.data(), Py_ssize_t(utf8.size())));
}

Ref new_unsigned(std::uint64_t value) { return check(PyLong_FromUnsignedLongLong(value)); }

Ref new_signed(std::int64_t value) { return check(PyLong_FromLongLong(value)); }

Ref new_bool(bool value) { return Ref::borrow(value ? Py_True : Py_False); }

Ref new_none() { return Ref::borrow(Py_None); }

Ref optional_str(const std::optional<std::string>& value) {
  return value ? new_str(*value) : new_none();
}

Ref WordStrs::get(std::string_view word) {
  // FNV-1a over the word's bytes; the vocabularies are a few dozen short words.
  std::size_t hash = 14695981039346656037ull;
  for (const char c : word) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  for (std::size_t probe = 0; probe < kCapacity; ++probe) {
    Slot& slot = slots_[(hash + probe) % kCapacity];
    if (!slot.str) {
      if (2 * used_ >= kCapacity) break;
      slot.str = new_str(word);
      slot.word = word;
      ++used_;
      return Ref::borrow(slot.str.get());
    }
    if (slot.word == word) return Ref::borrow(slot.str.get());
  }
  return new_str(word);
}

Ref new_str_pairs(std::span<const std::pair<std::string, std::string>> pairs) {
  return new_list(pairs, [](const auto& pair) {
    Ref key = new_str(pair.first);
    Ref value = new_str(pair.second);
    return new_tuple(std::move(key), std::move(value));
  });
}

}  // namespace vedavi::py
