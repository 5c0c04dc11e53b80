// Ranged inline nodes: entries of a unit text from its events and text runs, nodes with depths
// and data, offsets mapped back to the source, template tokens of raw HTML blocks, and the
// listings, streamed in batches or returned whole.
#include "inline/spans.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <numeric>
#include <type_traits>

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

// The ranges of a streamed listing's items in the order made, in parts: each part is put in
// listing order on its own, then the parts are merged, an earlier part first on equal ranges.
// That is one stable sort of all the items in the order made, done cheaply when the parts come
// sorted, as they mostly do; only the indices move.
class MadeOrder {
 public:
  void add(std::size_t start, std::size_t end) { ranges_.push_back(Range{start, end}); }
  // The items added since the last part end form a part.
  void end_part() { part_ends_.push_back(ranges_.size()); }

  ListingOrder finish() && {
    assert(part_ends_.empty() || part_ends_.back() == ranges_.size());
    if (std::is_sorted(ranges_.begin(), ranges_.end(), kListingOrder)) return {};
    ListingOrder order(ranges_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto by_range = [&](std::size_t a, std::size_t b) { return kListingOrder(ranges_[a], ranges_[b]); };
    const auto at = [&](std::size_t i) { return order.begin() + static_cast<std::ptrdiff_t>(i); };
    std::size_t begin = 0;
    for (const std::size_t end : part_ends_) {
      const auto first = ranges_.begin() + static_cast<std::ptrdiff_t>(begin);
      if (!std::is_sorted(first, first + static_cast<std::ptrdiff_t>(end - begin), kListingOrder))
        std::stable_sort(at(begin), at(end), by_range);
      std::inplace_merge(order.begin(), at(begin), at(end), by_range);
      begin = end;
    }
    return order;
  }

 private:
  struct Range {
    std::size_t start;
    std::size_t end;
  };
  std::vector<Range> ranges_;
  std::vector<std::size_t> part_ends_;
};

// Hands a listing's items to the sink in batches as they are made, keeping their ranges for the
// order. Every part holds items of one type, so the two batches never hold items at once and the
// sink sees the order made.
class Stream {
 public:
  explicit Stream(ListingSink& sink) : sink_(sink) {}

  void push(InlineNode&& node) {
    assert(blocks_.empty());
    order_.add(node.start, node.end);
    inlines_.push_back(std::move(node));
    if (inlines_.size() == kListingBatch) flush();
  }
  void push(SourceBlock&& block) {
    assert(inlines_.empty());
    order_.add(block.start, block.end);
    blocks_.push_back(std::move(block));
    if (blocks_.size() == kListingBatch) flush();
  }
  void end_part() {
    flush();
    order_.end_part();
  }
  ListingOrder finish() && { return std::move(order_).finish(); }

 private:
  void flush() {
    if (!inlines_.empty()) sink_.take_inlines(inlines_);
    if (!blocks_.empty()) sink_.take_blocks(blocks_);
    inlines_.clear();
    blocks_.clear();
  }

  ListingSink& sink_;
  MadeOrder order_;
  std::vector<InlineNode> inlines_;
  std::vector<SourceBlock> blocks_;
};

// The nodes of one unit, in entry order, streamed with source offsets.
class UnitNodes {
 public:
  UnitNodes(const JoinedText& joined, const InlineContext& ctx, Stream& out)
      : joined_(joined), reader_(joined.text(), ctx), out_(out) {}

  void add(const InlineEntry& entry) {
    while (!open_.empty() && open_.back().end <= entry.start) open_.pop_back();
    if (!open_.empty() && open_.back().is_leaf) return;  // nothing nested in a leaf is listed
    const std::size_t depth = open_.size();
    if (!entry.event) {
      // A text run is split at the line joints, which belong to no node.
      joined_.for_each_part(entry.start, entry.end, [&](ByteRange part) {
        out_.push(InlineNode{inline_data::None{}, "text", part.begin, part.end, depth});
      });
      return;
    }
    InlineData data = reader_.inline_data(entry);
    if (auto* link = std::get_if<inline_data::Link>(&data); link && link->url_span) {
      const ByteRange url = *link->url_span;
      link->url_span = ByteRange{joined_.to_source(url.begin), joined_.to_source(url.end)};
    }
    out_.push(InlineNode{std::move(data), entry.kind, joined_.to_source(entry.start),
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
  Stream& out_;
  std::vector<Open> open_;
};

// The texts a parse's inline nodes are read from, taken from its line map so that the map and
// the trace can go before the nodes are made: the text units, and the line pieces of each raw
// HTML block (only with template syntaxes, whose tokens are looked for there).
struct InlineTexts {
  std::vector<Unit> units;
  std::vector<Unit> html_blocks;
};

InlineTexts inline_texts(const Options& options, const block::Trace& trace, const LineMap& map) {
  InlineTexts texts{map.units(trace), {}};
  if (!options.templates.empty()) {
    for (const ByteRange& range : map.html_ranges(trace.regions))
      texts.html_blocks.push_back(map.line_pieces(range));
  }
  return texts;
}

// The template tokens inside the raw HTML blocks, as depth-0 nodes.
void add_html_tokens(std::string_view source, const Options& options, std::span<const Unit> html_blocks,
                     Stream& out) {
  JoinedText html;
  for (const Unit& pieces : html_blocks) {
    html.assign(source, pieces);
    for (HtmlToken& token : templates::html_tokens(html.text(), options.templates)) {
      inline_data::Template data{std::move(token.syntax), std::move(token.body), std::move(token.name),
                                 token.kind};
      out.push(InlineNode{std::move(data), "template_token", html.to_source(token.start),
                          html.to_source(token.end), 0});
    }
  }
}

// The inline nodes of a parse, as two parts: those of its text units, then the template tokens
// of its raw HTML blocks. Reads the parse's link definitions and footnote labels only.
void stream_texts(std::string_view source, const Options& options, const block::Parsed& parsed,
                  const InlineTexts& texts, Stream& out) {
  ScanBuffers buffers;
  const InlineContext ctx{options, parsed.link_defs, parsed.footnote_labels, nullptr, &buffers};
  JoinedText joined;
  for (const Unit& unit : texts.units) {
    joined.assign(source, unit);
    UnitNodes nodes(joined, ctx, out);
    for (const InlineEntry& entry : inline_nodes(joined.text(), ctx)) nodes.add(entry);
  }
  out.end_part();
  add_html_tokens(source, options, texts.html_blocks, out);
  out.end_part();
}

// Keeps what a stream makes, for the listings returned whole.
template <class Item>
class Collected final : public ListingSink {
 public:
  void take_blocks(std::span<SourceBlock> batch) override { keep(batch); }
  void take_inlines(std::span<InlineNode> batch) override { keep(batch); }

  // The items in listing order.
  std::vector<Item> in_order(const ListingOrder& order) && {
    if (order.empty()) return std::move(items_);
    std::vector<Item> out;
    out.reserve(items_.size());
    for (const std::size_t i : order) out.push_back(std::move(items_[i]));
    return out;
  }

 private:
  template <class Made>
  void keep(std::span<Made> batch) {
    if constexpr (std::is_constructible_v<Item, Made&&>) {
      for (Made& made : batch) items_.emplace_back(std::move(made));
    } else {
      assert(batch.empty());
    }
  }

  std::vector<Item> items_;
};

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
  Collected<InlineNode> nodes;
  Stream out(nodes);
  stream_texts(source, options, parsed, inline_texts(options, parsed.trace, map), out);
  return std::move(nodes).in_order(std::move(out).finish());
}

std::vector<InlineNode> list_inlines(std::string_view source, const Options& options) {
  Collected<InlineNode> nodes;
  const ListingOrder order = stream_inlines(source, options, nodes);
  return std::move(nodes).in_order(order);
}

std::vector<SourceNode> list_source_nodes(std::string_view source, const Options& options) {
  Collected<SourceNode> nodes;
  const ListingOrder order = stream_source_nodes(source, options, nodes);
  return std::move(nodes).in_order(order);
}

// The streams let the trace and the line map go before the inline nodes are made: the trace
// (every span's facts) is often the largest part of a parse.
ListingOrder stream_inlines(std::string_view source, const Options& options, ListingSink& sink) {
  block::Parsed parsed = block::parse_source(source, options, 3);
  const InlineTexts texts = inline_texts(options, parsed.trace, LineMap(source, parsed.trace));
  parsed.trace = {};
  sink.parse_released();
  Stream out(sink);
  stream_texts(source, options, parsed, texts, out);
  return std::move(out).finish();
}

ListingOrder stream_source_nodes(std::string_view source, const Options& options, ListingSink& sink) {
  block::Parsed parsed = block::parse_source(source, options, 4);
  Stream out(sink);
  InlineTexts texts;
  {
    const LineMap map(source, parsed.trace);
    // The units read the spans' facts, which the blocks then take over.
    texts = inline_texts(options, parsed.trace, map);
    for (block::BlockSpan& span : parsed.trace.spans) {
      // A whole-line template token is a block of its own only in a syntax of the block form.
      if (span.kind == "template_token" && span.facts().form != TemplateForm::Block) continue;
      const std::size_t start = map.start_or_end(span.start), end = map.start_or_end(span.end);
      out.push(SourceBlock{std::move(span), start, end});
    }
    // A block span comes first on equal ranges: its part is the earlier.
    out.end_part();
  }
  parsed.trace = {};
  sink.parse_released();
  stream_texts(source, options, parsed, texts, out);
  return std::move(out).finish();
}

}  // namespace vedavi::inl
