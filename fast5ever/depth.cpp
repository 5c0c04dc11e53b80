// The nesting cap's start- and end-tag rules.
#include "fast5ever/depth.h"

#include <algorithm>
#include <string_view>

namespace fast5ever::depth {

namespace {

// By length first: within a length the comparisons have a constant size and compile to a few
// loads, where a search of the whole list called memcmp for every name of the same length.
bool is_void(std::string_view name) {
  switch (name.size()) {
    case 2: return name == "br" || name == "hr";
    case 3: return name == "col" || name == "img" || name == "wbr";
    case 4: return name == "area" || name == "base" || name == "link" || name == "meta";
    case 5:
      return name == "embed" || name == "frame" || name == "input" || name == "param" ||
             name == "track";
    case 6: return name == "keygen" || name == "source";
    case 7: return name == "bgsound";
    case 8: return name == "basefont";
    default: return false;
  }
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
  // The innermost name first: it rarely matches, and then the list is not searched.
  if (!open_.empty() && open_.back() == tag.name && is_implied_sibling(tag.name)) return true;
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
