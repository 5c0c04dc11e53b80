// Conversions between Python objects and C++ values: arguments in (FromPython<T>) and results out
// (new_*). Every conversion throws ErrorAlreadySet with the Python exception set when it fails.
//
// Arguments are read in place: a std::string_view points into the str's own UTF-8 form and stays
// valid while the str lives. An argument lives for the whole call; the containers below keep
// their items alive themselves, and a tuple keeps its elements.
#pragma once

#include <array>
#include <concepts>
#include <functional>
#include <cstdint>
#include <limits>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "errors.h"
#include "pyref.h"

namespace vedavi::py {

// FromPython<T>::convert(obj) gives the T that `obj` stands for, or throws. Specialise it to add
// a parameter type.
template <class T>
struct FromPython;

// Any object, as given (hooks, and parameters that take several types).
template <>
struct FromPython<Borrowed> {
  static Borrowed convert(Borrowed obj) { return obj; }
};

// Text: a str only, read in place as UTF-8. A str holding a lone surrogate has no UTF-8 form and
// raises the interpreter's UnicodeEncodeError.
template <>
struct FromPython<std::string_view> {
  static std::string_view convert(Borrowed obj);
};

// Flag: True or False, or a NumPy bool; an int such as 1 is refused with TypeError.
template <>
struct FromPython<bool> {
  static bool convert(Borrowed obj);
};

// Count: an int (bool included), or an object with __index__, that fits T. A negative or too
// large value raises OverflowError; anything else TypeError.
std::uint64_t to_unsigned(Borrowed obj, std::uint64_t max);

template <std::unsigned_integral T>
  requires(!std::same_as<T, bool>)
struct FromPython<T> {
  static T convert(Borrowed obj) { return T(to_unsigned(obj, std::numeric_limits<T>::max())); }
};

// A value or None: None is "not given".
template <class T>
struct FromPython<std::optional<T>> {
  static std::optional<T> convert(Borrowed obj) {
    if (obj.get() == Py_None) return std::nullopt;
    return FromPython<T>::convert(obj);
  }
};

// A dict or an instance of a dict subclass, taken as it is.
struct Dict {
  Borrowed obj;
};
template <>
struct FromPython<Dict> {
  static Dict convert(Borrowed obj);
};

// Items of a container, converted in order; `owners` keeps each item object alive so that views
// into the items stay valid after the container changes.
template <class T>
struct Items {
  std::vector<T> items;
  std::vector<Ref> owners;
};

// Converts each item that `iterator` yields (a new reference to an iterator) into `out`.
template <class T>
void convert_items(Ref iterator, Items<T>& out) {
  while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
    out.items.push_back(FromPython<T>::convert(Borrowed(item.get())));
    out.owners.push_back(std::move(item));
  }
  if (PyErr_Occurred()) throw_error_already_set();
}

// A list of T: any sequence, but never a str (whose items would be its characters): TypeError
// "Can't extract `str` to `Vec`".
template <class T>
struct List : Items<T> {};

void check_sequence(Borrowed obj);           // throws unless `obj` is a sequence and not a str
// The room to reserve for a container's items: its length, at most kSizeHintCap, else 0. A length
// is only a hint (a subclass's __len__ may say anything); the items are counted as they come.
inline constexpr std::size_t kSizeHintCap = 4096;
std::size_t size_hint(Borrowed container);

template <class T>
struct FromPython<List<T>> {
  static List<T> convert(Borrowed obj) {
    check_sequence(obj);
    List<T> list;
    const std::size_t size = size_hint(obj);
    list.items.reserve(size);
    list.owners.reserve(size);
    convert_items(check(PyObject_GetIter(obj.get())), list);
    return list;
  }
};

// A set of T: a set or frozenset (or an instance of a subclass of either), in iteration order.
template <class T>
struct Set : Items<T> {};

void check_set(Borrowed obj);

template <class T>
struct FromPython<Set<T>> {
  static Set<T> convert(Borrowed obj) {
    check_set(obj);
    Set<T> set;
    const std::size_t size = size_hint(obj);
    set.items.reserve(size);
    set.owners.reserve(size);
    convert_items(check(PyObject_GetIter(obj.get())), set);
    return set;
  }
};

// A tuple of exactly sizeof...(Ts) elements (a tuple subclass too). Another length raises
// ValueError "expected tuple of length {}, but got tuple of length {}".
void check_tuple(Borrowed obj, std::size_t arity);

template <class... Ts>
struct FromPython<std::tuple<Ts...>> {
  static std::tuple<Ts...> convert(Borrowed obj) {
    check_tuple(obj, sizeof...(Ts));
    return convert_elements(obj.get(), std::index_sequence_for<Ts...>{});
  }

 private:
  template <std::size_t... I>
  static std::tuple<Ts...> convert_elements(PyObject* tuple, std::index_sequence<I...>) {
    // Braced initialisation converts the elements left to right.
    return std::tuple<Ts...>{FromPython<Ts>::convert(Borrowed(PyTuple_GET_ITEM(tuple, I)))...};
  }
};

// Results: new Python objects. Each throws ErrorAlreadySet when the interpreter cannot build it.
Ref new_str(std::string_view utf8);
// The same for a whole document's HTML: faster on long text with some non-ASCII characters.
Ref new_large_str(std::string_view utf8);
// The same for HTML written in pieces, each whole UTF-8, joined in order. `written`, when given,
// is called with each piece's index as soon as the str holds it, so that the caller may let go of
// the piece while the rest are written.
Ref new_large_str(std::span<const std::string_view> pieces,
                  const std::function<void(std::size_t)>& written = nullptr);
// Frees a piece of output once it is copied, giving its pages back to the system first: freed
// into the heap they would stay resident in the allocator's free lists, beside the str the output
// is being copied into.
void free_piece(std::string& piece);
// Gives the heap's free pages back to the system.
void return_freed_memory();
// The UTF-8 of a large str (compact, not ASCII) as a new bytes object, faster than the
// interpreter's encoder on long text.
Ref large_str_utf8(Borrowed str);
Ref new_unsigned(std::uint64_t value);
Ref new_signed(std::int64_t value);
template <std::integral T>
  requires(!std::same_as<T, bool>)
Ref new_int(T value) {
  if constexpr (std::is_signed_v<T>) return new_signed(value);
  else return new_unsigned(value);
}
Ref new_bool(bool value);
Ref new_none();
// A str, or None for an absent value.
Ref optional_str(const std::optional<std::string>& value);

// Interned str objects for a fixed list of names, made once when the table is built: dict keys
// that many dicts share then cost neither a decoding nor an intern lookup per dict.
template <std::size_t N>
class InternedNames {
 public:
  explicit InternedNames(const std::array<const char*, N>& names) {
    for (std::size_t i = 0; i < N; ++i) strs_[i] = check(PyUnicode_InternFromString(names[i]));
  }
  PyObject* operator[](std::size_t index) const { return strs_[index].get(); }

 private:
  std::array<Ref, N> strs_;
};

// str objects for the words of a small vocabulary (kind names and the like), each made once and
// then shared: a str is immutable, so equal words may be one object. Past kCapacity / 2 distinct
// words a word is made afresh each time, so an open vocabulary costs nothing extra.
class WordStrs {
 public:
  Ref get(std::string_view word);

 private:
  static constexpr std::size_t kCapacity = 64;
  struct Slot {
    std::string word;
    Ref str;
  };
  std::array<Slot, kCapacity> slots_;
  std::size_t used_ = 0;
};

// Holds the cyclic garbage collector off while one result of many containers is built, and puts
// back the state it found. Every dict and list of such a result is reachable from the result, so
// a collection meanwhile frees none of them and only walks them again each time the young
// generation fills. The build holds the lock and calls no Python code, so no one sees the pause.
// A free-threaded interpreter runs other threads meanwhile, which might switch the collector
// themselves: there it stays as it is.
class CollectorPause {
 public:
#ifdef Py_GIL_DISABLED
  CollectorPause() {}  // user-provided: a pause that does nothing is still no unused variable
#else
  CollectorPause() : was_enabled_(PyGC_Disable() != 0) {}
  ~CollectorPause() {
    if (was_enabled_) PyGC_Enable();
  }
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  bool was_enabled_;
#endif
};

// [(key, value), ...] of str pairs.
Ref new_str_pairs(std::span<const std::pair<std::string, std::string>> pairs);

// A tuple of the given objects.
template <class... Refs>
Ref new_tuple(Refs&&... elements) {
  Ref tuple = check(PyTuple_New(sizeof...(Refs)));
  Py_ssize_t index = 0;
  ((PyTuple_SET_ITEM(tuple.get(), index++, elements.release())), ...);
  return tuple;
}

// A list of make(item) for each item of `range`.
template <std::ranges::sized_range Range, class Make>
Ref new_list(const Range& range, Make&& make) {
  Ref list = check(PyList_New(Py_ssize_t(std::ranges::size(range))));
  Py_ssize_t index = 0;
  for (const auto& item : range) PyList_SET_ITEM(list.get(), index++, make(item).release());
  return list;
}

}  // namespace vedavi::py
