// Character classes of the tree-construction rules.
#pragma once

#include <cstddef>
#include <string_view>

namespace html5 {

// ASCII whitespace as the tree builder sees it: tab, line feed, form feed, carriage return, space.
inline bool is_whitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

inline std::size_t leading_whitespace(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && is_whitespace(s[n])) ++n;
  return n;
}

inline bool all_whitespace(std::string_view s) { return leading_whitespace(s) == s.size(); }

}  // namespace html5
