// seeds: md
// blocks: the block spans of every span mode lie inside the source's lines, and the per-line
// syntax scopes inside their lines on character boundaries.
#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "block/parse.h"
#include "block/trace.h"
#include "fuzz_util.h"

using namespace vedavi;

namespace {

// The source's lines as the block parser sees them: "\r\n" and "\r" read as "\n", and a last
// line without a line end counts.
std::vector<std::string> source_lines(std::string_view src) {
  const std::string text = fuzz::normalised_line_ends(src);
  std::vector<std::string> lines;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

void check_spans(const block::Trace& trace, const std::vector<std::string>& lines) {
  const std::size_t line_count = lines.size();
  for (const block::BlockSpan& span : trace.spans) {
    fuzz::require(span.start <= span.end && span.end <= line_count + 1,
                  "block spans lie inside the source's lines");
    const block::SpanFacts& facts = span.facts();
    if (facts.text) fuzz::require_utf8(*facts.text, "span texts are valid UTF-8");
    if (facts.info) fuzz::require_utf8(*facts.info, "span info strings are valid UTF-8");
  }
  for (const block::TraceEvent& event : trace.records) {
    const auto* syntax = std::get_if<block::SyntaxRecord>(&event);
    if (syntax == nullptr) continue;
    fuzz::require(syntax->line < line_count, "syntax scopes name a line of the source");
    fuzz::require_range(lines[syntax->line], syntax->start, syntax->end,
                        "syntax scopes lie inside their line on character boundaries");
  }
  if (trace.mode == 3) {
    fuzz::require(trace.line_offsets.size() <= line_count + 1, "one content offset per line");
    for (std::size_t i = 0; i < trace.line_offsets.size() && i < line_count; ++i) {
      fuzz::require(trace.line_offsets[i] <= lines[i].size(), "content offsets lie inside their line");
    }
  }
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  const Options options = fuzz::md_options(input.knobs);
  const std::vector<std::string> lines = source_lines(input.text);
  for (std::uint8_t mode = 1; mode <= 3; ++mode) {
    const block::Parsed parsed = block::parse_source(input.text, options, mode);
    check_spans(parsed.trace, lines);
  }
}
