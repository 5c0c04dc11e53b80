// Owned and borrowed references to Python objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace vedavi::py {

// An owned (strong) reference: released when the Ref goes out of scope. Null means "no object";
// a function returning a null Ref has set a Python exception.
class Ref {
 public:
  Ref() = default;
  // Takes over a new reference, as the C API returns them (null stays null).
  static Ref steal(PyObject* obj) { return Ref(obj); }
  // Adds a reference to a borrowed object.
  static Ref borrow(PyObject* obj) {
    Py_XINCREF(obj);
    return Ref(obj);
  }

  Ref(Ref&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    Ref(std::move(other)).swap(*this);
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(obj_); }

  PyObject* get() const { return obj_; }
  // Hands the reference to the caller (e.g. as a function's return value).
  [[nodiscard]] PyObject* release() { return std::exchange(obj_, nullptr); }
  explicit operator bool() const { return obj_ != nullptr; }
  void swap(Ref& other) noexcept { std::swap(obj_, other.obj_); }

 private:
  explicit Ref(PyObject* obj) : obj_(obj) {}
  PyObject* obj_ = nullptr;
};

// A borrowed reference: valid as long as its owner keeps the object (for arguments, the caller,
// for the whole call). Never null once matched; `own` makes a Ref to keep it longer.
class Borrowed {
 public:
  Borrowed() = default;
  explicit Borrowed(PyObject* obj) : obj_(obj) {}
  PyObject* get() const { return obj_; }
  explicit operator bool() const { return obj_ != nullptr; }
  Ref own() const { return Ref::borrow(obj_); }

 private:
  PyObject* obj_ = nullptr;
};

}  // namespace vedavi::py
