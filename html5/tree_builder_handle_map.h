// A small map from node handles to 32-bit values, by open addressing with linear probing: the
// tree builder's lookups of open formatting elements without an allocation per entry.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "html5/token.h"

namespace html5 {

class HandleMap {
 public:
  void set(Handle key, std::uint32_t value) {
    if ((size_ + 1) * 2 > slots_.size()) grow();
    std::size_t i = find_slot(key);
    if (!slots_[i].used) {
      slots_[i] = {key, value, true};
      ++size_;
    } else {
      slots_[i].value = value;
    }
  }
  std::optional<std::uint32_t> get(Handle key) const {
    if (size_ == 0) return std::nullopt;
    const Slot& s = slots_[find_slot(key)];
    return s.used ? std::optional<std::uint32_t>(s.value) : std::nullopt;
  }
  bool contains(Handle key) const { return get(key).has_value(); }
  // Removes `key` and shifts later entries of its probe run back, so no tombstones build up.
  bool erase(Handle key) {
    if (size_ == 0) return false;
    std::size_t i = find_slot(key);
    if (!slots_[i].used) return false;
    std::size_t mask = slots_.size() - 1;
    for (std::size_t j = (i + 1) & mask; slots_[j].used; j = (j + 1) & mask) {
      std::size_t home = hash(slots_[j].key) & mask;
      // Move j back to the hole at i when its home does not lie in (i, j].
      if (((j - home) & mask) >= ((j - i) & mask)) {
        slots_[i] = slots_[j];
        i = j;
      }
    }
    slots_[i].used = false;
    --size_;
    return true;
  }

 private:
  struct Slot {
    Handle key = 0;
    std::uint32_t value = 0;
    bool used = false;
  };
  static std::size_t hash(Handle key) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 32);
  }
  std::size_t find_slot(Handle key) const {
    std::size_t mask = slots_.size() - 1;
    std::size_t i = hash(key) & mask;
    while (slots_[i].used && slots_[i].key != key) i = (i + 1) & mask;
    return i;
  }
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    size_ = 0;
    for (const Slot& s : old) {
      if (s.used) set(s.key, s.value);
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

}  // namespace html5
