// Tokens of a paragraph segment and their layout into lines.
#include "chunk/wrap_layout.h"

#include <algorithm>
#include <utility>

#include "block/scan.h"
#include "chunk/stages.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::chunk {
namespace {

// Constructs that must stay on one line: cutting them would change what they are.
bool is_atomic(InlineEventKind kind) {
  switch (kind) {
    case InlineEventKind::Code:
    case InlineEventKind::LinkTail:
    case InlineEventKind::Link:
    case InlineEventKind::Autolink:
    case InlineEventKind::Xref:
    case InlineEventKind::FootnoteRef:
    case InlineEventKind::Attrs:
    case InlineEventKind::TemplateToken:
    case InlineEventKind::Comment:
    case InlineEventKind::MathInline:
    case InlineEventKind::RawInline:
      return true;
    default:
      return false;
  }
}

using Interval = std::pair<std::size_t, std::size_t>;

// The union of the atomic constructs' ranges, as disjoint intervals by start (events come sorted
// by start).
std::vector<Interval> atomic_ranges(std::string_view segment, const InlineScope& scope) {
  std::vector<Interval> merged;
  for (const InlineEvent& e : inl::inline_events(segment, scope.options, scope.links, scope.footnotes)) {
    if (!is_atomic(e.kind) || e.start >= e.end) continue;
    if (!merged.empty() && e.start <= merged.back().second)
      merged.back().second = std::max(merged.back().second, e.end);
    else
      merged.emplace_back(e.start, e.end);
  }
  return merged;
}

bool is_break_space(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

Tokens tokens_of(std::string_view segment, const InlineScope& scope) {
  const std::vector<Interval> atomic = atomic_ranges(segment, scope);
  Tokens tokens;
  tokens.text.reserve(segment.size());
  std::size_t next_range = 0;
  auto close_token = [&] {
    const std::size_t begin = tokens.ends.empty() ? 0 : tokens.ends.back();
    if (tokens.text.size() > begin) tokens.ends.push_back(tokens.text.size());
  };
  for (std::size_t i = 0; i < segment.size(); ++i) {
    while (next_range < atomic.size() && atomic[next_range].second <= i) ++next_range;
    const bool inside = next_range < atomic.size() && atomic[next_range].first <= i;
    const char c = segment[i];
    if (!is_break_space(c)) {
      tokens.text += c;
    } else if (inside) {
      tokens.text += ' ';
    } else {
      close_token();
    }
  }
  close_token();
  return tokens;
}

std::uint64_t display_width(std::string_view text, std::uint64_t column) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\t')
      column = column / 4 * 4 + 4;
    else if (!utf8::is_continuation(static_cast<unsigned char>(text[i])))
      ++column;
  }
  return column;
}

bool breaking_before_is_refused(std::string_view candidate) {
  if (block::starts_block(candidate) || block::list_interrupts_paragraph(candidate) ||
      block::def_marker(candidate))
    return true;
  const std::string_view t = unicode::trim(candidate);
  return t.starts_with("{:") && t.ends_with("}");
}

void lay_out(const Tokens& tokens, Layout& layout, std::vector<std::string>& lines) {
  std::string line(layout.has_line ? layout.prefix : layout.lead);
  std::uint64_t column = display_width(line);
  const std::uint64_t prefix_width = display_width(layout.prefix);
  layout.has_line = true;
  line += tokens[0];
  column += display_width(tokens[0]);
  std::string candidate;
  for (std::size_t k = 1; k < tokens.size(); ++k) {
    const std::string_view token = tokens[k];
    const std::uint64_t w = display_width(token);
    if (layout.width && Wide(column) + 1 + w > *layout.width) {
      candidate.assign(token);
      if (k + 1 < tokens.size()) {
        candidate += ' ';
        candidate += tokens[k + 1];
      }
      if (!breaking_before_is_refused(candidate)) {
        lines.push_back(std::move(line));
        line.assign(layout.prefix);
        line += token;
        column = prefix_width + w;
        continue;
      }
    }
    line += ' ';
    line += token;
    column += 1 + w;
  }
  lines.push_back(std::move(line));
}

}  // namespace vedavi::chunk
