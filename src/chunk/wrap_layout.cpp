// Tokens of a paragraph segment and their layout into lines.
#include "chunk/wrap_layout.h"

#include <algorithm>
#include <utility>

#include "block/scan.h"
#include "block/table.h"
#include "chunk/stages.h"
#include "model/line.h"
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
std::vector<Interval> atomic_ranges(std::span<const InlineEvent> events) {
  std::vector<Interval> merged;
  for (const InlineEvent& e : events) {
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
  const InlineContext ctx{scope.options, scope.links, scope.footnotes, nullptr, scope.buffers};
  return tokens_of(segment, inl::inline_events(segment, ctx));
}

Tokens tokens_of(std::string_view segment, std::span<const InlineEvent> events) {
  const std::vector<Interval> atomic = atomic_ranges(events);
  Tokens tokens;
  tokens.text.reserve(segment.size());
  tokens.ends.reserve(segment.size() / 4 + 1);
  auto close_token = [&] {
    const std::size_t begin = tokens.ends.empty() ? 0 : tokens.ends.back();
    if (tokens.text.size() > begin) tokens.ends.push_back(tokens.text.size());
  };
  // Whole runs are appended at a time: between atomic ranges each run of other bytes, and each
  // range whole, with its break spaces then made spaces in place.
  const std::size_t n = segment.size();
  std::size_t i = 0;
  for (std::size_t next_range = 0; i < n; ++next_range) {
    const bool has_range = next_range < atomic.size();
    const std::size_t outside_end = has_range ? std::min(std::max(atomic[next_range].first, i), n) : n;
    while (i < outside_end) {
      std::size_t end = i;
      while (end < outside_end && !is_break_space(segment[end])) ++end;
      tokens.text.append(segment, i, end - i);
      if (end == outside_end) {
        i = end;
        break;
      }
      close_token();
      i = end + 1;
    }
    if (!has_range) break;
    const std::size_t inside_end = std::min(std::max(atomic[next_range].second, i), n);
    const std::size_t from = tokens.text.size();
    tokens.text.append(segment, i, inside_end - i);
    for (std::size_t k = from; k < tokens.text.size(); ++k)
      if (is_break_space(tokens.text[k])) tokens.text[k] = ' ';
    i = inside_end;
  }
  close_token();
  return tokens;
}

std::uint64_t display_width(std::string_view text, std::uint64_t column) {
  for (const char c : text) {
    if (c == '\t')
      column = column / 4 * 4 + 4;
    else
      column += !utf8::is_continuation(static_cast<unsigned char>(c));
  }
  return column;
}

namespace {

bool is_attribute_line_shape(std::string_view line) {
  const std::string_view t = unicode::trim(line);
  return t.starts_with("{:") && t.ends_with("}");
}

}  // namespace

bool breaking_before_is_refused(std::string_view candidate) {
  return block::starts_block(candidate) || block::list_interrupts_paragraph(candidate) ||
         block::def_marker(candidate) || is_attribute_line_shape(candidate);
}

// Some blocks are made by what a line holds as a whole: a thematic break ("---"), an attribute
// line ("{:" ... "}"), a math block opener ("\\[", "$$"), and a code fence, whose backtick info
// must hold no backtick. A paragraph line cut short after "---", "}", "$$" or a fence run (before
// "`code`") would become one, and the paragraph would lose its text.
// Below another line of the paragraph, a delimiter row ("|---|---|") would make that line a
// table's head. A line of "^" alone separates blocks: the paragraph would lose it.
bool ending_line_is_refused(std::string_view content, bool is_continuation) {
  const std::string_view t = unicode::trim(content);
  return content == "---" || t == "\\[" || t == "$$" || t == "^" || is_attribute_line_shape(content) ||
         t.starts_with("```") || t.starts_with("~~~") ||
         (is_continuation && block::delimiter_row(content));
}

bool opens_block(std::string_view content) {
  if (block::starts_block(content) || block::def_marker(content) ||
      ending_line_is_refused(content, false))
    return true;
  const auto marker = block::list_marker(content);
  return marker && !unicode::trim(content.substr(marker->marker_end)).empty();
}

// Besides, a backslash ending a line is a hard break: breaking after a token that ends in one
// would add a break the text did not have; and a line of white space alone (no-break spaces) is
// blank to the parser, which would end the paragraph there.
bool breaking_after_is_refused(std::string_view content, bool is_continuation) {
  return content.ends_with('\\') || unicode::trim(content).empty() ||
         ending_line_is_refused(content, is_continuation);
}

namespace {

// The parser trims a line's leading white space, no-break spaces included: a token that starts
// with one must not start a line, or it would lose that character.
bool starts_with_white_space(std::string_view token) {
  return !token.empty() && unicode::is_white_space(utf8::decode(token, 0).cp);
}

// Where the tokens of a layout go on with text: the first token from a given one on that is not
// white space alone (a no-break space, a vertical tab), which the block parser reads past when it
// asks whether a list marker has content. Asked with rising starts, it reads each token once.
class NextText {
 public:
  explicit NextText(const Tokens& tokens) : tokens_(tokens) {}
  std::size_t from(std::size_t k) {
    if (!has_scanned_ || next_ < k) {
      next_ = std::max(next_, k);
      while (next_ < tokens_.size() && line::is_blank(tokens_[next_])) ++next_;
      has_scanned_ = true;
    }
    return next_;
  }

 private:
  const Tokens& tokens_;
  std::size_t next_ = 0;  // the first token of text at or after every start asked so far
  bool has_scanned_ = false;
};

// `tokens[k]` followed by one space and the next token, when there is one, and when that one is
// white space alone, by one more space and the next token of text: what a line starting at token
// k would start with.
void line_start_at(const Tokens& tokens, std::size_t k, NextText& next_text, std::string& candidate) {
  candidate.assign(tokens[k]);
  if (k + 1 < tokens.size()) {
    candidate += ' ';
    candidate += tokens[k + 1];
    const std::size_t text = next_text.from(k + 1);
    if (text > k + 1 && text < tokens.size()) {
      candidate += ' ';
      candidate += tokens[text];
    }
  }
}

}  // namespace

void lay_out(const Tokens& tokens, Layout& layout, std::vector<std::string>& lines) {
  std::string candidate;
  NextText next_text(tokens);
  bool is_continuation = layout.has_line;
  if (is_continuation) {
    // After a hard break the segment starts a line of its own, whatever it starts with; it must
    // not start what a line of the text did not ("-" and "[^n]" joined to "- [^n]").
    line_start_at(tokens, 0, next_text, candidate);
    if (breaking_before_is_refused(candidate)) layout.is_unsafe = true;
  }
  std::string line(is_continuation ? layout.prefix : layout.lead);
  std::size_t content_begin = line.size();
  std::uint64_t column = display_width(line);
  const std::uint64_t prefix_width = display_width(layout.prefix);
  layout.has_line = true;
  line += tokens[0];
  column += display_width(tokens[0]);
  for (std::size_t k = 1; k < tokens.size(); ++k) {
    const std::string_view token = tokens[k];
    const std::uint64_t w = display_width(token);
    if (layout.width && Wide(column) + 1 + w > *layout.width) {
      line_start_at(tokens, k, next_text, candidate);
      const std::string_view content = std::string_view(line).substr(content_begin);
      if (!breaking_before_is_refused(candidate) && !starts_with_white_space(token) &&
          !breaking_after_is_refused(content, is_continuation)) {
        lines.push_back(std::move(line));
        line.assign(layout.prefix);
        content_begin = line.size();
        is_continuation = true;
        line += token;
        column = prefix_width + w;
        continue;
      }
    }
    line += ' ';
    line += token;
    column += 1 + w;
  }
  if (ending_line_is_refused(std::string_view(line).substr(content_begin), is_continuation))
    layout.is_unsafe = true;
  lines.push_back(std::move(line));
}

}  // namespace vedavi::chunk
