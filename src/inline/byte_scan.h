// Skipping plain text: the first byte of a range that a table marks.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace vedavi::inl {

using ByteTable = std::array<bool, 256>;

// The table that marks exactly `bytes`.
constexpr ByteTable byte_table(std::string_view bytes) {
  ByteTable table{};
  for (char c : bytes) table[static_cast<unsigned char>(c)] = true;
  return table;
}

// The first offset in [from, to) whose byte `table` marks, or `to`. Four bytes per step: plain
// runs are long, and the loop's own bookkeeping per byte costs as much as the lookup.
inline std::size_t find_marked(std::string_view text, std::size_t from, std::size_t to,
                               const ByteTable& table) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = from;
  for (; i + 4 <= to; i += 4) {
    if (table[bytes[i]]) return i;
    if (table[bytes[i + 1]]) return i + 1;
    if (table[bytes[i + 2]]) return i + 2;
    if (table[bytes[i + 3]]) return i + 3;
  }
  while (i < to && !table[bytes[i]]) ++i;
  return i;
}

}  // namespace vedavi::inl
