// The md source highlighter: one parse of the source with its line ends made LF, the classed
// ranges gathered from it, then the source written as escaped text with the ranges as spans.
#include "highlight/highlight.h"

#include "block/parse.h"
#include "highlight/ranges.h"
#include "model/line.h"

namespace vedavi::highlight {

std::string highlight_md(std::string_view src, std::string_view class_prefix) {
  std::string normalized;
  std::string_view text = src;
  if (src.find('\r') != std::string_view::npos) {
    normalized = line::normalize_line_ends(src);
    text = normalized;
  }
  const Options options = fixed_tool_options();
  const block::Parsed parsed = block::parse_source(text, options, 3);
  const inl::LineMap map(text, parsed.trace);
  std::string out;
  write_ranges(text, gather_ranges(text, options, parsed, map), class_prefix, out);
  return out;
}

}  // namespace vedavi::highlight
