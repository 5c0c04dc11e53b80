// Angle-bracket constructs: autolinks with a scheme, e-mail autolinks, HTML comments and raw
// inline HTML tags.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "model/document.h"

namespace vedavi::inl {

// Remembers the next ">" and the next "-->" of one text, so that a long run of "<" that opens
// nothing is read in linear time.
class AngleMemo {
 public:
  // The first occurrence of `needle` at or after `from`, or the text's end.
  std::size_t next_gt(std::string_view text, std::size_t from) { return gt_.next(text, from, ">"); }
  std::size_t next_comment_end(std::string_view text, std::size_t from) {
    return comment_end_.next(text, from, "-->");
  }

 private:
  struct Next {
    std::size_t from = 0;
    std::size_t found = 0;
    bool valid = false;
    std::size_t next(std::string_view text, std::size_t at, std::string_view needle);
  };
  Next gt_;
  Next comment_end_;
};

struct InlineMatch {
  Inline inline_;
  std::size_t end;  // just past the construct
};

// The construct starting at the "<" at `p`.
std::optional<InlineMatch> angle_or_html(std::string_view text, std::size_t p,
                                         AngleMemo* memo = nullptr);
// The length of the HTML tag name at the start of `s`: an ASCII letter, then letters, digits, "-".
std::optional<std::size_t> html_tag_name_end(std::string_view s);
// The tag names the dialect passes through as HTML.
bool is_inline_html_tag(std::string_view lowered_name);

}  // namespace vedavi::inl
