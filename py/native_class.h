// What the module's classes share: instances that own a core value and keep their callers apart,
// methods on the shared calling frame, read-only mapping snapshots, and class creation.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "frame.h"

namespace vedavi::py {

// How calls take an instance: a method that changes it takes it exclusively, readers share it.
// No Python code runs while an instance is taken (arguments are converted before, results are
// built after), so a clash means two threads of a free-threaded interpreter met on one instance;
// the second gets RuntimeError instead of a data race.
class BorrowFlag {
 public:
  class Shared {
   public:
    explicit Shared(BorrowFlag& flag);
    ~Shared() { flag_.state_.fetch_sub(1, std::memory_order_release); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

   private:
    BorrowFlag& flag_;
  };

  class Exclusive {
   public:
    explicit Exclusive(BorrowFlag& flag);
    ~Exclusive() { flag_.state_.store(0, std::memory_order_release); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

   private:
    BorrowFlag& flag_;
  };

 private:
  static constexpr std::intptr_t kExclusive = -1;
  std::atomic<std::intptr_t> state_{0};  // kExclusive, or the number of readers
};

// The Python object of a class whose instances own one core value `T`.
template <class T>
struct Instance {
  PyObject_HEAD
  BorrowFlag borrow;
  T value;
};

template <class T>
Instance<T>& instance(PyObject* self) {
  return *reinterpret_cast<Instance<T>*>(self);
}

// A new instance of `type` owning `value`.
template <class T>
Ref new_instance(PyTypeObject* type, T value) {
  // Moving in cannot fail, so an allocated instance always holds a value for dealloc to destroy.
  static_assert(std::is_nothrow_move_constructible_v<T>);
  Ref self = check(type->tp_alloc(type, 0));
  auto* object = reinterpret_cast<Instance<T>*>(self.get());
  new (&object->borrow) BorrowFlag();
  new (&object->value) T(std::move(value));
  return self;
}

template <class T>
void dealloc_instance(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  auto& object = instance<T>(self);
  object.value.~T();
  object.borrow.~BorrowFlag();
  type->tp_free(self);
  Py_DECREF(type);  // instances of heap types own a reference to their type
}

// The arguments of a classic call (a tuple and a dict, as constructors get them) laid out as a
// fast call, so that the frame's matching serves constructors too.
class TupleCall {
 public:
  TupleCall(PyObject* args, PyObject* kwargs);
  Call call() const { return Call{values_.data(), nargs_, kwnames_.get()}; }

 private:
  std::vector<PyObject*> values_;  // borrowed from the tuple and the dict, which the caller holds
  Py_ssize_t nargs_;
  Ref kwnames_;
};

using InstanceFunction = Ref (*)(PyObject* self, const Call&);

template <InstanceFunction Fn>
PyObject* instance_fast_call(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                             PyObject* kwnames) {
  return entry([&] { return Fn(self, Call{args, nargs, kwnames}); });
}

// The method definition of an instance method, from its signature (whose owner is the class).
template <InstanceFunction Fn, std::size_t N>
constexpr PyMethodDef instance_method(const Signature<N>& signature) {
  using FastCallWithKeywords = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
  FastCallWithKeywords function = &instance_fast_call<Fn>;
  return PyMethodDef{signature.name,
                     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function)),
                     METH_FASTCALL | METH_KEYWORDS, signature.doc};
}

using Getter = Ref (*)(PyObject* self);

template <Getter Fn>
PyObject* property_get(PyObject* self, void* /*closure*/) {
  return entry([&] { return Fn(self); });
}

// `dict` wrapped in a new types.MappingProxyType: a read-only view that no later change of the
// instance reaches, since the dict is the caller's alone.
Ref new_mapping_proxy(Ref dict);

// Sets `key` to `value` in `dict`.
void set_item(PyObject* dict, Ref key, Ref value);

// A class of `module` (a heap type) from its spec.
Ref new_class(PyObject* module, PyType_Spec& spec);

}  // namespace vedavi::py
