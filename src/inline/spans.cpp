// Ranged inline nodes: entries of a unit text from its events and text runs, nodes with depths
// and data, offsets mapped back to the source, template tokens of raw HTML blocks, and the
// source-node listing.
#include "inline/spans.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "block/parse.h"
#include "inline/inline_data.h"
#include "inline/scanner.h"

namespace vedavi::inl {
namespace {

// Where a construct's nested content lies, as offsets from its start and its end; a leaf has
// none.
struct KindShape {
  std::string_view name;  // empty: the event gives no node
  bool is_leaf = true;
  std::size_t open = 0;   // inner start - start
  std::size_t close = 0;  // end - inner end
};

KindShape shape_of(const InlineEvent& e) {
  switch (e.kind) {
    case InlineEventKind::Emph: return {"emph", false, 1, 1};
    case InlineEventKind::Strong: return {"strong", false, 2, 2};
    case InlineEventKind::Strike: return {"strike", false, 2, 2};
    case InlineEventKind::Highlight: return {"highlight", false, 2, 2};
    case InlineEventKind::Code: return {"code"};
    case InlineEventKind::LinkTail: return {};
    case InlineEventKind::Link:
    case InlineEventKind::RefLink:
    case InlineEventKind::Span: {
      // The bracket text, up to the "]"; what follows it is not nested content.
      const std::size_t open = e.is_image ? 2 : 1;
      const std::size_t close = e.end > e.bracket_end ? e.end - e.bracket_end + 1 : 1;
      if (e.kind == InlineEventKind::Span) return {"span", false, open, close};
      return {e.is_image ? "image" : "link", false, open, close};
    }
    case InlineEventKind::Autolink: return {"autolink"};
    case InlineEventKind::Xref: return {"xref"};
    case InlineEventKind::FootnoteRef: return {"footnote_ref"};
    case InlineEventKind::Attrs: return {"attrs"};
    case InlineEventKind::TemplateToken: return {"template_token"};
    case InlineEventKind::Comment: return {"comment"};
    case InlineEventKind::Note: return {"footnote", false, 2, 1};
    case InlineEventKind::Superscript: return {"superscript", false, 1, 1};
    case InlineEventKind::Subscript: return {"subscript", false, 1, 1};
    case InlineEventKind::MathInline: return {"math_inline"};
    case InlineEventKind::RawInline: return {"raw_inline"};
    case InlineEventKind::HtmlInline: return {"html_inline"};
  }
  return {};
}

void clear(std::vector<std::uint8_t>& mask, std::size_t begin, std::size_t end) {
  std::fill(mask.begin() + static_cast<std::ptrdiff_t>(begin),
            mask.begin() + static_cast<std::ptrdiff_t>(end), 0);
}

// Listing order: start ascending, then end descending, so a container precedes its contents.
constexpr auto kListingOrder = [](const auto& a, const auto& b) {
  return a.start != b.start ? a.start < b.start : a.end > b.end;
};

// Sorts stably into listing order; nodes mostly come sorted already, and moving them is dear.
template <class It>
void sort_listing(It first, It last) {
  if (!std::is_sorted(first, last, kListingOrder)) std::stable_sort(first, last, kListingOrder);
}

// The nodes of one unit, in entry order, appended to `out` with source offsets.
class UnitNodes {
 public:
  UnitNodes(const JoinedText& joined, const InlineContext& ctx, std::vector<InlineNode>& out)
      : joined_(joined), reader_(joined.text(), ctx), out_(out) {}

  void add(const InlineEntry& entry) {
    while (!open_.empty() && open_.back().end <= entry.start) open_.pop_back();
    if (!open_.empty() && open_.back().is_leaf) return;  // nothing nested in a leaf is listed
    const std::size_t depth = open_.size();
    if (!entry.event) {
      // A text run is split at the line joints, which belong to no node.
      joined_.for_each_part(entry.start, entry.end, [&](ByteRange part) {
        out_.push_back(InlineNode{inline_data::None{}, "text", part.begin, part.end, depth});
      });
      return;
    }
    InlineData data = reader_.inline_data(entry);
    if (auto* link = std::get_if<inline_data::Link>(&data); link && link->url_span) {
      const ByteRange url = *link->url_span;
      link->url_span = ByteRange{joined_.to_source(url.begin), joined_.to_source(url.end)};
    }
    out_.push_back(InlineNode{std::move(data), entry.kind, joined_.to_source(entry.start),
                              joined_.to_source(entry.end), depth});
    open_.push_back(Open{entry.end, entry.is_leaf});
  }

 private:
  struct Open {
    std::size_t end;
    bool is_leaf;
  };
  const JoinedText& joined_;
  InlineDataReader reader_;
  std::vector<InlineNode>& out_;
  std::vector<Open> open_;
};

// The template tokens inside the raw HTML blocks, as depth-0 nodes.
void add_html_tokens(std::string_view source, const Options& options, const block::Trace& trace,
                     const LineMap& map, std::vector<InlineNode>& out) {
  if (options.templates.empty()) return;
  JoinedText html;
  for (const ByteRange& range : map.html_ranges(trace.records)) {
    html.assign(source, map.line_pieces(range));
    for (HtmlToken& token : templates::html_tokens(html.text(), options.templates)) {
      inline_data::Template data{std::move(token.syntax), std::move(token.body), std::move(token.name),
                                 token.kind};
      out.push_back(InlineNode{std::move(data), "template_token", html.to_source(token.start),
                               html.to_source(token.end), 0});
    }
  }
}

}  // namespace

std::vector<InlineEntry> inline_nodes(std::string_view text, const InlineContext& ctx) {
  std::vector<InlineEntry> entries;
  std::vector<std::uint8_t> is_text(text.size(), 1);
  for (const InlineEvent& e : inline_events(text, ctx)) {
    const KindShape shape = shape_of(e);
    if (shape.name.empty() || e.start >= e.end || e.end > text.size()) continue;
    if (shape.is_leaf || e.end - e.start < shape.open + shape.close) {
      clear(is_text, e.start, e.end);
    } else {
      clear(is_text, e.start, e.start + shape.open);
      clear(is_text, e.end - shape.close, e.end);
    }
    entries.push_back(InlineEntry{e.start, e.end, shape.name, shape.is_leaf, e});
  }
  const std::size_t event_count = entries.size();
  for (std::size_t i = 0; i < text.size();) {
    if (!is_text[i]) {
      ++i;
      continue;
    }
    const std::size_t run = i;
    while (i < text.size() && is_text[i]) ++i;
    entries.push_back(InlineEntry{run, i, "text", true, std::nullopt});
  }
  // The events come sorted, and so do the text runs: one stable merge sorts them all.
  std::inplace_merge(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(event_count),
                     entries.end(), kListingOrder);
  return entries;
}

std::vector<InlineNode> collect_inlines(std::string_view source, const Options& options,
                                        const block::Parsed& parsed, const LineMap& map) {
  std::vector<InlineNode> out;
  ScanBuffers buffers;
  const InlineContext ctx{options, parsed.link_defs, parsed.footnote_labels, nullptr, &buffers};
  JoinedText joined;
  for (const Unit& unit : map.units(parsed.trace)) {
    joined.assign(source, unit);
    UnitNodes nodes(joined, ctx, out);
    for (const InlineEntry& entry : inline_nodes(joined.text(), ctx)) nodes.add(entry);
  }
  // The nodes of the units and those of the HTML blocks, each in order, merged.
  const auto units_end = static_cast<std::ptrdiff_t>(out.size());
  add_html_tokens(source, options, parsed.trace, map, out);
  sort_listing(out.begin(), out.begin() + units_end);
  sort_listing(out.begin() + units_end, out.end());
  std::inplace_merge(out.begin(), out.begin() + units_end, out.end(), kListingOrder);
  return out;
}

std::vector<InlineNode> list_inlines(std::string_view source, const Options& options) {
  const block::Parsed parsed = block::parse_source(source, options, 3);
  const LineMap map(source, parsed.trace);
  return collect_inlines(source, options, parsed, map);
}

std::vector<SourceNode> list_source_nodes(std::string_view source, const Options& options) {
  block::Parsed parsed = block::parse_source(source, options, 3);
  const LineMap map(source, parsed.trace);
  std::vector<InlineNode> inlines = collect_inlines(source, options, parsed, map);
  std::vector<SourceBlock> blocks;
  blocks.reserve(parsed.trace.spans.size());
  for (block::BlockSpan& span : parsed.trace.spans) {
    // A whole-line template token is a block of its own only in a syntax of the block form.
    if (span.kind == "template_token" && span.facts().form != TemplateForm::Block) continue;
    const std::size_t start = map.start_or_end(span.start), end = map.start_or_end(span.end);
    blocks.push_back(SourceBlock{std::move(span), start, end});
  }
  sort_listing(blocks.begin(), blocks.end());
  // Merged stably: on equal ranges a block span comes before an inline node.
  std::vector<SourceNode> out;
  out.reserve(blocks.size() + inlines.size());
  std::merge(std::make_move_iterator(blocks.begin()), std::make_move_iterator(blocks.end()),
             std::make_move_iterator(inlines.begin()), std::make_move_iterator(inlines.end()),
             std::back_inserter(out), kListingOrder);
  return out;
}

}  // namespace vedavi::inl
