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
#include "chunk/wrap_check.h"
#include "chunk/wrap_layout.h"
#include "inline/scanner.h"
#include "text/unicode.h"
#include "text/utf8.h"

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

// The lines of a text split at "\n", a final "\n" adding no empty line, held as where each
// starts: a document of short lines has about as many lines as words. The offsets take 32 bits:
// the parse the table goes with refuses a text of 4 GiB.
class LineTable {
 public:
  // `count` is room to reserve.
  LineTable(std::string_view text, std::size_t count) : text_(text) {
    starts_.reserve(count + 1);
    std::size_t begin = 0;
    while (begin < text.size()) {
      starts_.push_back(static_cast<std::uint32_t>(begin));
      begin = std::min(text.find('\n', begin), text.size()) + 1;
    }
    // One past the last line's end: where its "\n" is, or would be.
    starts_.push_back(static_cast<std::uint32_t>(begin));
  }

  std::size_t size() const { return starts_.size() - 1; }
  std::string_view operator[](std::size_t i) const {
    return text_.substr(starts_[i], starts_[i + 1] - 1 - starts_[i]);
  }

 private:
  std::string_view text_;
  std::vector<std::uint32_t> starts_;
};

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

// "[ ]", "[x]" or "[X]" and then a space: an item's task box, as the block parser reads it (a tab
// or a line end after the box leaves it text).
bool starts_with_task_box(std::string_view text) {
  return text.size() >= 4 && text[0] == '[' && (text[1] == ' ' || text[1] == 'x' || text[1] == 'X') &&
         text[2] == ']' && text[3] == ' ';
}

// The attribute block a list item's first line gives the item, read as the block parser reads it:
// the whole line when it is "{:" ... "}", else "{:" up to the first "}" (the rest is text).
std::string_view item_attribute_block(std::string_view first) {
  const std::string_view lead = line::trim_start(first);
  if (!lead.starts_with("{:")) return {};
  const std::string_view whole = line::trim(first);
  if (whole.size() >= 3 && whole.back() == '}') return whole;
  const std::size_t close = lead.find('}');
  return close == std::string_view::npos ? std::string_view() : lead.substr(0, close + 1);
}

// Whether a list item's attribute block would read otherwise on the region's new first line: "{:"
// joined to ".c} x" on the next line, or "{:}} x" (block "{:}", text "} x") cut to the whole-line
// block "{:}}". The block may already stand in the lead, before the paragraph's text.
bool changes_item_attributes(std::string_view old_line, std::string_view new_line, std::string_view lead) {
  std::size_t from = lead.rfind("{:");
  if (from == std::string_view::npos) from = lead.size();
  return item_attribute_block(old_line.substr(from)) != item_attribute_block(new_line.substr(from));
}

// Whether the new first line starts what the old one did not, read where a list item starts: a
// task box ("[  ]" made "[ ]") or an attribute block ("{:" joined to ".c} x" on the next line).
bool changes_item_start(std::string_view old_first, std::string_view new_first) {
  if (starts_with_task_box(new_first) &&
      !(starts_with_task_box(old_first) && old_first.substr(0, 3) == new_first.substr(0, 3)))
    return true;
  if (!new_first.starts_with('{')) return false;
  const std::size_t close = new_first.find('}');
  return close != std::string_view::npos && !old_first.starts_with(new_first.substr(0, close + 1));
}

// A quote marker, or a bullet ("-", "+", "*") followed by white space and more.
bool starts_container(std::string_view text) {
  if (text.starts_with('>')) return true;
  if (text.size() < 3 || (text[0] != '-' && text[0] != '+' && text[0] != '*')) return false;
  return (text[1] == ' ' || text[1] == '\t') && !trim_spaces_tabs(text.substr(2)).empty();
}

// The footnote labels at the start of `text` with the white space after each, as the block parser
// reads them where a footnote definition starts: "[^", a label without white space, "]:", and
// the text may follow at once (it reads on after one, so that several may open on one line). 0
// when none does, or when no text follows: a label alone on its line leaves the text to the next.
std::size_t footnote_label_size(std::string_view text) {
  std::size_t end = 0;
  for (std::string_view t = text; t.starts_with("[^"); t = text.substr(end)) {
    const std::size_t close = t.find("]:");
    if (close == std::string_view::npos || close == 2) break;
    const std::string_view label = t.substr(2, close - 2);
    bool has_white_space = false;
    for (std::size_t i = 0; !has_white_space && i < label.size();) {
      const utf8::Decoded d = utf8::decode(label, i);
      has_white_space = line::is_white_space(d.cp);
      i += d.len;
    }
    if (has_white_space) break;
    end = text.size() - line::trim_start(t.substr(close + 2)).size();
  }
  return end < text.size() ? end : 0;
}

// The paragraph regions by first editable line, and for each whether the paragraph over its lines
// goes on after its block (with another item's marker line, or an attribute line of the list it
// stood in): a bit a region, since a long list has one region per item.
struct TextRegions {
  std::vector<block::TraceIndex> regions;  // numbers in the trace's regions
  std::vector<bool> shares_paragraph;
};

// Whether a lead may hold an ordered list item's marker, whose list the parser may turn back into
// text.
bool may_show_marker_line(std::string_view lead) {
  return lead.find_first_of("0123456789") != std::string_view::npos;
}

struct Region {
  std::size_t text_start = 0;
  std::size_t text_end = 0;
  std::vector<std::string> lines;  // what replaces lines [text_start, text_end)
};

// A block's kind and depth, and the number of its lines for a block that holds no paragraph:
// what a refill must leave as it was. (A paragraph line taken in as a link definition's title
// leaves every kind as it was, but not the definition's lines.)
struct BlockShape {
  std::string_view kind;
  std::size_t depth = 0;
  std::size_t lines = 0;
  friend bool operator==(const BlockShape&, const BlockShape&) = default;
};

bool may_hold_paragraph(std::string_view kind) {
  static constexpr std::string_view kKinds[] = {"paragraph", "block_quote", "list", "div", "panel",
                                                "html_container", "footnote_def", "figure",
                                                "panel_title"};
  return std::find(std::begin(kKinds), std::end(kKinds), kind) != std::end(kKinds);
}

std::vector<BlockShape> block_shapes(const std::vector<block::BlockSpan>& spans) {
  std::vector<BlockShape> shapes;
  shapes.reserve(spans.size());
  for (const block::BlockSpan& span : spans)
    shapes.push_back(BlockShape{span.kind, span.depth,
                                may_hold_paragraph(span.kind) ? 0 : std::size_t{span.end} - span.start});
  return shapes;
}

class Rewrapper {
 public:
  Rewrapper(const block::Parsed& parsed, const LineTable& lines,
            std::optional<std::uint64_t> width)
      : parsed_(parsed), lines_(lines), width_(width), options_(parse_options()),
        scope_{options_, parsed.link_defs, parsed.footnote_labels, &buffers_} {
    for (const block::BlockSpan& span : parsed.trace.spans)
      if (span.kind == "footnote_def") footnote_starts_.push_back(span.start);
    std::sort(footnote_starts_.begin(), footnote_starts_.end());
  }

  std::string_view content(std::size_t line) const {
    const std::vector<block::TraceIndex>& offsets = parsed_.trace.line_offsets;
    const std::size_t offset = line < offsets.size() ? offsets[line] : 0;
    return lines_[line].substr(std::min(offset, lines_[line].size()));
  }

  // The region's new lines; none when it stays as it is. `shares_paragraph` when the paragraph
  // over the region goes on after its block.
  std::optional<std::vector<std::string>> fill(const block::EditRegion& region, bool shares_paragraph) const {
    // A paragraph's text never starts a line with a quote marker or a bullet item: the content
    // offset fell before the marker of a container (a tab split between markers), and joining
    // the line to the one before would make its marker text.
    for (std::size_t k = region.text_start; k < region.text_end; ++k)
      if (begins_with_tag(content(k)) || starts_container(trim_spaces_tabs(content(k)))) return std::nullopt;
    // The first line keeps its white space before the text: the parser's content offset may
    // fall inside it (at a tab a marker took in part), and a lead cut there would move the
    // text again on the next run.
    const std::string_view first = lines_[region.text_start];
    const std::string_view first_content = content(region.text_start);
    std::size_t text_begin = line::indent_bytes(first_content);
    // A footnote definition's label stays on its line: the first line's content may start before
    // it, and a label broken off would read as text on the next run.
    const std::size_t label_size =
        is_footnote_start(region.text_start) ? footnote_label_size(first_content.substr(text_begin)) : 0;
    text_begin += label_size;
    Layout layout{first.substr(0, first.size() - first_content.size() + text_begin), parsed_.trace.prefix(region),
                  width_, false};
    // An ordered item the parser turns back into text may show the white space its text ends in.
    if (may_show_marker_line(layout.lead) && ends_in_shown_white_space(region)) return std::nullopt;
    // An attribute line below a line of "^" alone is the next block's, below any other line the
    // block's before it: the paragraph's last line must stay what it is.
    if (line::trim(lines_[region.text_end - 1]) == "^") return std::nullopt;
    std::vector<std::string> out;
    // A paragraph of one segment, whose lines lose only spaces and tabs before their text, is
    // parsed once: its inlines give both its tokens and the rendering the refill is checked
    // against. The lines keep their white space at the end, as the parser reads them, so that
    // a code span's text keeps it too.
    std::string old_text;
    std::optional<Inlines> old_inlines;
    std::vector<InlineEvent> events;
    if (label_size == 0 && is_plain_segment(region, layout, old_text)) {
      // The inlines go before their text: its runs are read in place, not copied into the arena,
      // where every paragraph's copy would stay until the call ends.
      const InlineContext ctx{options_, parsed_.link_defs, parsed_.footnote_labels, &events, &buffers_, true};
      old_inlines = inl::parse_inner(old_text, ctx);
      inl::sort_events(events);
      const Tokens tokens = tokens_of(old_text, events);
      if (tokens.size() != 0) lay_out(tokens, layout, out);
    }
    std::string segment;
    for (std::size_t k = old_inlines ? region.text_end : region.text_start; k < region.text_end; ++k) {
      const std::string_view text =
          trim_spaces_tabs(piece(region, layout, k));
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
    const std::string_view new_first = std::string_view(out[0]).substr(layout.lead.size());
    const std::string_view old_first = trim_spaces_tabs(content(region.text_start));
    if (opens_block(new_first) && !opens_block(old_first)) return std::nullopt;
    if (is_unchanged(region, out)) return out;
    if (changes_item_start(old_first, line::trim_start(new_first)) ||
        changes_item_attributes(first, out[0], layout.lead))
      return std::nullopt;
    // The region's own rendering cannot tell what a construct running on into the paragraph's
    // later lines reads ("`b\t" closed by a backtick on the next item's line keeps the tab): there
    // the refill is kept only when no construct but those whole in the region reads its white
    // space, and nothing before its text opens one.
    if (shares_paragraph)
      return old_inlines && reads_white_space_only_in_whole_constructs(old_text, events) &&
                     !opens_before_text(region, layout)
                 ? std::optional(std::move(out))
                 : std::nullopt;
    // The safety net: a paragraph whose inline rendering would change (soft line breaks aside)
    // stays as it is, whatever the tests above missed. Where its parse shows that no construct
    // reads the white space a refill changes, the renderings need not be made.
    if (old_inlines && reads_white_space_only_in_whole_constructs(old_text, events)) return out;
    if (!says_the_same(region, out, layout, old_inlines ? &*old_inlines : nullptr)) return std::nullopt;
    return out;
  }

  bool is_unchanged(const block::EditRegion& region, const std::vector<std::string>& out) const {
    if (out.size() != region.text_end - region.text_start) return false;
    for (std::size_t k = 0; k < out.size(); ++k)
      if (out[k] != lines_[region.text_start + k]) return false;
    return true;
  }

  bool says_the_same(const block::EditRegion& region, const std::vector<std::string>& out,
                     const Layout& layout, const Inlines* old_inlines) const {
    std::vector<std::string_view> before;
    bool is_plain = true;
    for (std::size_t k = region.text_start; k < region.text_end; ++k) {
      // The paragraph's text from each line's content offset: a label kept in the lead may be
      // text all the same.
      before.push_back(content(k));
      // White space other than spaces and tabs before a line's text is dropped where the line
      // starts, and kept where a refill joins it to the line before.
      const std::string_view line = before.back();
      const std::size_t begin = std::min(line.find_first_not_of(" \t"), line.size());
      is_plain = is_plain && !may_read_white_space(line) &&
                 line::trim_start(line).size() == line.size() - begin;
    }
    if (is_plain) return true;
    const std::string before_rendering =
        old_inlines ? paragraph_rendering(*old_inlines) : paragraph_rendering(before, scope_);
    // The new first line keeps the old one's markers, so its text starts at the same offset.
    const std::size_t first_offset = lines_[region.text_start].size() - content(region.text_start).size();
    std::vector<std::string_view> after;
    for (std::size_t k = 0; k < out.size(); ++k)
      after.push_back(std::string_view(out[k]).substr(k == 0 ? first_offset : layout.prefix.size()));
    return before_rendering == paragraph_rendering(after, scope_);
  }

 private:
  // Whether a footnote definition starts on `line`: only there is a "[^label]:" start a label
  // (elsewhere it is text, and joining lines may make one).
  bool is_footnote_start(std::size_t line) const {
    return std::binary_search(footnote_starts_.begin(), footnote_starts_.end(), line);
  }

  // Whether white space at the end of the region's text may show: an ordered list item turned back
  // into text shows its marker line as it was, white space at its end included, when its
  // paragraph has that line alone, and the parser trims the last line of a longer one. Trimming
  // that line, or joining or breaking lines there, would change what the paragraph says where
  // the text of a next item is joined to it, or a next paragraph of a tight item follows at once.
  bool ends_in_shown_white_space(const block::EditRegion& region) const {
    const std::string_view last = content(region.text_end - 1);
    if (region.text_end - region.text_start == 1) return line::trim_end(last).size() != last.size();
    const std::string_view text = trim_spaces_tabs(last);
    return line::trim_end(text).size() != text.size();  // white space other than spaces and tabs
  }

  // Whether the region's lead or a line before its text (its link definitions, or a list item's
  // marker line shown as text) holds a byte of a construct that may read white space.
  bool opens_before_text(const block::EditRegion& region, const Layout& layout) const {
    if (may_read_white_space(layout.lead)) return true;
    for (std::size_t k = region.start; k < region.text_start; ++k)
      if (may_read_white_space(lines_[k])) return true;
    return false;
  }

  // The line's text after the region's lead (the first line) or its content offset.
  std::string_view piece(const block::EditRegion& region, const Layout& layout, std::size_t k) const {
    return k == region.text_start ? lines_[k].substr(layout.lead.size()) : content(k);
  }

  // Whether the region is one segment (no line but the last ends in a backslash) whose lines
  // start with no white space but spaces and tabs; `text` is then its lines, each from its text
  // on, joined by "\n".
  bool is_plain_segment(const block::EditRegion& region, const Layout& layout, std::string& text) const {
    for (std::size_t k = region.text_start; k < region.text_end; ++k) {
      const std::string_view line = piece(region, layout, k);
      const std::size_t begin = std::min(line.find_first_not_of(" \t"), line.size());
      if (line::trim_start(line).size() != line.size() - begin) return false;
      if (k + 1 < region.text_end && content(k).ends_with('\\')) return false;
      if (k > region.text_start) text += '\n';
      text += line.substr(begin);
    }
    return true;
  }

  const block::Parsed& parsed_;
  const LineTable& lines_;
  std::optional<std::uint64_t> width_;
  std::vector<std::size_t> footnote_starts_;
  Options options_;
  // The inline parses of every paragraph share their scan state: fewer allocations.
  mutable inl::ScanBuffers buffers_;
  InlineScope scope_;
};

// The paragraph regions (kind 0 but not headings), by first editable line. A region is taken only
// where the document has a paragraph over its lines: the line loop's regions are drawn before the
// after-passes, which may still move a line from one paragraph to another, or join the items of a
// tight list turned back into text into one paragraph. A region whose paragraph runs on past its
// block is marked as sharing it.
TextRegions paragraph_regions(const block::Trace& trace, std::size_t line_count) {
  // By start line: where the paragraph starting there ends, or kHeading when a heading starts
  // there. 32 bits a line, as the trace's line numbers.
  constexpr block::TraceIndex kHeading = ~block::TraceIndex{0};
  std::vector<block::TraceIndex> paragraph_end(line_count + 1, 0);
  for (const block::BlockSpan& span : trace.spans) {
    if (span.start > line_count) continue;
    block::TraceIndex& end = paragraph_end[span.start];
    if (span.kind == "heading") end = kHeading;
    if (span.kind == "paragraph" && end != kHeading) end = std::max(end, span.end);
  }
  TextRegions out;
  std::vector<block::TraceIndex>& regions = out.regions;
  for (std::size_t k = 0; k < trace.regions.size(); ++k) {
    const block::EditRegion& region = trace.regions[k];
    if (region.kind != block::RegionKind::Text) continue;
    if (region.start > line_count || paragraph_end[region.start] == kHeading) continue;
    if (paragraph_end[region.start] < region.text_end) continue;
    if (region.text_start < region.text_end && region.text_end <= line_count)
      regions.push_back(static_cast<block::TraceIndex>(k));
  }
  std::stable_sort(regions.begin(), regions.end(), [&](block::TraceIndex a, block::TraceIndex b) {
    return trace.regions[a].text_start < trace.regions[b].text_start;
  });
  out.shares_paragraph.reserve(regions.size());
  for (const block::TraceIndex k : regions)
    out.shares_paragraph.push_back(paragraph_end[trace.regions[k].start] > trace.regions[k].end);
  return out;
}

// The lines with the filled regions (last first) put in, joined by `line_end`.
std::string assemble(const LineTable& lines, const std::vector<Region>& filled, bool ends_with_newline) {
  constexpr std::string_view line_end = "\n";
  std::string out;
  std::size_t size = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) size += lines[k].size() + line_end.size();
  out.reserve(size + size / 16);
  bool is_first = true;
  auto append_line = [&](std::string_view line) {
    if (!is_first) out += line_end;
    is_first = false;
    out += line;
  };
  std::size_t next = 0;
  for (auto it = filled.rbegin(); it != filled.rend(); ++it) {
    for (; next < it->text_start; ++next) append_line(lines[next]);
    for (const std::string& line : it->lines) append_line(line);
    next = it->text_end;
  }
  for (; next < lines.size(); ++next) append_line(lines[next]);
  if (ends_with_newline) out += line_end;
  return out;
}

// The text with every "\n" written as "\r\n".
std::string with_crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t lf = std::min(text.find('\n', begin), text.size());
    out.append(text.substr(begin, lf - begin));
    if (lf < text.size()) out += "\r\n";
    begin = lf + 1;
  }
  return out;
}

// Whether `text` parses into blocks of the same kinds at the same depths, in the same order.
bool has_same_blocks(const std::vector<BlockShape>& before, std::string_view text) {
  return before == block_shapes(block::parse_source(text, parse_options(), 1).trace.spans);
}

// The span mode of the layout read here: no syntax scopes, no regions of headings.
constexpr std::uint8_t kWrapLayout = 5;

}  // namespace

std::string wrap_md(std::string_view md, std::optional<std::uint64_t> width) {
  fault_point(md);
  const bool has_crlf = md.find("\r\n") != std::string_view::npos;
  // The source is read in place unless it has line ends to rewrite.
  std::string normalized;
  std::string_view text = md;
  if (md.find('\r') != std::string_view::npos) {
    normalized = normalize_line_ends(md);
    text = normalized;
  }
  const bool ends_with_newline = !text.empty() && text.back() == '\n';
  std::optional<LineTable> lines;
  std::vector<Region> filled;
  std::vector<BlockShape> shapes;
  {
    // The parse is dropped before the check below parses the result. The line table is made
    // once the parser's own is gone. The parse records neither syntax scopes nor the regions of
    // headings: nothing here reads them.
    block::Parsed parsed = block::parse_source(text, parse_options(), kWrapLayout);
    // The parse has a content offset for every line: as many as the table will hold.
    lines.emplace(text, parsed.trace.line_offsets.size());
    const Rewrapper rewrapper(parsed, *lines, width);
    // Regions are treated from the last to the first, each replacing lines the later ones left
    // alone; a region reaching into lines already replaced is skipped. Only regions whose lines
    // change are kept.
    const TextRegions regions = paragraph_regions(parsed.trace, lines->size());
    std::size_t limit = lines->size();
    // A paragraph's inlines are gone when its fill returns: each batch of paragraphs builds
    // them in an arena of its own, let go at the batch's end, so that they do not pile up.
    constexpr std::size_t kArenaBatch = 1024;
    std::optional<ArenaScope> batch;
    std::size_t in_batch = 0;
    for (std::size_t k = regions.regions.size(); k-- > 0;) {
      const block::EditRegion& region = parsed.trace.regions[regions.regions[k]];
      if (region.text_end > limit) continue;
      if (in_batch++ % kArenaBatch == 0) {
        batch.reset();
        batch.emplace(ArenaScope::Fresh{});
      }
      if (auto out = rewrapper.fill(region, regions.shares_paragraph[k])) {
        limit = region.text_start;
        if (!rewrapper.is_unchanged(region, *out))
          filled.push_back(Region{region.text_start, region.text_end, std::move(*out)});
      }
    }
    if (!filled.empty()) shapes = block_shapes(parsed.trace.spans);
  }

  std::string out;
  // The paragraph tests above cannot foresee every way the containers around a paragraph read
  // its new lines; the text is then returned with its line ends only.
  if (!filled.empty()) out = assemble(*lines, filled, ends_with_newline);
  if (filled.empty() || !has_same_blocks(shapes, out)) out = text;
  if (has_crlf) out = with_crlf(out);
  return out;
}

}  // namespace vedavi::chunk
