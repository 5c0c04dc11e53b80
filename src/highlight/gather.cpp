// Gathering the classed ranges of md source, one step per kind of record.
#include "highlight/ranges.h"

#include <optional>

#include "base/internal_error.h"
#include "inline/parse.h"
#include "inline/scanner.h"
#include "model/line.h"
#include "text/scan.h"
#include "text/utf8.h"

namespace vedavi::highlight {
namespace {

constexpr Scope kPunctuation{"punctuation-special"};
constexpr Scope kAttribute{"attribute"};
constexpr Scope kLinkUrl{"markup-link-url"};

// The scope an inline construct shows as; empty for the constructs shown only through their
// parts.
std::optional<Scope> event_scope(InlineEventKind kind) {
  switch (kind) {
    case InlineEventKind::Emph: return Scope("markup-italic");
    case InlineEventKind::Strong: return Scope("markup-bold");
    case InlineEventKind::Strike: return Scope("markup-strikethrough");
    case InlineEventKind::Highlight: return Scope("markup-highlight");
    case InlineEventKind::Code: return Scope("markup-raw-block");
    case InlineEventKind::LinkTail:
    case InlineEventKind::Autolink:
    case InlineEventKind::Xref:
    case InlineEventKind::FootnoteRef: return kLinkUrl;
    case InlineEventKind::Attrs:
    case InlineEventKind::TemplateToken: return kAttribute;
    case InlineEventKind::Comment: return Scope("comment");
    default: return std::nullopt;
  }
}

// Frontmatter delimiter lines ("---" and longer) and the keys of its "key:" lines.
void add_frontmatter(std::string_view text, std::size_t body_offset, std::vector<ClassedRange>& out) {
  const std::string_view head = text.substr(0, std::min(body_offset, text.size()));
  for (std::size_t start = 0; start <= head.size();) {
    std::size_t end = head.find('\n', start);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view line = head.substr(start, end - start);
    const std::string_view trimmed = line::trim(line);
    if (trimmed.size() > 2 && trimmed.find_first_not_of('-') == std::string_view::npos)
      out.push_back(ClassedRange{start, end, kPunctuation});
    else if (std::size_t colon = line.find(':'); colon != std::string_view::npos)
      out.push_back(ClassedRange{start, start + colon + 1, kAttribute});
    start = end + 1;
  }
}

// The markers the block parser consumed, with the scope it gave them.
void add_line_scopes(const inl::LineMap& map, std::vector<ClassedRange>& out) {
  for (std::size_t i = 0; i < map.line_count(); ++i) {
    const std::size_t base = map.start(i);
    for (const inl::LineScope& s : map.scopes(i))
      out.push_back(ClassedRange{base + s.start, base + s.end, Scope(s.scope)});
  }
}

// Each run of non-white-space characters in a line's container prefix ("> ", "- ", "1. ").
void add_container_markers(const inl::LineMap& map, std::vector<ClassedRange>& out) {
  for (std::size_t i = 0; i < map.line_count(); ++i) {
    const std::size_t prefix = map.content_offset(i);
    if (prefix == 0) continue;
    const std::string_view line = map.line(i);
    const std::size_t base = map.start(i);
    std::size_t run = prefix;  // the start of the current run; `prefix` when in none
    for (std::size_t p = 0; p < prefix;) {
      const utf8::Decoded d = utf8::decode(line, p);
      const bool space = line::is_white_space(d.cp);
      if (!space && run == prefix) run = p;
      if (space && run != prefix) {
        out.push_back(ClassedRange{base + run, base + p, kPunctuation});
        run = prefix;
      }
      p += d.len;
    }
    if (run != prefix) out.push_back(ClassedRange{base + run, base + prefix, kPunctuation});
  }
}

// The constructs of every text unit, one range per line piece of a construct.
void add_inline_constructs(std::string_view text, const Options& options, const block::Parsed& parsed,
                           const inl::LineMap& map, std::vector<ClassedRange>& out) {
  inl::ScanBuffers buffers;
  const InlineContext ctx{options, parsed.link_defs, parsed.footnote_labels, nullptr, &buffers};
  inl::JoinedText joined;
  map.for_each_unit(parsed.trace, [&](const inl::Unit& unit) {
    joined.assign(text, unit);
    for (const InlineEvent& e : inl::inline_events(joined.text(), ctx)) {
      const std::optional<Scope> scope = event_scope(e.kind);
      if (!scope) continue;
      joined.for_each_part(e.start, e.end, [&](inl::ByteRange part) {
        out.push_back(ClassedRange{part.begin, part.end, *scope});
      });
    }
  });
}

// HTML comments in raw HTML blocks; an unclosed one runs to the end of its block.
void add_html_comments(std::string_view text, const block::Trace& trace, const inl::LineMap& map,
                       std::vector<ClassedRange>& out) {
  for (const inl::ByteRange& region : map.html_ranges(trace.regions)) {
    const std::string_view html = text.substr(region.begin, region.end - region.begin);
    for (std::size_t at = html.find("<!--"); at != std::string_view::npos; at = html.find("<!--", at)) {
      // Ends where an HTML5 tokenizer ends it ("-->", "--!>", "<!-->", "<!--->"), as the parser does.
      const std::size_t end = scan::html_comment_end(html, at).value_or(html.size());
      out.push_back(ClassedRange{region.begin + at, region.begin + end, Scope("comment")});
      at = end;
    }
  }
}

// Heading lines as one range; each line of a link definition or an attribute-definition line.
void add_block_lines(const block::Trace& trace, const inl::LineMap& map, std::vector<ClassedRange>& out) {
  const std::size_t lines = map.line_count();
  auto line_end = [&](std::size_t i) { return map.start(i) + map.line(i).size(); };
  for (const block::BlockSpan& span : trace.spans) {
    const std::size_t end = std::min<std::size_t>(span.end, lines);
    if (span.start >= end) continue;
    if (span.kind == "heading" || span.kind == "panel_title") {
      out.push_back(ClassedRange{map.start(span.start), line_end(end - 1), Scope("markup-heading")});
    } else if (span.kind == "link_ref" || span.kind == "attr_def") {
      const Scope scope = span.kind == "link_ref" ? kLinkUrl : kAttribute;
      for (std::size_t i = span.start; i < end; ++i)
        out.push_back(ClassedRange{map.start(i), line_end(i), scope});
    }
  }
}

}  // namespace

void Scope::unknown_scope() { internal_failure("internal error: a highlight scope outside the table of scopes"); }

std::vector<ClassedRange> gather_ranges(std::string_view text, const Options& options,
                                        const block::Parsed& parsed, const inl::LineMap& map) {
  std::vector<ClassedRange> out;
  // A range a marker, a container prefix and a heading or definition line at least: a source of
  // short blocks gets its room at once rather than by doubling.
  std::size_t prefixed = 0;
  for (const block::TraceIndex offset : parsed.trace.line_offsets) prefixed += offset != 0 ? 1 : 0;
  out.reserve(parsed.trace.syntax.size() + parsed.trace.spans.size() + prefixed);
  if (parsed.body_offset > 0) add_frontmatter(text, parsed.body_offset, out);
  add_line_scopes(map, out);
  add_container_markers(map, out);
  add_inline_constructs(text, options, parsed, map, out);
  add_html_comments(text, parsed.trace, map, out);
  add_block_lines(parsed.trace, map, out);
  return out;
}

}  // namespace vedavi::highlight
