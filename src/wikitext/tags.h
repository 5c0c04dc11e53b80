// Readers for the HTML-like tags of wikitext: an opening tag with its attributes, and the
// length of a reference element.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/attrs.h"
#include "wikitext/source.h"

namespace vedavi::wikitext {

struct TagReading {
  std::string name;  // ASCII-lower-cased
  Attr attr;
  std::size_t end = 0;  // just past the tag's ">"
  bool closed = false;  // self-closing, or "br"
};

// The opening tag at `pos` (which must hold "<"), read up to its first ">" before `limit`.
std::optional<TagReading> html_open(Source& source, std::size_t pos, std::size_t limit);
// The attribute list of a tag ("a=1 b='x y' c"); none for an empty key or an unclosed quote.
std::optional<Attr> html_attrs(std::string_view text);
// Length of the reference element that starts at `pos`: through its "/>" when self-closing,
// else through its "</ref>", else to `limit`.
std::size_t ref_len(Source& source, std::size_t pos, std::size_t limit);

// Offset of the first Unicode white space character at or after `pos` (the size when none).
std::size_t find_white_space(std::string_view text, std::size_t pos);
// Offset just past the white space that starts at `pos`.
std::size_t skip_white_space(std::string_view text, std::size_t pos);

// Whether the byte after a tag name lets "<ref", "<math" or "<nowiki" stand as a tag.
inline bool is_tag_delimiter(char c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '/' || c == '>';
}

}  // namespace vedavi::wikitext
