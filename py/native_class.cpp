// Instance borrowing, mapping snapshots and class creation.
#include "native_class.h"

namespace vedavi::py {

BorrowFlag::Shared::Shared(BorrowFlag& flag) : flag_(flag) {
  std::intptr_t state = flag.state_.load(std::memory_order_relaxed);
  do {
    if (state == kExclusive) raise(PyExc_RuntimeError, "Already mutably borrowed");
  } while (!flag.state_.compare_exchange_weak(state, state + 1, std::memory_order_acquire,
                                              std::memory_order_relaxed));
}

BorrowFlag::Exclusive::Exclusive(BorrowFlag& flag) : flag_(flag) {
  std::intptr_t expected = 0;
  if (!flag.state_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire,
                                           std::memory_order_relaxed)) {
    raise(PyExc_RuntimeError, "Already borrowed");
  }
}

TupleCall::TupleCall(PyObject* args, PyObject* kwargs) : nargs_(PyTuple_GET_SIZE(args)) {
  const Py_ssize_t nkwargs = kwargs != nullptr ? PyDict_GET_SIZE(kwargs) : 0;
  values_.reserve(std::size_t(nargs_ + nkwargs));
  for (Py_ssize_t i = 0; i < nargs_; ++i) values_.push_back(PyTuple_GET_ITEM(args, i));
  if (nkwargs == 0) return;
  kwnames_ = check(PyTuple_New(nkwargs));
  Py_ssize_t pos = 0, k = 0;
  PyObject *key, *value;
  while (PyDict_Next(kwargs, &pos, &key, &value)) {
    PyTuple_SET_ITEM(kwnames_.get(), k++, Py_NewRef(key));
    values_.push_back(value);
  }
}

Ref new_mapping_proxy(Ref dict) {
  // Looked up on every read, as the module keeps no state; the import is a cache hit.
  Ref types = check(PyImport_ImportModule("types"));
  Ref proxy_type = check(PyObject_GetAttrString(types.get(), "MappingProxyType"));
  return check(PyObject_CallOneArg(proxy_type.get(), dict.get()));
}

void set_item(PyObject* dict, Ref key, Ref value) {
  if (PyDict_SetItem(dict, key.get(), value.get()) < 0) throw_error_already_set();
}

Ref new_class(PyObject* module, PyType_Spec& spec) {
  return check(PyType_FromModuleAndSpec(module, &spec, nullptr));
}

}  // namespace vedavi::py
