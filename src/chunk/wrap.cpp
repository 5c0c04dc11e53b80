// The re-wrapper's entry: line ends, the parse, the choice of paragraph regions and the assembly
// of the result.
#include "chunk/wrap.h"

#include <algorithm>
#include <vector>

#include "base/internal_error.h"
#include "block/parse.h"
#include "block/trace.h"
#include "model/line.h"
#include "model/link_ref.h"
#include "chunk/options.h"
#include "chunk/wrap_layout.h"
#include "text/unicode.h"

namespace vedavi::chunk {
namespace {

// "\r\n" and then a lone "\r" become "\n".
std::string normalize_line_ends(std::string_view md) {
  std::string out;
  out.reserve(md.size());
  for (std::size_t i = 0; i < md.size(); ++i) {
    if (md[i] != '\r') {
      out += md[i];
      continue;
    }
    out += '\n';
    if (i + 1 < md.size() && md[i + 1] == '\n') ++i;
  }
  return out;
}

// Lines split at "\n"; a final "\n" adds no empty line.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

bool is_tag_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// '<', an optional '/', a tag name, then a space, tab, '/' or '>': a line of HTML that the
// dialect passes through, whose line breaks may matter.
bool begins_with_tag(std::string_view content) {
  const std::string_view t = unicode::trim_start(content);
  std::size_t i = 0;
  if (i == t.size() || t[i] != '<') return false;
  ++i;
  if (i < t.size() && t[i] == '/') ++i;
  const std::size_t name_begin = i;
  while (i < t.size() && is_tag_name_char(t[i])) ++i;
  if (i == name_begin || i == t.size()) return false;
  return t[i] == ' ' || t[i] == '\t' || t[i] == '/' || t[i] == '>';
}

std::string_view trim_spaces_tabs(std::string_view s) {
  const std::size_t begin = s.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

// Whether the new lines of a region open with a link reference definition, as "[a]: /u b"
// broken after "/u" would: the paragraph would lose that text to the definition.
bool starts_link_definition(const std::vector<std::string>& lines, const Layout& layout) {
  if (!unicode::trim_start(std::string_view(lines[0]).substr(layout.lead.size())).starts_with('['))
    return false;
  std::vector<std::string_view> contents;
  for (std::size_t k = 0; k < lines.size(); ++k)
    contents.push_back(std::string_view(lines[k]).substr(k == 0 ? layout.lead.size() : layout.prefix.size()));
  const auto def = block::parse_link_ref_at(std::span<const std::string_view>(contents), 0);
  return def && def->end > 0;
}

struct Region {
  const block::EditRegion* edit;
  std::vector<std::string> lines;  // what replaces lines [text_start, text_end)
};

class Rewrapper {
 public:
  Rewrapper(const block::Parsed& parsed, std::vector<std::string_view> lines,
            std::optional<std::uint64_t> width)
      : parsed_(parsed), lines_(std::move(lines)), width_(width), options_(parse_options()),
        scope_{options_, parsed.link_defs, parsed.footnote_labels} {}

  std::string_view content(std::size_t line) const {
    const std::vector<std::size_t>& offsets = parsed_.trace.line_offsets;
    const std::size_t offset = line < offsets.size() ? offsets[line] : 0;
    return lines_[line].substr(std::min(offset, lines_[line].size()));
  }

  // The region's new lines; none when it stays as it is.
  std::optional<std::vector<std::string>> fill(const block::EditRegion& region) const {
    for (std::size_t k = region.text_start; k < region.text_end; ++k)
      if (begins_with_tag(content(k))) return std::nullopt;
    // The first line keeps its white space before the text: the parser's content offset may
    // fall inside it (at a tab a marker took in part), and a lead cut there would move the
    // text again on the next run.
    const std::string_view first = lines_[region.text_start];
    const std::string_view first_content = content(region.text_start);
    const std::size_t text_begin = line::indent_bytes(first_content);
    Layout layout{first.substr(0, first.size() - first_content.size() + text_begin), region.prefix,
                  width_, false};
    std::vector<std::string> out;
    std::string segment;
    for (std::size_t k = region.text_start; k < region.text_end; ++k) {
      const std::string_view text = trim_spaces_tabs(content(k));
      if (!segment.empty()) segment += '\n';
      segment += text;
      // Only a backslash right before the line end is a hard break; one followed by spaces or
      // tabs is text, and the segment goes on.
      if (content(k).ends_with('\\') || k + 1 == region.text_end) {
        const Tokens tokens = tokens_of(segment, scope_);
        // A segment of white space alone adds nothing; one of other white space (no-break
        // spaces) is text and stays.
        if (tokens.size() != 0) lay_out(tokens, layout, out);
        segment.clear();
      }
    }
    if (out.empty() || layout.is_unsafe || starts_link_definition(out, layout)) return std::nullopt;
    // Words joined onto the first line must not turn it into the start of another block.
    if (opens_block(std::string_view(out[0]).substr(layout.lead.size())) &&
        !opens_block(trim_spaces_tabs(content(region.text_start))))
      return std::nullopt;
    return out;
  }

  const std::vector<std::string_view>& lines() const { return lines_; }

 private:
  const block::Parsed& parsed_;
  std::vector<std::string_view> lines_;
  std::optional<std::uint64_t> width_;
  Options options_;
  InlineScope scope_;
};

// The paragraph regions (kind 0 but not headings), by first editable line. A region is taken only
// where the document has a paragraph over its lines: the line loop's regions are drawn before the
// after-passes, which may still move a line from one paragraph to another.
std::vector<const block::EditRegion*> paragraph_regions(const block::Trace& trace,
                                                       std::size_t line_count) {
  std::vector<bool> heading_start(line_count + 1, false);
  std::vector<std::size_t> paragraph_end(line_count + 1, 0);  // by start line
  for (const block::BlockSpan& span : trace.spans) {
    if (span.start > line_count) continue;
    if (span.kind == "heading") heading_start[span.start] = true;
    if (span.kind == "paragraph")
      paragraph_end[span.start] = std::max(paragraph_end[span.start], span.end);
  }
  std::vector<const block::EditRegion*> regions;
  for (const block::TraceEvent& record : trace.records) {
    const auto* region = std::get_if<block::EditRegion>(&record);
    if (region == nullptr || region->kind != block::RegionKind::Text) continue;
    if (region->start > line_count || heading_start[region->start]) continue;
    if (paragraph_end[region->start] < region->text_end) continue;
    if (region->text_start < region->text_end && region->text_end <= line_count)
      regions.push_back(region);
  }
  std::stable_sort(regions.begin(), regions.end(), [](const auto* a, const auto* b) {
    return a->text_start < b->text_start;
  });
  return regions;
}

// The lines with the filled regions (last first) put in, joined by `line_end`.
std::string assemble(const std::vector<std::string_view>& lines, const std::vector<Region>& filled,
                     bool ends_with_newline, std::string_view line_end) {
  std::string out;
  std::size_t size = 0;
  for (std::string_view line : lines) size += line.size() + line_end.size();
  out.reserve(size + size / 16);
  bool is_first = true;
  auto append_line = [&](std::string_view line) {
    if (!is_first) out += line_end;
    is_first = false;
    out += line;
  };
  std::size_t next = 0;
  for (auto it = filled.rbegin(); it != filled.rend(); ++it) {
    for (; next < it->edit->text_start; ++next) append_line(lines[next]);
    for (const std::string& line : it->lines) append_line(line);
    next = it->edit->text_end;
  }
  for (; next < lines.size(); ++next) append_line(lines[next]);
  if (ends_with_newline) out += line_end;
  return out;
}

// Whether `text` parses into blocks of the same kinds at the same depths, in the same order.
bool has_same_blocks(const std::vector<block::BlockSpan>& before, std::string_view text) {
  const std::vector<block::BlockSpan> after = block::parse_source(text, parse_options(), 1).trace.spans;
  return std::equal(before.begin(), before.end(), after.begin(), after.end(),
                    [](const block::BlockSpan& a, const block::BlockSpan& b) {
                      return a.kind == b.kind && a.depth == b.depth;
                    });
}

}  // namespace

std::string wrap_md(std::string_view md, std::optional<std::uint64_t> width) {
  fault_point(md);
  const bool has_crlf = md.find("\r\n") != std::string_view::npos;
  const std::string text = normalize_line_ends(md);
  const bool ends_with_newline = !text.empty() && text.back() == '\n';
  const block::Parsed parsed = block::parse_source(text, parse_options(), 3);
  const Rewrapper rewrapper(parsed, split_lines(text), width);
  const std::vector<std::string_view>& lines = rewrapper.lines();

  // Regions are treated from the last to the first, each replacing lines the later ones left
  // alone; a region reaching into lines already replaced is skipped.
  const std::vector<const block::EditRegion*> regions = paragraph_regions(parsed.trace, lines.size());
  std::vector<Region> filled;
  std::size_t limit = lines.size();
  for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
    if ((*it)->text_end > limit) continue;
    if (auto out = rewrapper.fill(**it)) {
      filled.push_back(Region{*it, std::move(*out)});
      limit = (*it)->text_start;
    }
  }

  std::string out = assemble(lines, filled, ends_with_newline, "\n");
  if (!filled.empty() && !has_same_blocks(parsed.trace.spans, out)) {
    // The paragraph tests above cannot foresee every way the containers around a paragraph read
    // its new lines; the text is then returned with its line ends only.
    filled.clear();
    out = assemble(lines, filled, ends_with_newline, "\n");
  }
  if (has_crlf) out = assemble(split_lines(out), {}, ends_with_newline, "\r\n");
  return out;
}

}  // namespace vedavi::chunk
