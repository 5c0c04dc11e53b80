// The nesting cap's start- and end-tag rules.
#include "fast5ever/depth.h"

#include <algorithm>
#include <string_view>

namespace fast5ever::depth {

namespace {

bool is_void(std::string_view name) {
  static constexpr std::string_view kVoid[] = {
      "area", "base",  "basefont", "bgsound", "br",   "col",   "embed", "frame",  "hr",
      "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
  return std::find(std::begin(kVoid), std::end(kVoid), name) != std::end(kVoid);
}

// A start tag of one of these closes an open element of the same name before opening its own, so
// repeating the innermost one does not nest.
bool is_implied_sibling(std::string_view name) {
  static constexpr std::string_view kSibling[] = {
      "p",  "li", "dt", "dd", "tr", "td",      "th",    "h1",    "h2",    "h3",
      "h4", "h5", "h6", "caption", "thead", "tbody", "tfoot", "option", "optgroup", "colgroup"};
  return std::find(std::begin(kSibling), std::end(kSibling), name) != std::end(kSibling);
}

}  // namespace

html5::TokenSinkResult DepthCap::process_token(html5::Token& token, std::uint64_t line) {
  if (token.kind == html5::TokenKind::Tag) {
    const bool admitted =
        token.tag.kind == html5::TagKind::Start ? admit_start(token.tag) : admit_end(token.tag);
    if (!admitted) return html5::TokenSinkResult::proceed();
  }
  return inner_.process_token(token, line);
}

bool DepthCap::admit_start(const html5::Tag& tag) {
  if (tag.self_closing && inner_.adjusted_current_node_present_but_not_in_html_namespace()) {
    return true;
  }
  if (is_void(tag.name)) return true;
  if (is_implied_sibling(tag.name) && !open_.empty() && open_.back() == tag.name) return true;
  if (open_.size() < kMaxOpen) {
    open_.push_back(tag.name);
    return true;
  }
  dropped_.push_back(tag.name);
  return false;
}

bool DepthCap::admit_end(const html5::Tag& tag) {
  if (!dropped_.empty() && dropped_.back() == tag.name) {
    dropped_.pop_back();
    return false;
  }
  auto match = std::find(open_.rbegin(), open_.rend(), tag.name);
  if (match != open_.rend()) open_.erase(std::prev(match.base()), open_.end());
  return true;
}

}  // namespace fast5ever::depth
