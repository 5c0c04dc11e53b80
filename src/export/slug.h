// Slugs: the ids generated for headings from their text, and the series that keeps them unique.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/seeded_hash.h"

namespace vedavi::exporter {

// From white-space-folded text: lower case, letters, digits, '-', '.' and '_' kept, spaces
// as '-', everything before the first letter dropped; "section" when nothing is left.
std::string default_slug(std::string_view folded_text);
// From raw text: lower case, letters, marks, numbers, '-', '_' and U+200D kept, each space as
// '-'; may be empty.
std::string gh_slug(std::string_view text);

// Hands out slug, slug-1, slug-2, ... skipping every id already taken. Each taken id remembers
// where the series of that slug stopped, since ids never leave the taken set: n headings of the
// same text cost n lookups, not n squared. A slug not taken yet costs one probe.
//
// The taken set is an open-addressing table of (hash, index) pairs over a vector of the ids: a
// probe touches one slot and, only when the hashes agree, the id. A node-based map costs several
// scattered reads per lookup, which on a document of a hundred thousand headings outweigh the
// rest of generating its ids.
class SlugSeries {
 public:
  // Room for `ids` taken ids without growing.
  void reserve(std::size_t ids);
  void take(std::string_view id) { find_or_add(id); }
  std::string next(const std::string& slug);

 private:
  static constexpr std::size_t kEmpty = SIZE_MAX;
  struct Slot {
    std::size_t hash = 0;
    std::size_t index = kEmpty;  // into ids_
  };
  // The index of `id`, added when it was not taken, and whether it was added.
  std::pair<std::size_t, bool> find_or_add(std::string_view id);
  // Rebuilds the table with `slot_count` (a power of two) slots.
  void rehash(std::size_t slot_count);

  SeededHash hash_;
  std::vector<Slot> slots_;  // at most half full
  std::vector<std::string> ids_;
  std::vector<std::size_t> resume_at_;  // per id: the last n tried for it as a slug (0: none)
};

}  // namespace vedavi::exporter
