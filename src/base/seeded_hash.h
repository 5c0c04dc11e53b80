// SeededHash: a keyed string hash (SipHash-1-3) for hash maps whose keys come from documents or
// callers, so that crafted keys cannot collide on purpose and make lookups slow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vedavi {

class SeededHash {
 public:
  using is_transparent = void;  // lets maps keyed by std::string look up string views

  // Each hasher gets its own key, drawn from a process-wide random seed.
  SeededHash();

  std::size_t operator()(std::string_view s) const;

 private:
  std::uint64_t k0_, k1_;
};

// A hash map keyed by strings that looks up by std::string_view without copying.
template <class V>
using StringMap = std::unordered_map<std::string, V, SeededHash, std::equal_to<>>;

}  // namespace vedavi
