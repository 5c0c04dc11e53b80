// seeds: md
// blocks: the block spans of every span mode lie inside the source's lines, and the per-line
// syntax scopes inside their lines on character boundaries.

#include "block/parse.h"
#include "block/trace.h"
#include "fuzz_util.h"

using namespace vedavi;

namespace {

void check_spans(const block::Trace& trace, const std::vector<std::string_view>& lines) {
  const std::size_t line_count = lines.size();
  for (const block::BlockSpan& span : trace.spans) {
    fuzz::require(span.start <= span.end && span.end <= line_count + 1,
                  "block spans lie inside the source's lines");
    const block::SpanFacts& facts = span.facts();
    if (facts.text) fuzz::require_utf8(*facts.text, "span texts are valid UTF-8");
    if (facts.info) fuzz::require_utf8(*facts.info, "span info strings are valid UTF-8");
  }
  for (const block::SyntaxRecord& record : trace.syntax) {
    const block::SyntaxRecord* syntax = &record;
    fuzz::require(syntax->line < line_count, "syntax scopes name a line of the source");
    fuzz::require_range(lines[syntax->line], syntax->start, syntax->end,
                        "syntax scopes lie inside their line on character boundaries");
  }
  if (block::records_layout(trace.mode)) {
    fuzz::require(trace.line_offsets.size() <= line_count + 1, "one content offset per line");
    for (std::size_t i = 0; i < trace.line_offsets.size() && i < line_count; ++i) {
      fuzz::require(trace.line_offsets[i] <= lines[i].size(), "content offsets lie inside their line");
    }
  }
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  const Options options = fuzz::md_options(input.knobs);
  // The source's lines as the block parser sees them: "\r\n" and "\r" read as "\n".
  const std::string text = fuzz::normalised_line_ends(input.text);
  const std::vector<std::string_view> lines = fuzz::lines_of(text, false);
  for (std::uint8_t mode = 1; mode <= 4; ++mode) {
    const block::Parsed parsed = block::parse_source(input.text, options, mode);
    check_spans(parsed.trace, lines);
  }
}
