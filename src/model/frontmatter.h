// The frontmatter block: "key: value" lines between "---" and "---" (or "...") at the top.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "model/attrs.h"  // StringPairs

namespace vedavi::frontmatter {

struct Frontmatter {
  StringPairs pairs;        // in source order, duplicates kept
  std::size_t body_offset;  // just past the closing delimiter line
};

// The leading frontmatter of a text whose line ends are "\n"; none when the text opens with no
// frontmatter block or a malformed one.
std::optional<Frontmatter> extract(std::string_view text);

// The pairs of the leading frontmatter of a source with any line ends ("\r\n" and lone "\r"
// read as "\n"); empty when it opens with none.
StringPairs meta_pairs(std::string_view source);

}  // namespace vedavi::frontmatter
