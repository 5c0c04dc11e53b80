// The classed byte ranges of md source that the highlighter wraps in spans, gathered from one
// span-mode-3 parse: frontmatter lines, consumed markers, container prefixes, inline constructs,
// HTML comments, and heading and definition lines.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "block/build.h"
#include "inline/line_map.h"

namespace vedavi::highlight {

// A range [start, end) of the source and the theme scope it shows as ("markup-italic", ...).
struct ClassedRange {
  std::size_t start = 0;
  std::size_t end = 0;
  std::string_view scope;
  friend bool operator==(const ClassedRange&, const ClassedRange&) = default;
};

// The ranges of `text` (LF line ends only) in collection order, which decides between ranges
// of equal start and end. Unfiltered: a range may be empty or cut a character.
std::vector<ClassedRange> gather_ranges(std::string_view text, const Options& options,
                                        const block::Parsed& parsed, const inl::LineMap& map);

}  // namespace vedavi::highlight
