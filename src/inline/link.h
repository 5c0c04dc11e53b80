// Inline link destinations and titles, the matching parenthesis of "](", and links built from
// link reference definitions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/document.h"

namespace vedavi::inl {

// Per-text memory of the matching-parenthesis searches, which start at ascending offsets: where
// a run inside "<...>" ends, so that unclosed angle destinations are not rescanned per opener.
class ParenMemo {
 public:
  // The first unescaped ">" or line feed at or after `from` while inside angle brackets, or the
  // end of the text.
  std::size_t angle_stop(std::string_view text, std::size_t from);

 private:
  std::size_t from_, found_;  // set by the first search, which valid_ tells
  bool valid_ = false;
};

struct ParenContent {
  std::string_view content;  // from the start up to the matching ")"
  std::size_t end;           // just past it
};
std::optional<ParenContent> paren_content(std::string_view text, std::size_t start,
                                          std::size_t max_depth, ParenMemo* memo = nullptr);

struct DestinationTitle {
  Str destination;
  std::optional<Str> title;
};
// With `borrow`, a destination or title that reads as written is a view of `content`, which then
// must outlive the result.
std::optional<DestinationTitle> parse_link_destination_title(std::string_view content,
                                                             std::size_t max_depth,
                                                             bool borrow = false);

struct DestinationSplit {
  std::string_view destination;  // backslashes kept
  std::string_view rest;
};
std::optional<DestinationSplit> parse_link_destination(std::string_view s, std::size_t max_depth);

// Without leading and trailing tab, line feed, carriage return and space.
std::string_view trim_link_space(std::string_view s);

}  // namespace vedavi::inl
