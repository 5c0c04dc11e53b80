// Coalescing inline lists, and the event listing of a text.
#include <algorithm>

#include "inline/parse.h"

namespace vedavi::inl {
namespace {

bool coalesces_children(InlineKind kind) {
  switch (kind) {
    case InlineKind::Emph: case InlineKind::Strong: case InlineKind::Strike:
    case InlineKind::Highlight: case InlineKind::Link: case InlineKind::Image:
    case InlineKind::Span:
      return true;
    default:
      return false;  // a note's content is kept as it is
  }
}

bool is_plain_strong(const Inline& item) {
  const auto* strong = item.get_if<Inline::Strong>();
  return strong && strong->attr.empty();
}

// Merges each run of adjacent texts into its first text, in place.
void merge_texts(Inlines& list) {
  std::size_t w = 0;
  for (std::size_t r = 0; r < list.size(); ++r) {
    if (w > 0) {
      auto* last = list[w - 1].get_if<Inline::Text>();
      const auto* text = last ? list[r].get_if<Inline::Text>() : nullptr;
      if (text) {
        last->text += text->text;
        continue;
      }
    }
    if (w != r) list[w] = std::move(list[r]);
    ++w;
  }
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(w), list.end());
}

// The children of a strong without attributes, with the children of its strong children without
// attributes put in their place. Those were finished first, so they hold no such strong.
void flatten_strong(Inlines& children) {
  if (std::none_of(children.begin(), children.end(), is_plain_strong)) return;
  Inlines out;
  out.reserve(children.size());
  for (Inline& child : children) {
    if (is_plain_strong(child)) {
      for (Inline& grandchild : *child.children()) out.push_back(std::move(grandchild));
    } else {
      out.push_back(std::move(child));
    }
  }
  children = std::move(out);
}

}  // namespace

void push_coalesced(Inlines& list, Inline&& item) {
  if (auto* text = item.get_if<Inline::Text>(); text && !list.empty()) {
    if (auto* last = list.back().get_if<Inline::Text>()) {
      last->text += text->text;
      return;
    }
  }
  list.push_back(std::move(item));
}

Inlines coalesce(Inlines list) {
  // Lists are finished in place after their containers' children (post-order), one frame per
  // list being walked, innermost last: no recursion on nesting depth, no node moved twice.
  struct Frame {
    Inlines* list;
    std::size_t next;
    const Inline* owner;  // the container of `list`; null for the top list
  };
  const bool flat = std::none_of(list.begin(), list.end(), [](const Inline& item) {
    return coalesces_children(item.kind()) && !item.children()->empty();
  });
  if (flat) {  // the common leaf: one level, no walk to set up
    merge_texts(list);
    return list;
  }
  // The walk's stack keeps its room from one list to the next on this thread.
  thread_local std::vector<Frame> stack;
  stack.clear();
  stack.push_back(Frame{&list, 0, nullptr});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.list->size()) {
      Inline& item = (*frame.list)[frame.next++];
      if (coalesces_children(item.kind()) && !item.children()->empty())
        stack.push_back(Frame{item.children(), 0, &item});
      continue;
    }
    if (frame.owner && is_plain_strong(*frame.owner)) flatten_strong(*frame.list);
    merge_texts(*frame.list);
    stack.pop_back();
  }
  return list;
}

std::vector<InlineEvent> inline_events(std::string_view text, const Options& options,
                                       const LinkMap& links, const FootnoteLabels& footnotes) {
  std::vector<InlineEvent> events;
  const InlineContext ctx{options, links, footnotes, &events};
  parse_inner(text, ctx);
  std::stable_sort(events.begin(), events.end(), [](const InlineEvent& a, const InlineEvent& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
  return events;
}

}  // namespace vedavi::inl
