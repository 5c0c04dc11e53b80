// Attribute blocks after inlines and reference variants.
#include "inline/attrs.h"

#include <algorithm>
#include <string>

#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

bool is_quote(char c) { return c == '"' || c == '\''; }

// The "}" that ends a brace group, scanning from `from` outside quotes: a character after a
// backslash is skipped and a quote hides braces up to its closing quote.
std::optional<std::size_t> scan_group_end(std::string_view text, std::size_t from) {
  bool escaped = false;
  char quote = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (escaped) {
      escaped = false;
    } else if (c == '\\') {
      escaped = true;
    } else if (quote) {
      if (c == quote) quote = 0;
    } else if (is_quote(c)) {
      quote = c;
    } else if (c == '}') {
      return i;
    }
  }
  return std::nullopt;
}

}  // namespace

template <class Pred>
std::size_t BraceMemo::NextOf::find(std::string_view text, std::size_t at, Pred pred) {
  if (!valid || at < from || at > found) {
    std::size_t i = at;
    while (i < text.size()) {
      const utf8::Decoded d = utf8::decode(text, i);
      if (pred(d.cp)) break;
      i += d.len;
    }
    from = at;
    found = i;
    valid = true;
  }
  return found;
}

bool BraceMemo::may_be_attr_body(std::string_view text, std::size_t open, std::size_t close) {
  const std::size_t first = non_space_.find(text, open + 1, [](char32_t c) { return !unicode::is_white_space(c); });
  if (open + 1 < close && text[open + 1] == ':') return true;  // the full parse decides
  if (first >= close) return false;
  if (text[first] == '#' || text[first] == '.') return true;
  const std::size_t word_end = space_.find(text, first, [](char32_t c) { return unicode::is_white_space(c); });
  const std::size_t eq = equals_.find(text, first, [](char32_t c) { return c == '='; });
  return eq > first && eq < word_end && eq < close;
}

std::optional<std::size_t> BraceMemo::next_close(std::string_view text, std::size_t from) {
  if (!close_valid_ || from < close_from_ || from > close_found_) {
    const std::size_t pos = text.find('}', from);
    close_found_ = pos == std::string_view::npos ? text.size() : pos;
    close_from_ = from;
    close_valid_ = true;
  }
  if (close_found_ >= text.size()) return std::nullopt;
  return close_found_;
}

std::optional<std::size_t> BraceMemo::group_end(std::string_view text, std::size_t scan_from) {
  const std::size_t n = text.size();
  if (n >= kNoEnd) return scan_group_end(text, scan_from);  // too long for the table
  if (!built_) {
    // Most groups are short: a bounded direct scan answers them without the table.
    constexpr std::size_t kDirect = 64;
    const std::string_view window = text.substr(0, std::min(n, scan_from + kDirect));
    const auto end = scan_group_end(window, scan_from);
    if (end || window.size() == n) return end;
  }
  if (!built_) {
    built_ = true;
    for (auto& e : ends_) e.assign(n + 2, kNoEnd);
    for (std::size_t i = n; i-- > 0;) {
      const char c = text[i];
      for (int state = 0; state < 3; ++state) {
        std::uint32_t& out = ends_[state][i];
        if (c == '\\') {
          out = ends_[state][i + 2];
        } else if (state != 0) {
          const char quote = state == 1 ? '\'' : '"';
          out = ends_[c == quote ? 0 : state][i + 1];
        } else if (c == '\'') {
          out = ends_[1][i + 1];
        } else if (c == '"') {
          out = ends_[2][i + 1];
        } else if (c == '}') {
          out = static_cast<std::uint32_t>(i);
        } else {
          out = ends_[0][i + 1];
        }
      }
    }
  }
  if (scan_from >= n) return std::nullopt;
  const std::uint32_t end = ends_[0][scan_from];
  if (end == kNoEnd) return std::nullopt;
  return end;
}

std::optional<TrailingAttr> trailing_attr(std::string_view text) {
  return trailing_attr_at(text, 0, nullptr, true);
}

std::optional<TrailingAttr> trailing_attr_at(std::string_view whole, std::size_t offset,
                                             BraceMemo* memo, bool colon_always) {
  const std::string_view text = whole.substr(offset);
  if (text.empty() || text.front() != '{') return std::nullopt;
  if (!memo) {
    if (colon_always && text.size() > 2 && text[1] == ':') {
      if (auto close = scan_group_end(text, 2))
        return TrailingAttr{attrs::parse_attrs_body(text.substr(2, *close - 2)), *close + 1};
    }
    auto group = attrs::parse_braced_attr(text);
    if (!group) return std::nullopt;
    return TrailingAttr{std::move(group->attr), group->consumed};
  }
  if (colon_always && text.size() > 2 && text[1] == ':') {
    // The colon form scans like a plain group, from after the colon.
    if (auto close = memo->group_end(whole, offset + 2)) {
      const std::size_t c = *close - offset;
      return TrailingAttr{attrs::parse_attrs_body(text.substr(2, c - 2)), c + 1};
    }
  }
  if (!memo->next_close(whole, offset + 1)) return std::nullopt;
  const auto close = memo->group_end(whole, offset + 1);
  if (!close || !memo->may_be_attr_body(whole, offset, *close)) return std::nullopt;
  auto group = attrs::parse_braced_attr(text.substr(0, *close - offset + 1));
  if (!group) return std::nullopt;
  return TrailingAttr{std::move(group->attr), group->consumed};
}

bool accepts_attrs(InlineKind kind) {
  switch (kind) {
    case InlineKind::Emph: case InlineKind::Strong: case InlineKind::Strike:
    case InlineKind::Superscript: case InlineKind::Subscript: case InlineKind::Highlight:
    case InlineKind::Code: case InlineKind::Link: case InlineKind::Image:
    case InlineKind::MathInline: case InlineKind::Span:
      return true;
    default:
      return false;
  }
}

void apply_ref_variant(Inline& item, std::string_view variant) {
  // A span of cross-references hands the variant to each of its links; those are links, so the
  // walk goes one level deep only.
  if (auto* span = item.get_if<Inline::Span>()) {
    if (span->attr.find_pair("data-refs")) {
      for (Inline& child : span->children) {
        if (child.kind() != InlineKind::Span) apply_ref_variant(child, variant);
        else if (Attr* a = child.attr()) a->set_pair("ref", variant);
      }
      return;
    }
    span->attr.set_pair("ref", variant);
    return;
  }
  if (auto* link = item.get_if<Inline::Link>()) {
    for (auto& [key, value] : link->attr.pairs_mut()) {
      if (key == "data-ref") {
        if (!value.empty() && !variant.empty()) value += ' ';
        value += variant;
        return;
      }
    }
    link->attr.set_pair("ref", variant);
    return;
  }
  if (accepts_attrs(item.kind())) item.attr()->set_pair("ref", variant);
}

}  // namespace vedavi::inl
