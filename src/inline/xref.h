// Cross-reference items ("[see @fig-1]", "[@a; @b]") and footnote references ("[^1]").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/document.h"
#include "inline/parse.h"

namespace vedavi::inl {

// One cross-reference item.
struct XrefSeg {
  std::string target;                 // the id after "@", never empty
  std::optional<std::string> prefix;  // the words before the "@"
  bool bare = false;                  // "-" directly before the "@"
  friend bool operator==(const XrefSeg&, const XrefSeg&) = default;
};

std::optional<XrefSeg> ref_seg_info(std::string_view item, bool allow_prefix);
// The link an item stands for: "#" + target, marked "data-ref".
std::optional<Inline> ref_item(std::string_view item, bool allow_prefix);

struct FootnoteRefMatch {
  Inline inline_;
  std::size_t end;
};
// A reference "[^label]" at `p` to a footnote the document defines.
std::optional<FootnoteRefMatch> footnote_ref(std::string_view text, std::size_t p,
                                             const FootnoteLabels& defined);

}  // namespace vedavi::inl
