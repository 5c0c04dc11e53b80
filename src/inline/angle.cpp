// Angle-bracket constructs: autolinks with a scheme, e-mail autolinks, HTML comments and raw
// inline HTML tags.
#include "inline/angle.h"

#include <algorithm>
#include <string>

#include "block/html.h"
#include "inline/autolink.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {
namespace inl {
namespace {

constexpr std::size_t kAngleLimit = 1025;

bool is_ws(std::string_view s, std::size_t i, std::size_t* len) {
  const utf8::Decoded d = utf8::decode(s, i);
  *len = d.len;
  return unicode::is_white_space(d.cp);
}

std::size_t skip_ws(std::string_view s, std::size_t i) {
  std::size_t len = 0;
  while (i < s.size() && is_ws(s, i, &len)) i += len;
  return i;
}

bool is_scheme(std::string_view s) {
  if (s.size() < 2 || s.size() > 32 || !scan::is_ascii_alpha(s[0])) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return scan::is_ascii_alnum(c) || c == '+' || c == '-' || c == '.';
  });
}

bool is_uri_rest(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    // An ASCII byte is a whole character, and ASCII white space lies below "!".
    const auto byte = static_cast<unsigned char>(s[i]);
    if (byte < 0x80) {
      if (byte < 0x21 || byte == 0x7F || byte == '<' || byte == '>') return false;
      ++i;
      continue;
    }
    const utf8::Decoded d = utf8::decode(s, i);
    if (d.cp < 0x21 || d.cp == 0x7F || d.cp == '<' || d.cp == '>' || unicode::is_white_space(d.cp))
      return false;
    i += d.len;
  }
  return true;
}

std::optional<InlineMatch> autolink_at(std::string_view text, std::size_t p, std::size_t window_end,
                                       AngleMemo* memo) {
  const std::size_t q = memo ? memo->next_gt(text, p + 1) : std::min(text.find('>', p + 1), text.size());
  if (q >= window_end || q - p > 1024) return std::nullopt;
  const std::string_view inner = text.substr(p + 1, q - p - 1);
  const std::size_t colon = inner.find(':');
  if (colon != std::string_view::npos && colon >= 1 && is_scheme(inner.substr(0, colon)) &&
      is_uri_rest(inner.substr(colon + 1))) {
    // The target and the text are one copy of the address.
    const Str url(inner);
    return InlineMatch{Inline(Inline::Autolink{url, url, false}), q + 1};
  }
  if (is_email(inner)) {
    Str url("mailto:");
    url += inner;
    return InlineMatch{Inline(Inline::Autolink{url, Str::borrowed(url.substr(7)), true}), q + 1};
  }
  return std::nullopt;
}

bool tag_name_ok(std::string_view name) {
  std::string lowered(name);
  for (char& c : lowered)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return block::is_md_html_tag(lowered);
}

bool is_attr_name_start(char c) { return scan::is_ascii_alpha(c) || c == '_' || c == ':'; }
bool is_attr_name_char(char c) {
  return scan::is_ascii_alnum(c) || c == '_' || c == '.' || c == ':' || c == '-';
}

// The attribute part of an opening tag, between the name and the ">".
bool attributes_ok(std::string_view a) {
  std::size_t i = 0;
  for (;;) {
    const std::size_t before = i;
    i = skip_ws(a, i);
    if (i >= a.size()) return true;
    if (a[i] == '/') return i + 1 == a.size();
    if (i == before) return false;
    if (!is_attr_name_start(a[i])) return false;
    ++i;
    while (i < a.size() && is_attr_name_char(a[i])) ++i;
    if (i >= a.size()) return true;
    const std::size_t name_end = i;
    i = skip_ws(a, i);
    if (i >= a.size()) return true;
    if (a[i] != '=') {
      i = name_end;
      continue;
    }
    i = skip_ws(a, i + 1);
    if (i >= a.size()) return false;
    if (a[i] == '"' || a[i] == '\'') {
      const std::size_t close = a.find(a[i], i + 1);
      if (close == std::string_view::npos) return false;
      i = close + 1;
      continue;
    }
    const std::size_t value_start = i;
    std::size_t len = 0;
    while (i < a.size() && !is_ws(a, i, &len)) {
      const char c = a[i];
      if (c == '"' || c == '\'' || c == '<' || c == '=' || c == '>' || c == '`') break;
      i += len;
    }
    if (i == value_start) return false;
  }
}

std::optional<InlineMatch> html_at(std::string_view text, std::size_t p, std::size_t window_end,
                                   AngleMemo* memo) {
  const std::string_view window = text.substr(0, window_end);
  const std::size_t n = window_end - p;
  auto result = [&](std::size_t e) -> std::optional<InlineMatch> {
    if (e - p >= kAngleLimit) return std::nullopt;
    return InlineMatch{Inline(Inline::HtmlInline{Str(text.substr(p, e - p))}), e};
  };
  if (n >= 4 && window.substr(p, 4) == "<!--") {
    // Where an HTML5 tokenizer ends the comment; what follows is text again.
    std::optional<std::size_t> end = scan::empty_comment_end(window, p);
    if (!end && memo) end = memo->next_comment_close(text, p + 4);
    if (!end && !memo) end = scan::html_comment_end(text, p);
    if (!end || *end > window_end) return std::nullopt;
    return result(*end);
  }
  if (n >= 2 && window[p + 1] == '/') {
    const std::size_t name_start = p + 2;
    const auto len = html_tag_name_end(window.substr(name_start));
    if (!len || !tag_name_ok(window.substr(name_start, *len))) return std::nullopt;
    std::size_t i = name_start + *len;
    if (i >= window_end) return std::nullopt;
    i = skip_ws(window, i);
    if (i >= window_end || window[i] != '>') return std::nullopt;
    return result(i + 1);
  }
  const std::size_t name_start = p + 1;
  const auto len = html_tag_name_end(window.substr(name_start));
  if (!len || !tag_name_ok(window.substr(name_start, *len))) return std::nullopt;
  // The first ">" outside quotes; a ">" must exist at all within the window.
  if (memo && memo->next_gt(text, name_start) >= window_end) return std::nullopt;
  char quote = 0;
  std::size_t gt = std::string_view::npos;
  for (std::size_t i = name_start; i < window_end; ++i) {
    const char c = window[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      gt = i;
      break;
    }
  }
  if (gt == std::string_view::npos) return std::nullopt;
  if (!attributes_ok(window.substr(name_start + *len, gt - name_start - *len))) return std::nullopt;
  return result(gt + 1);
}

}  // namespace

std::size_t AngleMemo::next_gt(std::string_view text, std::size_t from) {
  if (!gt_.covers(from)) {
    const std::size_t pos = text.find('>', from);
    gt_.begin = gt_.end = pos == std::string_view::npos ? text.size() : pos;
    gt_.from = from;
    gt_.valid = true;
  }
  return gt_.begin;
}

std::optional<std::size_t> AngleMemo::next_comment_close(std::string_view text, std::size_t from) {
  if (!comment_close_.covers(from)) {
    const auto close = scan::find_comment_close(text, from);
    comment_close_.begin = close ? close->begin : text.size();
    comment_close_.end = close ? close->end : text.size();
    comment_close_.found = close.has_value();
    comment_close_.from = from;
    comment_close_.valid = true;
  }
  if (!comment_close_.found) return std::nullopt;
  return comment_close_.end;
}

std::optional<std::size_t> html_tag_name_end(std::string_view s) {
  if (s.empty() || !scan::is_ascii_alpha(s[0])) return std::nullopt;
  std::size_t i = 1;
  while (i < s.size() && (scan::is_ascii_alnum(s[i]) || s[i] == '-')) ++i;
  return i;
}

bool is_inline_html_tag(std::string_view lowered_name) { return block::is_md_html_tag(lowered_name); }

std::optional<InlineMatch> angle_or_html(std::string_view text, std::size_t p, AngleMemo* memo) {
  std::size_t window_end = std::min(text.size(), p + kAngleLimit);
  while (window_end < text.size() && !utf8::is_boundary(text, window_end)) --window_end;
  if (auto link = autolink_at(text, p, window_end, memo)) return link;
  return html_at(text, p, window_end, memo);
}

}  // namespace inl
}  // namespace vedavi
