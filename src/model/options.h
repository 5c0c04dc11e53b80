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

// The options of the members that take none (the highlighter, the block-aware chunkers and the
// re-wrapper): no templates, depth limits 128 and 32, bare autolinks, no implicit figures,
// frontmatter, math in brackets.
inline Options fixed_tool_options() {
  Options o;
  o.max_block_depth = 128;
  o.max_link_paren_depth = 32;
  o.bare_autolinks = true;
  o.implicit_figures = false;
  o.frontmatter = true;
  o.math = MathMode::Brackets;
  return o;
}

}  // namespace vedavi
