// Coalescing inline lists, and the event listing of a text.
#include <algorithm>

#include "inline.h"

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

// A strong without attributes takes the children of its strong children without attributes.
Inlines flatten_strong(Inlines children) {
  Inlines out;
  out.reserve(children.size());
  for (Inline& child : children) {
    if (is_plain_strong(child)) {
      for (Inline& grandchild : *child.children()) push_coalesced(out, std::move(grandchild));
    } else {
      push_coalesced(out, std::move(child));
    }
  }
  return out;
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
  // One frame per container being rebuilt, innermost last: no recursion on nesting depth.
  struct Frame {
    Inlines input;
    std::size_t next = 0;
    Inlines output;
    Inline parent;  // the container whose children these are; unused in the bottom frame
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{std::move(list), 0, {}, {}});
  stack.back().output.reserve(stack.back().input.size());
  for (;;) {
    Frame& frame = stack.back();
    if (frame.next < frame.input.size()) {
      Inline item = std::move(frame.input[frame.next++]);
      if (coalesces_children(item.kind())) {
        Inlines children = std::move(*item.children());
        stack.push_back(Frame{std::move(children), 0, {}, std::move(item)});
      } else {
        push_coalesced(frame.output, std::move(item));
      }
      continue;
    }
    if (stack.size() == 1) return std::move(frame.output);
    Inline parent = std::move(frame.parent);
    Inlines children = std::move(frame.output);
    stack.pop_back();
    if (is_plain_strong(parent)) children = flatten_strong(std::move(children));
    *parent.children() = std::move(children);
    push_coalesced(stack.back().output, std::move(parent));
  }
}

std::vector<InlineEvent> inline_events(std::string_view text, const Options& options,
                                       const LinkMap& links, const FootnoteLabels& footnotes) {
  std::vector<InlineEvent> events;
  const InlineContext ctx{options, links, footnotes, &events};
  coalesce(parse_inner(text, ctx));
  std::stable_sort(events.begin(), events.end(), [](const InlineEvent& a, const InlineEvent& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
  return events;
}

}  // namespace vedavi::inl
