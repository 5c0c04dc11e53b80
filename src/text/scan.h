// Small byte-level scanning helpers shared by the md grammars.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vedavi::scan {

// U+0021-U+002F, U+003A-U+0040, U+005B-U+0060, U+007B-U+007E.
inline bool is_ascii_punctuation(char32_t c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

inline bool is_ascii_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_ascii_alnum(char c) { return is_ascii_alpha(c) || is_ascii_digit(c); }
inline char to_ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Equal after lower-casing ASCII letters on both sides (other bytes compare as they are).
inline bool ascii_iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (to_ascii_lower(a[i]) != to_ascii_lower(b[i])) return false;
  return true;
}

// The first offset at or after `start` (a character boundary) where the two-byte `needle`
// starts and is not escaped by a backslash; compared at character starts only.
std::optional<std::size_t> find_unescaped(std::string_view text, std::size_t start,
                                          std::string_view needle);

// HTML comments end where an HTML5 tokenizer ends them, so that no text a browser would read as
// markup after a comment passes through as part of it.
//
// Where "<!-->" or "<!--->", the empty comments an HTML5 tokenizer closes at once, start at
// `lt`: just past them. None for any other text.
std::optional<std::size_t> empty_comment_end(std::string_view text, std::size_t lt);
// The first "-->" or "--!>" at or after `from`: where it begins and just past it.
struct CommentClose {
  std::size_t begin;
  std::size_t end;
};
std::optional<CommentClose> find_comment_close(std::string_view text, std::size_t from);
// Just past the comment whose "<!--" starts at `lt`; none when it never ends.
std::optional<std::size_t> html_comment_end(std::string_view text, std::size_t lt);

}  // namespace vedavi::scan
