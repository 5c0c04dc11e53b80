// Internal failures of the core: the one exception type that says "this is a bug", and the
// test-only trigger that forces one.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vedavi {

// A broken invariant inside the core. The core never aborts the process: it throws this, and the
// Python binding turns it into an exception at the edge (a RuntimeError naming the activity when
// the step runs inside the failure guard). Nothing else in the core throws on purpose.
class InternalError : public std::logic_error {
 public:
  explicit InternalError(const std::string& what) : std::logic_error(what) {}
};

// Reports a broken invariant by throwing InternalError with `what`. Kept out of line and cold so
// that checks on hot paths cost one compare and branch.
[[noreturn, gnu::cold]] void internal_failure(std::string_view what);

// The text that makes fault_point fail; tests put it into an entry point's input.
inline constexpr std::string_view kFaultMarker = "\x01vedavi-fault\x01";

#ifdef VEDAVI_FAULT_INJECTION
// Test builds only: fails with internal_failure("injected fault") when `input` contains
// kFaultMarker, so the tests can drive the failure paths of the binding. Entry points of the core
// call it with the text they were given.
void fault_point(std::string_view input);
#else
inline void fault_point(std::string_view) {}
#endif

}  // namespace vedavi
