// HeadingNums and SCHEMES: heading numbering for the package's own exporters.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "levels_arg.h"
#include "native_class.h"
#include "resolve/heading_nums.h"

namespace vedavi::py {

std::vector<LevelSpec> levels_of(Borrowed dict) {
  // The dict's own items, whatever a subclass makes of iteration, taken at once so that no
  // other thread changes them under the walk.
  Ref items = check(PyDict_Items(dict.get()));
  std::vector<LevelSpec> levels;
  levels.reserve(std::size_t(PyList_GET_SIZE(items.get())));
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* item = PyList_GET_ITEM(items.get(), i);
    const auto lvl_text = FromPython<std::string_view>::convert(Borrowed(PyTuple_GET_ITEM(item, 0)));
    const auto num_fmt = FromPython<std::string_view>::convert(Borrowed(PyTuple_GET_ITEM(item, 1)));
    levels.emplace_back(std::string(lvl_text), std::string(num_fmt));
  }
  return levels;
}

// A numbering scheme as callers give it: a built-in scheme's name, or a dict of lvlText to
// numFmt whose items, in order, are the levels.
struct SchemeArg {
  std::variant<std::string_view, std::vector<LevelSpec>> scheme;
};

template <>
struct FromPython<SchemeArg> {
  static SchemeArg convert(Borrowed obj) {
    if (PyUnicode_Check(obj.get())) return {FromPython<std::string_view>::convert(obj)};
    if (!PyDict_Check(obj.get())) {
      raise(PyExc_TypeError, "expected a scheme name (str) or a dict of lvlText to numFmt");
    }
    return {levels_of(obj)};
  }
};

namespace {

using Self = Instance<HeadingNums>;

[[noreturn]] void raise_failure(const Failure& failure) { raise(PyExc_ValueError, failure.message); }

// ---- constructor ----

constexpr Signature kNew{"HeadingNums",
                         "HeadingNums(scheme)\n--\n\n"
                         "Heading numbering per a `{lvlText: numFmt}` scheme (Word semantics):\n"
                         "`bump` at each heading, then read its display or full-context number.",
                         {required("scheme")}};

PyObject* heading_nums_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return entry([&] {
    const TupleCall tuple_call(args, kwargs);
    const auto matched = match(kNew, tuple_call.call());
    const SchemeArg scheme = matched.get<SchemeArg>(0);
    Outcome<HeadingNums> nums =
        std::holds_alternative<std::string_view>(scheme.scheme)
            ? HeadingNums::named(std::get<std::string_view>(scheme.scheme))
            : HeadingNums::create(std::get<std::vector<LevelSpec>>(scheme.scheme));
    if (!nums) raise(PyExc_ValueError, nums.message());
    return new_instance(type, std::move(nums).value());
  });
}

// ---- methods ----

constexpr Signature kBump{
    "bump",
    "bump($self, lvl)\n--\n\n"
    "Advance level `lvl` (0-based), resetting deeper levels; returns the\n"
    "display number, or None beyond the scheme.",
    {required("lvl")}, "HeadingNums"};

Ref bump(PyObject* self, const Call& call) {
  const auto args = match(kBump, call);
  const auto level = args.get<std::size_t>(0);
  std::string display;
  {
    Self& object = instance<HeadingNums>(self);
    BorrowFlag::Exclusive taken(object.borrow);
    if (!object.value.advance(level)) return new_none();
    display = object.value.display(level);
  }
  return new_str(display);
}

constexpr Signature kDisplay{"display",
                             "display($self, lvl)\n--\n\n"
                             "The number as shown at a level-`lvl` heading.",
                             {required("lvl")}, "HeadingNums"};

constexpr Signature kFull{"full",
                          "full($self, lvl)\n--\n\n"
                          "Word-style full context: ancestor displays concatenated, unless\n"
                          "`lvl`'s own lvlText already includes them.",
                          {required("lvl")}, "HeadingNums"};

template <bool kFullNumber, const auto& kSignature>
Ref number(PyObject* self, const Call& call) {
  const auto args = match(kSignature, call);
  const auto level = args.template get<std::size_t>(0);
  std::optional<Failure> failure;
  std::string text;
  {
    Self& object = instance<HeadingNums>(self);
    BorrowFlag::Shared taken(object.borrow);
    const HeadingNums& nums = object.value;
    failure = nums.check_level(level);
    if (!failure) text = kFullNumber ? nums.full(level) : nums.display(level);
  }
  if (failure) raise_failure(*failure);
  return new_str(text);
}

PyMethodDef methods[] = {
    instance_method<bump>(kBump),
    instance_method<number<false, kDisplay>>(kDisplay),
    instance_method<number<true, kFull>>(kFull),
    {nullptr, nullptr, 0, nullptr},
};

// ---- properties ----

Ref scheme(PyObject* self) {
  std::vector<NumberingLevel> levels;
  {
    Self& object = instance<HeadingNums>(self);
    BorrowFlag::Shared taken(object.borrow);
    levels = object.value.levels();
  }
  return new_list(levels, [](const NumberingLevel& level) {
    return new_tuple(new_str(level.lvl_text), new_str(num_format_name(level.num_fmt)));
  });
}

Ref counts(PyObject* self) {
  std::vector<std::uint32_t> counters;
  {
    Self& object = instance<HeadingNums>(self);
    BorrowFlag::Shared taken(object.borrow);
    counters = object.value.counters();
  }
  return new_list(counters, [](std::uint32_t n) { return new_int(n); });
}

PyGetSetDef properties[] = {
    {"scheme", &property_get<scheme>, nullptr, "The scheme as `(lvlText, numFmt)` pairs in level order.",
     nullptr},
    {"counts", &property_get<counts>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>(kNew.doc)},
    {Py_tp_new, reinterpret_cast<void*>(heading_nums_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<HeadingNums>)},
    {Py_tp_methods, methods},
    {Py_tp_getset, properties},
    {0, nullptr},
};

PyType_Spec spec = {"vedavi._native.HeadingNums", sizeof(Self), 0,
                    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

Ref make_heading_nums_class(PyObject* module) { return new_class(module, spec); }

// SCHEMES: each built-in scheme's name to a dict of its lvlText to numFmt, in level order.
Ref make_schemes(PyObject*) {
  Ref schemes_dict = check(PyDict_New());
  for (const NamedScheme& named : schemes()) {
    Ref levels = check(PyDict_New());
    for (const auto& [lvl_text, num_fmt] : named.levels) {
      set_item(levels.get(), new_str(lvl_text), new_str(num_fmt));
    }
    set_item(schemes_dict.get(), new_str(named.name), std::move(levels));
  }
  return schemes_dict;
}

}  // namespace vedavi::py
