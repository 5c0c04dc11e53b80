// The md source highlighter: one parse of the source with its line ends made LF, the classed
// ranges gathered from it, then the source written as escaped text with the ranges as spans.
#include "highlight/highlight.h"

#include <algorithm>

#include "block/parse.h"
#include "highlight/gather.h"
#include "model/line.h"
#include "text/escape.h"
#include "text/utf8.h"

namespace vedavi::highlight {
namespace {

// The options the highlighter reads md with, whoever calls it.
Options highlight_options() {
  Options options;
  options.max_block_depth = 128;
  options.max_link_paren_depth = 32;
  options.bare_autolinks = true;
  options.implicit_figures = false;
  options.frontmatter = true;
  options.math = MathMode::Brackets;
  return options;
}

// The ranges that can be written: non-empty, inside the text, on character boundaries; sorted
// by start ascending and end descending (equal ranges in collection order), identical
// neighbours dropped.
void settle(std::string_view text, std::vector<ClassedRange>& ranges) {
  std::erase_if(ranges, [&](const ClassedRange& r) {
    return r.start >= r.end || r.end > text.size() || !utf8::is_boundary(text, r.start) ||
           !utf8::is_boundary(text, r.end);
  });
  std::stable_sort(ranges.begin(), ranges.end(), [](const ClassedRange& a, const ClassedRange& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
  ranges.erase(std::unique(ranges.begin(), ranges.end()), ranges.end());
}

// Writes the text with each range wrapped in a span. A range that starts inside an open span
// and ends after it would cross it: it is left out, never split.
void render(std::string_view text, std::span<const ClassedRange> ranges, std::string_view prefix,
            std::string& out) {
  std::vector<std::size_t> open_ends;
  std::size_t written = 0;
  auto close_until = [&](std::size_t limit) {
    while (!open_ends.empty() && open_ends.back() <= limit) {
      escape_text(text.substr(written, open_ends.back() - written), out);
      out += "</span>";
      written = open_ends.back();
      open_ends.pop_back();
    }
  };
  for (const ClassedRange& r : ranges) {
    close_until(r.start);
    if (!open_ends.empty() && r.end > open_ends.back()) continue;
    escape_text(text.substr(written, r.start - written), out);
    out += "<span class=\"";
    out += prefix;
    out += r.scope;
    out += "\">";
    open_ends.push_back(r.end);
    written = r.start;
  }
  close_until(text.size());
  escape_text(text.substr(written), out);
}

}  // namespace

std::string highlight_md(std::string_view src, std::string_view class_prefix) {
  std::string normalized;
  std::string_view text = src;
  if (src.find('\r') != std::string_view::npos) {
    normalized = line::normalize_line_ends(src);
    text = normalized;
  }
  const Options options = highlight_options();
  const block::Parsed parsed = block::parse_source(text, options, 3);
  const inl::LineMap map(text, parsed.trace);
  std::vector<ClassedRange> ranges = gather_ranges(text, options, parsed, map);
  settle(text, ranges);
  std::string out;
  out.reserve(text.size() + text.size() / 4 + ranges.size() * (class_prefix.size() + 32));
  render(text, ranges, class_prefix, out);
  return out;
}

}  // namespace vedavi::highlight
