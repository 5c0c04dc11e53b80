// Outcome<T>: the result of a fallible core operation, a value or the finished English message
// that says why there is none.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace vedavi {

// A failure message, complete and ready to show the user.
struct Failure {
  std::string message;
};

template <class T>
class Outcome {
 public:
  Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Outcome(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const std::string& message() const { return std::get<1>(state_).message; }

 private:
  std::variant<T, Failure> state_;
};

}  // namespace vedavi
