// Angle-bracket constructs: autolinks with a scheme, e-mail autolinks, HTML comments and raw
// inline HTML tags.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "model/document.h"

namespace vedavi::inl {

// Remembers the next ">" and the next comment close of one text, so that a long run of "<" that
// opens nothing is read in linear time.
class AngleMemo {
 public:
  // The first ">" at or after `from`, or the text's end.
  std::size_t next_gt(std::string_view text, std::size_t from);
  // Just past the first "-->" or "--!>" at or after `from`; none when there is none.
  std::optional<std::size_t> next_comment_close(std::string_view text, std::size_t from);

 private:
  // One remembered search: its start, where its match begins and just past it. Set up per
  // text, so only `valid` is set before a search fills the rest.
  struct Next {
    std::size_t from;
    std::size_t begin;
    std::size_t end;
    bool found;
    bool valid = false;
    // Queries come in ascending order; one answer covers every start up to its match.
    bool covers(std::size_t at) const { return valid && at >= from && at <= begin; }
  };
  Next gt_;
  Next comment_close_;
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
