// Top-level block boundaries and their breadcrumbs, from a span-mode-1 parse.
#include "chunk/boundaries.h"

#include <algorithm>
#include <optional>

#include "block/parse.h"
#include "block/trace.h"
#include "chunk/chunk.h"
#include "chunk/options.h"
#include "text/unicode.h"

namespace vedavi::chunk {

void Breadcrumb::append_to(std::string& out) const {
  for (std::uint8_t i = 0; i < count; ++i) {
    if (i) out += '\n';
    out += lines[i];
  }
}

std::string Breadcrumb::text() const {
  std::string out;
  append_to(out);
  return out;
}

std::vector<std::uint64_t> Boundaries::cumulative_words() const {
  std::vector<std::uint64_t> w(list.size() + 1, 0);
  for (std::size_t i = 0; i < list.size(); ++i)
    w[i + 1] = w[i] + words(source.substr(offset(i), offset(i + 1) - offset(i)));
  return w;
}

namespace {

// The parser ends a line at a lone "\r" as well as at "\n"; a copy with lone "\r" turned into
// "\n" has the same bytes at the same offsets and lines that split at "\n" alone.
std::string with_lone_cr_as_lf(std::string_view md) {
  std::string copy(md);
  for (std::size_t i = 0; i < copy.size(); ++i)
    if (copy[i] == '\r' && (i + 1 == copy.size() || copy[i + 1] != '\n')) copy[i] = '\n';
  return copy;
}

// Byte offsets of line starts (0, then after every "\n"; a line past the last one starts at the
// end of the text), found by walking forward: spans come in the order of their first lines, so
// the walk crosses the text once and keeps no table of lines.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : text_(text) {}

  std::size_t start_of(std::size_t line) {
    if (line < line_) *this = LineCursor(text_);  // never met in order; correct all the same
    while (line_ < line && !is_last_) {
      const std::size_t lf = text_.find('\n', offset_);
      if (lf == std::string_view::npos) {
        is_last_ = true;
        break;
      }
      offset_ = lf + 1;
      ++line_;
    }
    return line_ < line ? text_.size() : offset_;
  }

 private:
  std::string_view text_;
  std::size_t line_ = 0;
  std::size_t offset_ = 0;  // where line `line_` starts
  bool is_last_ = false;    // `line_` is the text's last line
};

// The six heading slots and the breadcrumbs they give.
class HeadingSlots {
 public:
  explicit HeadingSlots(std::vector<Breadcrumb>& breadcrumbs) : breadcrumbs_(breadcrumbs) {
    breadcrumbs_.emplace_back();  // 0: empty
  }

  // The breadcrumb of the filled slots above `level` (all six for 7).
  std::size_t above(std::uint8_t level) {
    if (level <= 6 && deepest_ >= level) return make(level);
    // The breadcrumb of all six slots is made when a block first asks for it: a run of headings
    // makes none.
    if (!current_) current_ = make(7);
    return *current_;
  }

  void set(std::uint8_t level, std::string_view line) {
    slots_[level - 1] = line;
    slot_words_[level - 1] = words(line);
    for (std::uint8_t l = level; l < 6; ++l) slots_[l] = {};
    deepest_ = level;
    current_.reset();
  }

 private:
  std::size_t make(std::uint8_t level) {
    Breadcrumb crumb;
    for (std::uint8_t l = 1; l < level && l <= 6; ++l) {
      if (slots_[l - 1].empty()) continue;
      crumb.lines[crumb.count++] = slots_[l - 1];
      crumb.words += slot_words_[l - 1];
    }
    if (crumb.empty()) return 0;
    breadcrumbs_.push_back(crumb);
    return breadcrumbs_.size() - 1;
  }

  std::vector<Breadcrumb>& breadcrumbs_;
  std::array<std::string_view, 6> slots_{};  // a heading's text is never empty
  std::array<std::size_t, 6> slot_words_{};
  std::uint8_t deepest_ = 0;  // the deepest filled slot
  std::optional<std::size_t> current_ = 0;  // the breadcrumb of all six slots, once made
};

Boundary boundary_of_start(std::string_view md) {
  const Start start = initial_start(md);
  return Boundary{0, 0, start.is_body, start.level};
}

}  // namespace

Boundaries boundaries(std::string_view md) {
  Boundaries result;
  result.source = md;
  const bool has_lone_cr = [&] {
    for (std::size_t at = md.find('\r'); at != std::string_view::npos; at = md.find('\r', at + 1))
      if (at + 1 == md.size() || md[at + 1] != '\n') return true;
    return false;
  }();
  const std::string copy = has_lone_cr ? with_lone_cr_as_lf(md) : std::string();
  const std::string_view lines_text = has_lone_cr ? std::string_view(copy) : md;
  // The spans of every depth, read in place: the top-level ones are not copied out.
  const std::vector<block::BlockSpan> spans =
      std::move(block::parse_source(lines_text, parse_options(), 1).trace.spans);
  result.list.reserve(1 + static_cast<std::size_t>(std::count_if(
                              spans.begin(), spans.end(),
                              [](const block::BlockSpan& span) { return span.depth == 0; })));

  LineCursor starts(lines_text);
  HeadingSlots slots(result.breadcrumbs);
  for (const block::BlockSpan& span : spans) {
    if (span.depth != 0) continue;
    const std::uint8_t level = span.level.value_or(0);
    const bool is_heading = level >= 1 && level <= 6;
    const std::size_t offset = starts.start_of(span.start);
    const std::size_t crumb = slots.above(is_heading ? level : 7);
    if (result.list.empty() || result.list.back().offset != offset)
      result.list.push_back(Boundary{offset, crumb, !is_heading, is_heading ? level : std::uint8_t(0)});
    if (is_heading) {
      LineCursor ends = starts;  // a heading's lines are few: walked from its first
      const std::size_t end = span.end > span.start ? ends.start_of(span.end) : offset;
      slots.set(level, unicode::trim_end(md.substr(offset, end - offset)));
    }
  }
  if (result.list.empty() || result.list.front().offset != 0)
    result.list.insert(result.list.begin(), boundary_of_start(md));
  return result;
}

void ChunkAppender::add(std::size_t first, std::size_t end) {
  const std::size_t crumb = bounds_.list[first].breadcrumb;
  std::size_t prefix = 0;
  if (list_.size() != 0 && !bounds_.breadcrumbs[crumb].empty()) {
    if (prefix_ == 0 || crumb != crumb_) {
      std::string text = bounds_.breadcrumbs[crumb].text();
      text += "\n\n";
      crumb_ = crumb;
      prefix_ = list_.add_prefix(std::move(text));
    }
    prefix = prefix_;
  }
  const Boundary& b = bounds_.list[first];
  list_.add(prefix, bounds_.offset(first), bounds_.offset(end), Start{b.is_body, b.level});
}

}  // namespace vedavi::chunk
