// Drafts: non-recursive teardown and access to child lists and attributes.
#include "block/draft.h"

#include <cstring>

namespace vedavi::block {

namespace {

bool has_nested(DraftBlock& block) {
  bool nested = false;
  for_each_child_list(block, [&](Drafts& list) { nested = nested || !list.empty(); });
  return nested;
}

// Moves the drafts nested in `d` that have children of their own into `work` and empties its
// child lists; the others are destroyed in place.
void take_children(Draft& d, std::vector<Draft>& work) {
  for_each_child_list(d.block, [&](Drafts& list) {
    for (Draft& c : list)
      if (has_nested(c.block)) work.push_back(std::move(c));
    list.std::vector<Draft>::clear();
  });
}

}  // namespace

Drafts::~Drafts() {
  // Most lists die empty (moved from, or spent): they take no walk at all.
  if (!empty()) clear_keeping_room();
  // The list is empty here: the base's teardown only frees the room, with no loop over drafts
  // and no registers saved for one.
  if (!empty()) __builtin_unreachable();
}

void Drafts::clear_keeping_room() {
  // Nested drafts are moved into one work list before their parent is destroyed, so no draft is
  // destroyed while it still owns a nested list. Drafts without children are destroyed in place.
  std::vector<Draft> work;
  for (Draft& d : *this) take_children(d, work);
  std::vector<Draft>::clear();
  while (!work.empty()) {
    Draft d = std::move(work.back());
    work.pop_back();
    take_children(d, work);
  }
}

std::vector<Drafts*> children_mut(DraftBlock& block) {
  std::vector<Drafts*> out;
  for_each_child_list(block, [&](Drafts& list) { out.push_back(&list); });
  return out;
}

std::size_t span_count(std::span<Draft> drafts) {
  std::size_t count = drafts.size();
  std::vector<Drafts*> work;
  auto push = [&](Drafts& c) {
    count += c.size();
    work.push_back(&c);
  };
  auto visit = [&](Draft& d) {
    if (auto* list = std::get_if<draft::List>(&d.block); list && list->streamed)
      count += list->streamed->spans.size() - 1;
    if (auto* quote = std::get_if<draft::BlockQuote>(&d.block); quote && quote->streamed)
      count += quote->streamed->spans.size() - 1;
    for_each_child_list(d.block, push);
  };
  for (Draft& d : drafts) visit(d);
  while (!work.empty()) {
    Drafts* list = work.back();
    work.pop_back();
    for (Draft& d : *list) visit(d);
  }
  return count;
}

bool may_hold_figure(std::span<Draft> drafts) {
  std::vector<Draft*> work;
  for (Draft& d : drafts) work.push_back(&d);
  while (!work.empty()) {
    Draft* d = work.back();
    work.pop_back();
    if (auto* para = std::get_if<draft::Paragraph>(&d->block); para && para->text.starts_with("![")) return true;
    for_each_child_list(d->block, [&](Drafts& c) {
      for (Draft& child : c) work.push_back(&child);
    });
  }
  return false;
}

Drafts* nth_child_list(DraftBlock& block, std::size_t k) {
  if (!may_nest(block)) return nullptr;
  if (auto* l = std::get_if<draft::List>(&block)) return k < l->items.size() ? &l->items[k].children : nullptr;
  Drafts* only = nullptr;
  if (k == 0) for_each_child_list(block, [&](Drafts& list) { only = &list; });
  return only;
}

namespace {

// Whether `lines`, from the first one's text on, are one stretch of `source` as the paragraph
// text joins them: each line after the first begins at its line's start, one line end after the
// line before it.
bool stands_in_source(std::span<const line::Rest> lines, std::string_view source) {
  const char* begin = source.data();
  const char* end = begin + source.size();
  const auto in_source = [&](std::string_view s) { return s.data() >= begin && s.data() + s.size() <= end; };
  if (source.empty() || !in_source(lines.front().text)) return false;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::string_view before = lines[k - 1].text;
    const std::string_view text = lines[k].text;
    const char* line_end = before.data() + before.size();
    if (text.data() != line_end + 1 || !in_source(text) || *line_end != '\n' ||
        line::trim_start(text).data() != text.data())
      return false;
  }
  return true;
}

}  // namespace

Str paragraph_text(std::span<const line::Rest> lines, std::string_view kept_source) {
  if (lines.empty()) return Str();
  if (stands_in_source(lines, kept_source)) {
    const std::string_view first = line::trim_start(lines.front().text);
    const std::string_view last = lines.back().text;
    const std::string_view whole(first.data(), std::size_t(last.data() + last.size() - first.data()));
    const std::string_view text = line::trim_end(whole);
    return text.empty() ? Str() : Str::borrowed(text);
  }
  std::size_t size = lines.size() - 1;
  for (const line::Rest& l : lines) size += l.text.size();
  char* out = static_cast<char*>(current_arena().allocate(size, 1));
  char* at = out;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k) *at++ = '\n';
    const std::string_view text = line::trim_start(lines[k].text);
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  }
  const std::string_view text = line::trim_end(std::string_view(out, std::size_t(at - out)));
  return text.empty() ? Str() : Str::borrowed(text);
}

attrs::FenceInfo read_fence_info(std::string_view fence_info, Attr&& later) {
  if (fence_info.empty()) return attrs::FenceInfo{std::string(), std::move(later), std::nullopt, false};
  attrs::FenceInfo fi = attrs::parse_fence_info(fence_info);
  fi.attr.merge(later);
  return fi;
}

Attr* draft_attr(DraftBlock& block) {
  return std::visit(
      [](auto& b) -> Attr* {
        using T = std::decay_t<decltype(b)>;
        if constexpr (std::is_same_v<T, draft::Paragraph> ||
                      std::is_same_v<T, draft::Heading> || std::is_same_v<T, draft::BlockQuote> ||
                      std::is_same_v<T, draft::List> || std::is_same_v<T, draft::DefinitionList> ||
                      std::is_same_v<T, draft::CodeBlock> ||
                      std::is_same_v<T, draft::ThematicBreak> ||
                      std::is_same_v<T, draft::Div> || std::is_same_v<T, draft::MathBlock>)
          return &b.attr;
        else if constexpr (std::is_same_v<T, Boxed<draft::Table>> || std::is_same_v<T, Boxed<draft::Figure>>)
          return &b.value().attr;
        else
          return nullptr;
      },
      block);
}

}  // namespace vedavi::block
