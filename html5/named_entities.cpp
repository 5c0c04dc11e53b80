// Lookups in the table of named character references (rows in named_entities.inc).
#include "html5/named_entities.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <tuple>

#include "html5/named_entities.inc"

namespace html5 {
namespace {

using entity_rows::kLongestName;
using entity_rows::kRows;

// Sort key of a row at one byte position, among rows that agree on every byte before it: a name
// that ends before the position sorts first, then the byte in unsigned order.
int byte_at(const NamedEntity& row, std::size_t pos) {
  return pos < row.name.size() ? static_cast<unsigned char>(row.name[pos]) : -1;
}

struct ByteAt {
  std::size_t pos;
  bool operator()(const NamedEntity& row, int key) const { return byte_at(row, pos) < key; }
  bool operator()(int key, const NamedEntity& row) const { return key < byte_at(row, pos); }
};

}  // namespace

std::span<const NamedEntity> named_entities() { return kRows; }

const NamedEntity* find_named_entity(std::string_view name) {
  if (name.empty() || name.size() > kLongestName) return nullptr;
  const NamedEntity* it = std::lower_bound(
      std::begin(kRows), std::end(kRows), name,
      [](const NamedEntity& row, std::string_view key) { return row.name < key; });
  return it != std::end(kRows) && it->name == name ? it : nullptr;
}

// Narrows the range of rows that start with the first k bytes of `text` one byte at a time;
// each step is a binary search inside the previous range, so a lookup costs at most
// kLongestName searches whatever follows the "&". The first byte's range comes from a table, and
// the common form with ";" is tried whole first: no name holds ";" but as its last byte, so a
// name that ends at the first ";" is the longest match there is.
const NamedEntity* longest_named_entity_prefix(std::string_view text) {
  static const std::array<std::uint16_t, 257> first_byte_rows = [] {
    std::array<std::uint16_t, 257> starts{};
    std::size_t row = 0;
    for (std::size_t byte = 0; byte < 256; ++byte) {
      starts[byte] = static_cast<std::uint16_t>(row);
      while (row < std::size(kRows) && static_cast<unsigned char>(kRows[row].name[0]) == byte) ++row;
    }
    starts[256] = static_cast<std::uint16_t>(row);
    return starts;
  }();
  if (text.empty()) return nullptr;
  const auto first = static_cast<unsigned char>(text[0]);
  const NamedEntity* lo = std::begin(kRows) + first_byte_rows[first];
  const NamedEntity* hi = std::begin(kRows) + first_byte_rows[first + 1];
  if (lo == hi) return nullptr;
  const std::size_t limit = std::min(text.size(), kLongestName);
  if (const std::size_t semicolon = text.substr(0, limit).find(';'); semicolon != std::string_view::npos) {
    const std::string_view name = text.substr(0, semicolon + 1);
    const NamedEntity* it = std::lower_bound(
        lo, hi, name, [](const NamedEntity& row, std::string_view key) { return row.name < key; });
    if (it != hi && it->name == name) return it;
  }
  const NamedEntity* best = lo->name.size() == 1 ? lo : nullptr;
  for (std::size_t pos = 1; pos < limit; ++pos) {
    const int key = static_cast<unsigned char>(text[pos]);
    std::tie(lo, hi) = std::equal_range(lo, hi, key, ByteAt{pos});
    if (lo == hi) break;
    // Rows that end here sort first among those sharing the prefix.
    if (lo->name.size() == pos + 1) best = lo;
  }
  return best;
}

}  // namespace html5
