// The md source highlighter: one parse of the source with its line ends made LF, the classed
// ranges gathered from it, then the source written as escaped text with the ranges as spans.
#include "highlight/highlight.h"

#include <utility>
#include <vector>

#include "block/parse.h"
#include "highlight/ranges.h"
#include "model/arena.h"
#include "model/line.h"

namespace vedavi::highlight {

namespace {

// The span mode of the per-line layout with the spans of the lines shown whole (headings, link
// and attribute definitions) and of template tokens alone: no other span is read here.
constexpr std::uint8_t kHighlightLayout = 6;

// The source with LF line ends (`normalized` holds it when the source had CRs) and its ranges.
std::vector<ClassedRange> ranges_of(std::string_view src, std::string& normalized, std::string_view& text) {
  text = src;
  if (src.find('\r') != std::string_view::npos) {
    normalized = line::normalize_line_ends(src);
    text = normalized;
  }
  const Options options = fixed_tool_options();
  // The parse goes once its ranges are gathered (their scopes are static names), so the output
  // is not written beside it: it is built in an arena of its own, freed here.
  ArenaScope arena{ArenaScope::Fresh{}};
  const block::Parsed parsed = block::parse_source(text, options, kHighlightLayout);
  const inl::LineMap map(text, parsed.trace);
  return gather_ranges(text, options, parsed, map);
}

}  // namespace

std::string highlight_md(std::string_view src, std::string_view class_prefix) {
  std::string normalized;
  std::string_view text;
  std::vector<ClassedRange> ranges = ranges_of(src, normalized, text);
  std::string out;
  write_ranges(text, std::move(ranges), class_prefix, out);
  return out;
}

std::vector<std::string> highlight_md_pieces(std::string_view src, std::string_view class_prefix,
                                             std::size_t piece_bytes) {
  std::string normalized;
  std::string_view text;
  std::vector<ClassedRange> ranges = ranges_of(src, normalized, text);
  return write_ranges_in_pieces(text, std::move(ranges), class_prefix, piece_bytes);
}

}  // namespace vedavi::highlight
