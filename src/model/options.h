// The options of one md parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/template.h"

namespace vedavi {

// Which math delimiters are recognised. The values are ordered and the parsers compare them.
enum class MathMode : std::uint8_t { Off = 0, On = 1, Brackets = 2, Dollars = 3 };

// Every caller fills every field; the zeros below only keep an unfilled field defined.
struct Options {
  std::vector<TemplateDelimiter> templates;
  std::size_t max_block_depth = 0;       // containers open only below this nesting depth
  std::size_t max_link_paren_depth = 0;  // deepest parentheses inside an inline destination
  bool bare_autolinks = false;
  bool implicit_figures = false;
  bool nested = false;  // read by the caller of the block listing, not by the parse
  bool frontmatter = false;
  MathMode math = MathMode::Off;
  friend bool operator==(const Options&, const Options&) = default;
};

}  // namespace vedavi
