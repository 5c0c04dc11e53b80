// Inline link destinations and titles, and links built from definitions.
#include "inline/link.h"

#include "inline/byte_scan.h"
#include "inline/text.h"

namespace vedavi::inl {
namespace {

bool is_link_space(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// The first byte that matters inside "(...)" after a link's text, and in a destination not in
// angle brackets: the scans jump over everything else.
std::size_t next_paren_content_stop(std::string_view text, std::size_t from, std::size_t to) {
  return find_any_of<'\\', '<', '(', ')'>(text, from, to);
}
std::size_t next_destination_stop(std::string_view text, std::size_t from, std::size_t to) {
  return find_any_of<'\\', '\t', '\n', '\r', ' ', '(', ')'>(text, from, to);
}

}  // namespace

std::size_t ParenMemo::angle_stop(std::string_view text, std::size_t from) {
  // Whether a byte is escaped depends only on the backslashes right before it, never on where a
  // search started (every search starts after "(" or "<"), so one answer serves every start up to
  // it.
  if (!valid_ || from < from_ || from > found_) {
    bool escaped = false;
    std::size_t i = from;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '>' || c == '\n') {
        break;
      }
    }
    from_ = from;
    found_ = i;
    valid_ = true;
  }
  return found_;
}

std::optional<ParenContent> paren_content(std::string_view text, std::size_t start,
                                          std::size_t max_depth, ParenMemo* memo) {
  std::size_t depth = 0;
  const std::size_t n = text.size();
  for (std::size_t i = start; (i = next_paren_content_stop(text, i, n)) < n; ++i) {
    const char c = text[i];
    if (c == '\\') {
      ++i;  // the escaped byte, whatever it is
    } else if (c == '<') {
      std::size_t stop;
      if (memo) {
        stop = memo->angle_stop(text, i + 1);
      } else {
        bool esc = false;
        for (stop = i + 1; stop < text.size(); ++stop) {
          const char d = text[stop];
          if (esc) esc = false;
          else if (d == '\\') esc = true;
          else if (d == '>' || d == '\n') break;
        }
      }
      if (stop >= text.size() || text[stop] == '\n') return std::nullopt;
      i = stop;  // the ">" that leaves the brackets
    } else if (c == '(') {
      if (++depth > max_depth) return std::nullopt;
    } else if (c == ')') {
      if (depth == 0) return ParenContent{text.substr(start, i - start), i + 1};
      --depth;
    }
  }
  return std::nullopt;
}

std::string_view trim_link_space(std::string_view s) {
  while (!s.empty() && is_link_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_link_space(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<DestinationSplit> parse_link_destination(std::string_view s, std::size_t max_depth) {
  bool escaped = false;
  if (!s.empty() && s.front() == '<') {
    if (s.size() == 1) return std::nullopt;
    for (std::size_t i = 1; i < s.size(); ++i) {
      const char c = s[i];
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '\n' || c == '\r' || c == '<') {
        return std::nullopt;
      } else if (c == '>') {
        return DestinationSplit{s.substr(1, i - 1), s.substr(i + 1)};
      }
    }
    return std::nullopt;
  }
  std::size_t depth = 0;
  for (std::size_t i = 0; (i = next_destination_stop(s, i, s.size())) < s.size(); ++i) {
    const char c = s[i];
    if (c == '\\') {
      ++i;  // the escaped byte, whatever it is
    } else if (is_link_space(c)) {
      if (depth > 0) return std::nullopt;
      return DestinationSplit{s.substr(0, i), s.substr(i)};
    } else if (c == '(') {
      if (++depth > max_depth) return std::nullopt;
    } else if (c == ')') {
      if (depth == 0) return std::nullopt;
      --depth;
    }
  }
  if (depth > 0) return std::nullopt;
  return DestinationSplit{s, {}};
}

std::optional<DestinationTitle> parse_link_destination_title(std::string_view content,
                                                             std::size_t max_depth, bool borrow) {
  const std::string_view t = trim_link_space(content);
  if (t.empty()) return DestinationTitle{};
  // Most destinations stand alone as written: no title, parenthesis, escape or reference. One scan
  // tells, instead of the destination's scan and then its decoding's.
  if (t.front() != '<' &&
      find_any_of<'\\', '\t', '\n', '\r', ' ', '(', ')', '&'>(t, 0, t.size()) == t.size()) {
    DestinationTitle result;
    result.destination = borrow ? Str::borrowed(t) : Str(t);
    return result;
  }
  const auto split = parse_link_destination(t, max_depth);
  if (!split) return std::nullopt;
  DestinationTitle result;
  result.destination = inline_text(split->destination, borrow);
  std::string_view rest = split->rest;
  while (!rest.empty() && is_link_space(rest.front())) rest.remove_prefix(1);
  if (rest.empty()) return result;
  char closer;
  switch (rest.front()) {
    case '"': closer = '"'; break;
    case '\'': closer = '\''; break;
    case '(': closer = ')'; break;
    default: return std::nullopt;
  }
  if (rest.size() < 2) return std::nullopt;
  bool escaped = false;
  std::size_t close = std::string_view::npos;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (escaped) {
      escaped = false;
    } else if (c == '\\') {
      escaped = true;
    } else if (c == closer) {
      close = i;
      break;
    }
  }
  if (close == std::string_view::npos) return std::nullopt;
  if (!trim_link_space(rest.substr(close + 1)).empty()) return std::nullopt;
  Str title = inline_text(rest.substr(1, close - 1), borrow);
  if (!title.empty()) result.title = title;
  return result;
}

}  // namespace vedavi::inl
