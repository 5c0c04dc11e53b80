// Alt texts of images, each enclosing image read once together with the images inside it.
#include "inline/alt_text.h"

#include <algorithm>
#include <span>
#include <vector>

#include "render/render.h"

namespace vedavi::inl {
namespace {

bool is_image(const InlineEvent& e) {
  return e.is_image && (e.kind == InlineEventKind::Link || e.kind == InlineEventKind::RefLink);
}

// The plain text of an inline list, and that of every image in it, in pre-order (the order of
// the images' starts). Each image's text is built once and appended to the image around it, so
// the work is the size of the texts, however deep the images nest.
struct PlainTexts {
  std::string whole;
  std::vector<std::string> images;
};

PlainTexts plain_texts(const Inlines& list) {
  PlainTexts out;
  struct Level {
    std::span<const Inline> rest;
    std::size_t image = 0;  // the image whose children these are, when `is_image`
    bool is_image = false;
  };
  std::vector<Level> stack{{std::span<const Inline>(list)}};
  std::vector<std::string> texts{std::string()};  // the open images' texts, the whole first
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.rest.empty()) {
      if (level.is_image) {
        std::string text = std::move(texts.back());
        texts.pop_back();
        texts.back() += text;
        out.images[level.image] = std::move(text);
      }
      stack.pop_back();
      continue;
    }
    const Inline& node = level.rest.front();
    level.rest = level.rest.subspan(1);
    if (const auto* image = node.get_if<Inline::Image>()) {
      stack.push_back(Level{std::span<const Inline>(image->children), out.images.size(), true});
      out.images.emplace_back();
      texts.emplace_back();
    } else if (const Inlines* children = node.children()) {
      stack.push_back(Level{std::span<const Inline>(*children)});
    } else {
      render::append_plain(std::span<const Inline>(&node, 1), texts.back());
    }
  }
  out.whole = std::move(texts.front());
  return out;
}

// The starts of the image events that left an image in the result, in order: the text of a
// cross-reference's brackets is taken as written, so the images read inside it are dropped.
std::vector<std::size_t> kept_image_starts(std::span<const InlineEvent> sorted_events) {
  std::vector<std::size_t> starts;
  std::size_t xref_end = 0;
  for (const InlineEvent& e : sorted_events) {
    if (e.kind == InlineEventKind::Xref) xref_end = std::max(xref_end, e.end);
    if (is_image(e) && e.start >= xref_end) starts.push_back(e.start);
  }
  return starts;
}

}  // namespace

std::string AltTexts::alt_of(const InlineEvent& image) {
  if (auto known = known_.find(image.start); known != known_.end()) {
    std::string alt = std::move(known->second);
    known_.erase(known);
    return alt;
  }
  const std::size_t begin = image.start + 2;
  if (image.bracket_end < begin + 1 || image.bracket_end > text_.size()) return {};
  std::vector<InlineEvent> events;
  const InlineContext ctx{ctx_.options, ctx_.links, ctx_.footnotes, &events};
  const Inlines list = coalesce(parse_inner(text_.substr(begin, image.bracket_end - 1 - begin), ctx));
  sort_events(events);
  PlainTexts plain = plain_texts(list);
  // Should a nested image fail to pair up, it is read on its own when its turn comes.
  const std::vector<std::size_t> starts = kept_image_starts(events);
  if (starts.size() == plain.images.size())
    for (std::size_t k = 0; k < starts.size(); ++k) known_[begin + starts[k]] = std::move(plain.images[k]);
  return std::move(plain.whole);
}

}  // namespace vedavi::inl
