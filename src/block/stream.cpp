// A top-level list finished an item at a time while its lines are read, so that a list of a
// million items never stands whole as a build tree beside the drafts made from it.
#include <utility>

#include "block/build.h"
#include "block/lists.h"
#include "block/parse.h"

namespace vedavi::block {

void ContainerBuilder::mark_item_start() {
  ListStream& s = list_stream_;
  s.nodes = static_cast<std::uint32_t>(nodes.size());
  s.lines = static_cast<std::uint32_t>(paragraph_lines.size());
  std::size_t k = 0;
  std::apply([&](auto&... table) { ((s.tables[k++] = static_cast<std::uint32_t>(table.size())), ...); },
             kinds);
}

void ContainerBuilder::stream_closed_item(std::uint32_t list_node) {
  ListStream& s = list_stream_;
  if (s.list != list_node) {
    s.items.clear();
    s.spans.reset();
    s.loose = false;
    s.list = list_node;
  }
  BuildNode& list = nodes[list_node];
  // The item began at the mark, and every node after it is its own: the earlier items went.
  if (list.first_child != s.nodes || list.last_child != s.nodes) return;
  Trace& trace = parser.trace;
  if (record_syntax) collect_edit_regions(trace, list_node, line);

  // What finishing records goes aside, to follow the records of the lines still to come.
  std::swap(trace.syntax, late_syntax_);
  std::swap(trace.unclosed, late_unclosed_);
  std::vector<FinishFrame>& frames = finish_frames_;
  frames.clear();
  frames.emplace_back(list_node, line).next = list.first_child;
  run_finish();
  std::swap(trace.syntax, late_syntax_);
  std::swap(trace.unclosed, late_unclosed_);
  FinishFrame& bottom = frames.back();
  s.loose = s.loose || bottom.loose;
  DraftListItem item = std::move(bottom.items.front());
  frames.pop_back();

  // The item's nodes, table entries and paragraph lines are the tails of their lists.
  nodes.erase(nodes.begin() + s.nodes, nodes.end());
  paragraph_lines.erase(paragraph_lines.begin() + s.lines, paragraph_lines.end());
  std::size_t k = 0;
  std::apply([&](auto&... table) { ((table.erase(table.begin() + s.tables[k++], table.end())), ...); }, kinds);
  BuildNode& emptied = nodes[list_node];
  emptied.first_child = emptied.last_child = BuildNode::kNone;
  emptied.child_count = 0;

  const bool ordered = get<build::List>(kind(list_node)).ordered;
  if (parser.mode == 0 || ordered || !s.items.empty() ||
      (parser.options.implicit_figures && may_hold_figure(item.children))) {
    reserve_at_rate(s.items, 1, line, parser.lines.size());
    s.items.push_back(std::move(item));
    return;
  }
  // The item's runs are decided now, all but the joining of its paragraphs, which the list's
  // tightness decides at its end: the paragraphs that would join are noted.
  enforce_item(item.children);
  if (!s.spans) s.spans = std::make_unique<StreamedSpans>();
  std::vector<BlockSpan>& spans = s.spans->spans;
  reserve_at_rate(spans, span_count(item.children), line, parser.lines.size());
  for (std::size_t c = 0; c < item.children.size(); ++c) {
    if (c > 0 && std::holds_alternative<draft::Paragraph>(item.children[c - 1].block) &&
        std::holds_alternative<draft::Paragraph>(item.children[c].block))
      s.spans->joins.push_back(static_cast<std::uint32_t>(spans.size()));
    draft_spans(std::span<Draft>(&item.children[c], 1), 1, spans, parser.mode);
  }
}

void ContainerBuilder::take_streamed(std::uint32_t list_node, std::vector<DraftListItem>& items,
                                     bool& loose, std::unique_ptr<StreamedSpans>& spans) {
  ListStream& s = list_stream_;
  if (s.list != list_node) return;
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

void ContainerBuilder::add_late_records(Trace& trace) {
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
