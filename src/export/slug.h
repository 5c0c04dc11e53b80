// Slugs: the ids generated for headings from their text, and the series that keeps them unique.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "base/seeded_hash.h"

namespace vedavi::exporter {

// From white-space-folded text: lower case, letters, digits, '-', '.' and '_' kept, spaces
// as '-', everything before the first letter dropped; "section" when nothing is left.
std::string default_slug(std::string_view folded_text);
// From raw text: lower case, letters, marks, numbers, '-', '_' and U+200D kept, each space as
// '-'; may be empty.
std::string gh_slug(std::string_view text);

// Hands out slug, slug-1, slug-2, ... skipping every id already taken. Each slug remembers where
// its series stopped, since ids never leave the taken set: n headings of the same text cost n
// lookups, not n squared.
class SlugSeries {
 public:
  void take(std::string_view id) { taken_.emplace(id); }
  std::string next(const std::string& slug);

 private:
  std::unordered_set<std::string, SeededHash, std::equal_to<>> taken_;
  StringMap<std::size_t> resume_at_;
};

}  // namespace vedavi::exporter
