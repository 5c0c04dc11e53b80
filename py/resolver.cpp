// Resolver and REFTYPES: the cross-reference registry for the package's own exporters.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "native_class.h"
#include "reftypes_arg.h"
#include "resolve/resolve.h"
#include "token_sets.h"

namespace vedavi::py {

namespace {

using Self = Instance<Resolver>;

[[noreturn]] void raise_failure(const Failure& failure) { raise(PyExc_ValueError, failure.message); }

template <class T>
T value_or_raise(Outcome<T> outcome) {
  if (!outcome) raise(PyExc_ValueError, outcome.message());
  return std::move(outcome).value();
}

// ---- constructor ----

// The reference types come from the first positional argument when there is one (even None),
// else from the keyword "reftypes"; any other argument is ignored.
PyObject* resolver_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return entry([&] {
    PyObject* source = nullptr;
    if (PyTuple_GET_SIZE(args) > 0) {
      source = PyTuple_GET_ITEM(args, 0);
    } else if (kwargs != nullptr) {
      source = PyDict_GetItemWithError(kwargs, check(PyUnicode_FromString("reftypes")).get());
      if (source == nullptr && PyErr_Occurred()) throw_error_already_set();
    }
    RefTypesArg reftypes;
    if (source != nullptr && source != Py_None) {
      try {
        reftypes = FromPython<RefTypesArg>::convert(Borrowed(source));
      } catch (const ErrorAlreadySet&) {
        name_parameter_in_type_error("reftypes");
        throw;
      }
    }
    return new_instance(type, Resolver(reftypes.reftypes));
  });
}

// ---- methods ----

constexpr Signature kRegister{"register",
                              "register($self, id, kind=None, text=None)\n--\n\n"
                              "Record a target: its kind (`'block'`/`'caption'`, when known) and its\n"
                              "text.",
                              {required("id"), with_default("kind"), with_default("text")}, "Resolver"};

Ref register_target(PyObject* self, const Call& call) {
  const auto args = match(kRegister, call);
  const auto id = args.get<std::string_view>(0);
  const auto kind = args.get_or<std::optional<std::string_view>>(1, std::nullopt);
  const auto text = args.get_or<std::optional<std::string_view>>(2, std::nullopt);
  Self& object = instance<Resolver>(self);
  BorrowFlag::Exclusive taken(object.borrow);
  object.value.register_target(id, kind, text);
  return new_none();
}

constexpr Signature kSetHeadnum{"set_headnum", "set_headnum($self, id, display, full)\n--\n\n",
                                {required("id"), required("display"), required("full")},
                                "Resolver"};

Ref set_headnum(PyObject* self, const Call& call) {
  const auto args = match(kSetHeadnum, call);
  const auto id = args.get<std::string_view>(0);
  const auto display = args.get<std::string_view>(1);
  const auto full = args.get<std::string_view>(2);
  Self& object = instance<Resolver>(self);
  BorrowFlag::Exclusive taken(object.borrow);
  object.value.set_headnum(id, std::string(display), std::string(full));
  return new_none();
}

constexpr Signature kSetCapnum{"set_capnum", "set_capnum($self, id, label, n)\n--\n\n",
                               {required("id"), required("label"), required("n")}, "Resolver"};

Ref set_capnum(PyObject* self, const Call& call) {
  const auto args = match(kSetCapnum, call);
  const auto id = args.get<std::string_view>(0);
  const auto label = args.get<std::string_view>(1);
  const auto n = args.get<std::uint32_t>(2);
  Self& object = instance<Resolver>(self);
  BorrowFlag::Exclusive taken(object.borrow);
  object.value.set_capnum(id, std::string(label), n);
  return new_none();
}

constexpr Signature kCheck{"check",
                           "check($self, tgt)\n--\n\n"
                           "Raise for a reference to an unknown target id.",
                           {required("tgt")}, "Resolver"};

Ref check_target(PyObject* self, const Call& call) {
  const auto args = match(kCheck, call);
  const auto target = args.get<std::string_view>(0);
  std::optional<Failure> failure;
  {
    Self& object = instance<Resolver>(self);
    BorrowFlag::Shared taken(object.borrow);
    failure = object.value.check(target);
  }
  if (failure) raise_failure(*failure);
  return new_none();
}

constexpr Signature kCore{"core",
                          "core($self, tgt, tokens)\n--\n\n"
                          "A reference's baked text, without any prefix word.",
                          {required("tgt"), required("tokens")}, "Resolver"};

Ref core(PyObject* self, const Call& call) {
  const auto args = match(kCore, call);
  const auto target = args.get<std::string_view>(0);
  const RefTokens tokens = ref_tokens_of(args.get<Set<std::string_view>>(1));
  Outcome<std::string> text = std::string();
  {
    Self& object = instance<Resolver>(self);
    BorrowFlag::Shared taken(object.borrow);
    text = object.value.core(target, tokens);
  }
  return new_str(value_or_raise(std::move(text)));
}

constexpr Signature kPrefix{"prefix",
                            "prefix($self, override_text, tgt, tokens, plural=False)\n--\n\n"
                            "Prefix text before a reference: `override` text, the type's prefix\n"
                            "word, or nothing for bare and caption refs.",
                            {required("override_text"), required("tgt"), required("tokens"),
                             with_default("plural")},
                            "Resolver"};

Ref prefix(PyObject* self, const Call& call) {
  const auto args = match(kPrefix, call);
  const auto own_text = args.get<std::string_view>(0);
  const auto target = args.get<std::string_view>(1);
  const RefTokens tokens = ref_tokens_of(args.get<Set<std::string_view>>(2));
  const bool plural = args.get_or<bool>(3, false);
  Outcome<std::string> text = std::string();
  {
    Self& object = instance<Resolver>(self);
    BorrowFlag::Shared taken(object.borrow);
    text = object.value.prefix(own_text, target, tokens, plural);
  }
  return new_str(value_or_raise(std::move(text)));
}

PyMethodDef methods[] = {
    instance_method<register_target>(kRegister),
    instance_method<set_headnum>(kSetHeadnum),
    instance_method<set_capnum>(kSetCapnum),
    instance_method<check_target>(kCheck),
    instance_method<core>(kCore),
    instance_method<prefix>(kPrefix),
    {nullptr, nullptr, 0, nullptr},
};

// ---- properties ----

// A read-only snapshot of one of the registry's maps, each value made by `make`. The entries are
// copied out first, so building the Python objects happens with the registry free again.
template <class V, const StringMap<V>& (Resolver::*kMap)() const, class Make>
Ref snapshot(PyObject* self, Make make) {
  std::vector<std::pair<std::string, V>> entries;
  {
    Self& object = instance<Resolver>(self);
    BorrowFlag::Shared taken(object.borrow);
    const StringMap<V>& map = (object.value.*kMap)();
    entries.assign(map.begin(), map.end());
  }
  Ref dict = check(PyDict_New());
  for (const auto& [key, value] : entries) set_item(dict.get(), new_str(key), make(value));
  return new_mapping_proxy(std::move(dict));
}

Ref reftypes(PyObject* self) {
  return snapshot<RefTypeWords, &Resolver::reftypes>(self, [](const RefTypeWords& words) {
    return new_tuple(new_str(words.singular), new_str(words.plural));
  });
}

Ref kinds(PyObject* self) {
  return snapshot<std::string, &Resolver::kinds>(self, [](const std::string& kind) { return new_str(kind); });
}

Ref idtext(PyObject* self) {
  return snapshot<std::string, &Resolver::idtext>(self, [](const std::string& text) { return new_str(text); });
}

Ref headnums(PyObject* self) {
  return snapshot<HeadNum, &Resolver::headnums>(self, [](const HeadNum& num) {
    return new_tuple(new_str(num.display), new_str(num.full));
  });
}

Ref capnums(PyObject* self) {
  return snapshot<CapNum, &Resolver::capnums>(self, [](const CapNum& num) {
    return new_tuple(new_str(num.label), new_int(num.n));
  });
}

PyGetSetDef properties[] = {
    {"reftypes", &property_get<reftypes>, nullptr, nullptr, nullptr},
    {"kinds", &property_get<kinds>, nullptr, nullptr, nullptr},
    {"idtext", &property_get<idtext>, nullptr, nullptr, nullptr},
    {"headnums", &property_get<headnums>, nullptr, nullptr, nullptr},
    {"capnums", &property_get<capnums>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "Resolver(*args, **kwargs)\n--\n\n"
                    "Cross-reference resolution shared by exporters: a registry of targets\n"
                    "(registered via `register`/`set_headnum`/`set_capnum`; the mapping\n"
                    "attributes are read-only snapshots) and the baked text each reference\n"
                    "resolves to.")},
    {Py_tp_new, reinterpret_cast<void*>(resolver_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<Resolver>)},
    {Py_tp_methods, methods},
    {Py_tp_getset, properties},
    {0, nullptr},
};

PyType_Spec spec = {"vedavi._native.Resolver", sizeof(Self), 0,
                    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots};

}  // namespace

Ref make_resolver_class(PyObject* module) { return new_class(module, spec); }

// REFTYPES: the default reference types, in order, each to its (singular, plural) words.
Ref make_reftypes(PyObject*) {
  Ref dict = check(PyDict_New());
  for (const auto& [type, words] : default_reftypes()) {
    set_item(dict.get(), new_str(type), new_tuple(new_str(words.singular), new_str(words.plural)));
  }
  return dict;
}

}  // namespace vedavi::py
