// Lookups in the table of named character references (rows in named_entities.inc).
#include "html5/named_entities.h"

#include <algorithm>
#include <cstddef>
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
// kLongestName searches whatever follows the "&".
const NamedEntity* longest_named_entity_prefix(std::string_view text) {
  const NamedEntity* lo = std::begin(kRows);
  const NamedEntity* hi = std::end(kRows);
  const NamedEntity* best = nullptr;
  const std::size_t limit = std::min(text.size(), kLongestName);
  for (std::size_t pos = 0; pos < limit; ++pos) {
    const int key = static_cast<unsigned char>(text[pos]);
    std::tie(lo, hi) = std::equal_range(lo, hi, key, ByteAt{pos});
    if (lo == hi) break;
    // Rows that end here sort first among those sharing the prefix.
    if (lo->name.size() == pos + 1) best = lo;
  }
  return best;
}

}  // namespace html5
