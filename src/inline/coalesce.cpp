// Coalescing inline lists, and the event listing of a text.
#include <algorithm>

#include "inline/parse.h"
#include "model/arena.h"

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
// attributes put in their place, and theirs in turn: a whole chain of such strongs, each directly
// inside the last, is flattened at once from its outermost strong. Flattening each level into the
// next would copy the growing content once per level.
void flatten_strong(Inlines& children) {
  if (std::none_of(children.begin(), children.end(), is_plain_strong)) return;
  Inlines out;
  out.reserve(children.size());
  struct Level {
    Inlines* list;
    std::size_t next;
  };
  std::vector<Level> levels{{&children, 0}};
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.list->size()) {
      levels.pop_back();
      continue;
    }
    Inline& child = (*level.list)[level.next++];
    if (is_plain_strong(child)) {
      levels.push_back(Level{child.children(), 0});
    } else {
      push_coalesced(out, std::move(child));
    }
  }
  children = std::move(out);
}

}  // namespace

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
    const bool in_plain_strong = frame.owner && is_plain_strong(*frame.owner);
    // A strong directly inside another is flattened with the outermost one of its chain.
    const bool flattened_later =
        in_plain_strong && stack.size() >= 2 && stack[stack.size() - 2].owner &&
        is_plain_strong(*stack[stack.size() - 2].owner);
    if (!flattened_later) {
      if (in_plain_strong) flatten_strong(*frame.list);
      merge_texts(*frame.list);
    }
    stack.pop_back();
  }
  return list;
}

void sort_events(std::vector<InlineEvent>& events) {
  std::stable_sort(events.begin(), events.end(), [](const InlineEvent& a, const InlineEvent& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
}

std::vector<InlineEvent> inline_events(std::string_view text, const InlineContext& ctx) {
  std::vector<InlineEvent> events;
  const InlineContext own{ctx.options, ctx.links, ctx.footnotes, &events, ctx.buffers};
  // Only the events are kept: the tree goes with an arena of its own, not with the caller's.
  ArenaScope scratch{ArenaScope::Fresh{}};
  parse_inner(text, own);
  sort_events(events);
  return events;
}

std::vector<InlineEvent> inline_events(std::string_view text, const Options& options,
                                       const LinkMap& links, const FootnoteLabels& footnotes) {
  return inline_events(text, InlineContext{options, links, footnotes});
}

}  // namespace vedavi::inl
