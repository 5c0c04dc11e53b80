// The reference types a caller adds (Resolver, export_html): a dict of type to (singular, plural).
#pragma once

#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "convert.h"
#include "resolve/resolve.h"

namespace vedavi::py {

struct RefTypesArg {
  std::vector<std::pair<std::string, RefTypeWords>> reftypes;
};

template <>
struct FromPython<RefTypesArg> {
  static RefTypesArg convert(Borrowed obj) {
    if (!PyDict_Check(obj.get())) raise_not_instance(obj.get(), "dict");
    // The dict's own items, taken at once so that no other thread changes them under the walk.
    Ref items = check(PyDict_Items(obj.get()));
    RefTypesArg arg;
    arg.reftypes.reserve(std::size_t(PyList_GET_SIZE(items.get())));
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
      PyObject* item = PyList_GET_ITEM(items.get(), i);
      const auto type = FromPython<std::string_view>::convert(Borrowed(PyTuple_GET_ITEM(item, 0)));
      const auto [singular, plural] = FromPython<std::tuple<std::string_view, std::string_view>>::convert(
          Borrowed(PyTuple_GET_ITEM(item, 1)));
      arg.reftypes.emplace_back(std::string(type),
                                RefTypeWords{std::string(singular), std::string(plural)});
    }
    return arg;
  }
};

}  // namespace vedavi::py
