// A top-level list or quote finished a batch of children at a time while its lines are read, so
// that a list of a million items never stands whole as a build tree beside the drafts made from
// it.
#include <algorithm>
#include <utility>

#include "block/build.h"
#include "block/lists.h"
#include "block/parse.h"

namespace vedavi::block {

template <class T>
void ContainerBuilder::make_stream_room(std::vector<T>& list, std::size_t more) {
  if (list.capacity() - list.size() >= more) return;
  constexpr std::size_t kSample = 4096;
  if (list.size() < kSample)
    list.reserve(std::max(list.size() + more, 2 * list.capacity()));
  else
    reserve_at_rate(list, more, line + 1 - first_line_, parser.lines.size() - first_line_);
}

void ContainerBuilder::drop_children(std::uint32_t container) {
  nodes.erase(nodes.begin() + container + 1, nodes.end());
  paragraph_lines.clear();
  const auto own = static_cast<std::size_t>(nodes[container].tag);
  std::size_t k = 0;
  std::apply([&](auto&... table) { ((table.erase(table.begin() + (k++ == own ? 1 : 0), table.end())), ...); }, kinds);
  BuildNode& emptied = nodes[container];
  emptied.first_child = emptied.last_child = BuildNode::kNone;
  emptied.child_count = 0;
}

void ContainerBuilder::finish_closed_children(std::uint32_t parent, std::size_t end) {
  Trace& trace = parser.trace;
  // What finishing records goes aside, to follow the records of the lines still to come.
  std::swap(trace.syntax, late_syntax_);
  std::swap(trace.unclosed, late_unclosed_);
  std::vector<FinishFrame>& frames = finish_frames_;
  frames.clear();
  frames.emplace_back(parent, end).next = nodes[parent].first_child;
  if (nodes[parent].tag == BuildTag::List)
    frames.back().items.reserve(nodes[parent].child_count);
  else
    frames.back().out.reserve(nodes[parent].child_count);
  run_finish();
  std::swap(trace.syntax, late_syntax_);
  std::swap(trace.unclosed, late_unclosed_);
}

void ContainerBuilder::stream_closed_items(std::uint32_t list_node) {
  ListStream& s = list_stream_;
  if (record_syntax) collect_edit_regions(parser.trace, list_node, line);
  finish_closed_children(list_node, line);
  FinishFrame& bottom = finish_frames_.back();
  s.loose = s.loose || bottom.loose;
  s.rules_below = s.rules_below || bottom.rules_below;
  std::vector<DraftListItem> items = std::move(bottom.items);
  finish_frames_.pop_back();
  drop_children(list_node);

  const bool ordered = get<build::List>(kind(list_node)).ordered;
  for (DraftListItem& item : items) {
    if (parser.mode == 0 || ordered || !s.items.empty() ||
        (parser.options.implicit_figures && may_hold_figure(item.children))) {
      make_stream_room(s.items, 1);
      s.items.push_back(std::move(item));
    } else {
      stream_item(item);
    }
  }
}

void ContainerBuilder::stream_item(DraftListItem& item) {
  // The item's runs are decided now, all but the joining of its paragraphs, which the list's
  // tightness decides at its end: the paragraphs that would join are noted.
  ListStream& s = list_stream_;
  enforce_item(item.children);
  if (!s.spans) s.spans = std::make_unique<StreamedSpans>(StreamedSpans{{BlockSpan()}, {}});
  std::vector<BlockSpan>& spans = s.spans->spans;
  make_stream_room(spans, span_count(item.children));
  for (std::size_t c = 0; c < item.children.size(); ++c) {
    if (c > 0 && keeps_span(parser.mode, "paragraph") &&
        std::holds_alternative<draft::Paragraph>(item.children[c - 1].block) &&
        std::holds_alternative<draft::Paragraph>(item.children[c].block))
      s.spans->joins.push_back(static_cast<std::uint32_t>(spans.size()));
    draft_spans(std::span<Draft>(&item.children[c], 1), 1, spans, parser.mode);
  }
}

void ContainerBuilder::begin_quote_child(std::size_t start) {
  QuoteStream& s = quote_stream_;
  const std::uint32_t quote = s.quote;
  if (!worth_streaming(quote)) return;
  if (record_syntax) collect_edit_regions(parser.trace, quote, start, "> ");
  finish_closed_children(quote, start);
  Drafts& out = finish_frames_.back().out;
  if (parser.mode == 0)
    make_stream_room(s.drafts, out.size());
  else if (s.drafts.capacity() - s.drafts.size() < out.size())
    s.drafts.reserve(std::max(2 * s.drafts.size(), s.drafts.size() + out.size()));
  for (Draft& d : out) {
    if (parser.mode != 0) s.scan.read(d.block);
    s.drafts.push_back(std::move(d));
  }
  finish_frames_.pop_back();
  drop_children(quote);
  if (parser.mode != 0 && !s.waits) take_decided_quote_children();
}

void ContainerBuilder::take_decided_quote_children() {
  QuoteStream& s = quote_stream_;
  std::size_t n = std::min(s.drafts.size(), s.scan.decided() - s.taken);
  if (parser.options.implicit_figures)
    for (std::size_t k = 0; k < n; ++k)
      if (may_hold_figure(std::span<Draft>(&s.drafts[k], 1))) {
        n = k;
        s.waits = true;
      }
  if (n == 0) return;
  const std::size_t m = enforce_front(s.drafts, n, s.taken, s.scan);
  s.taken += n;
  if (!s.spans) s.spans = std::make_unique<StreamedSpans>(StreamedSpans{{BlockSpan()}, {}});
  std::span<Draft> front(s.drafts.data(), m);
  make_stream_room(s.spans->spans, span_count(front));
  draft_spans(front, 1, s.spans->spans, parser.mode);
  s.drafts.erase(s.drafts.begin(), s.drafts.begin() + static_cast<std::ptrdiff_t>(m));
}

void ContainerBuilder::take_streamed_quote(Drafts& children, std::unique_ptr<StreamedSpans>& spans,
                                           bool& enforced) {
  QuoteStream& s = quote_stream_;
  if (s.drafts.empty() && !s.spans && s.taken == 0) {  // none went early: a small quote
    s.quote = BuildNode::kNone;
    return;
  }
  {
    s.drafts.reserve(s.drafts.size() + children.size());
    for (Draft& d : children) {
      if (parser.mode != 0) s.scan.read(d.block);
      s.drafts.push_back(std::move(d));
    }
    children = std::move(s.drafts);
  }
  if (parser.mode != 0) {
    // Every line is read: the rules decide the rest, figures aside, whose children wait decided.
    s.scan.end();
    s.drafts = std::move(children);
    if (!s.waits) take_decided_quote_children();
    enforce_front(s.drafts, s.drafts.size(), s.taken, s.scan);
    children = std::move(s.drafts);
    spans = std::move(s.spans);
    enforced = true;
  }
  s = QuoteStream();
}

void ContainerBuilder::take_streamed(std::uint32_t list_node, std::vector<DraftListItem>& items,
                                     bool& loose, bool& rules_below, std::unique_ptr<StreamedSpans>& spans) {
  ListStream& s = list_stream_;
  s.list = BuildNode::kNone;
  rules_below = rules_below || s.rules_below;
  s.rules_below = false;
  if (s.items.empty() && !s.spans && !s.loose) return;  // none went early: a small list
  loose = loose || s.loose;
  spans = std::move(s.spans);
  if (!s.items.empty()) {
    s.items.reserve(s.items.size() + items.size());
    for (DraftListItem& item : items) s.items.push_back(std::move(item));
    items = std::move(s.items);
  }
  s.items = std::vector<DraftListItem>();
  s.list = BuildNode::kNone;
  s.loose = false;
}

void ContainerBuilder::add_late_records_now(Trace& trace) {
  if (!late_syntax_.empty()) {
    trace.syntax.insert(trace.syntax.end(), late_syntax_.begin(), late_syntax_.end());
    late_syntax_ = {};
  }
  if (!late_unclosed_.empty()) {
    for (UnclosedRecord& u : late_unclosed_) trace.unclosed.push_back(std::move(u));
    late_unclosed_.clear();
  }
}

}  // namespace vedavi::block
