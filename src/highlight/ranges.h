// The classed byte ranges of md source that the highlighter wraps in spans: gathered from one
// span-mode-3 parse (frontmatter lines, consumed markers, container prefixes, inline constructs,
// HTML comments, heading and definition lines), then written around the escaped text.
#pragma once

#include <cstddef>
#include <string>
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

// Appends `text` escaped, with each range wrapped in a span of class `prefix` + scope. Empty
// ranges, ranges past the text or off character boundaries are dropped; the rest are sorted by
// start ascending and end descending (equal ranges nest in the given order, identical ones
// render once); a range that would cross the end of the span around it is left out.
void write_ranges(std::string_view text, std::vector<ClassedRange> ranges, std::string_view prefix,
                  std::string& out);

}  // namespace vedavi::highlight
