// UTF-8: decoding and encoding of code points, character boundaries, lossy decoding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vedavi::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// One decoded character: its code point and its length in bytes. An ill-formed sequence decodes
// as U+FFFD with the length of its maximal ill-formed subpart (at least 1), so stepping by `len`
// always advances and matches the "one U+FFFD per maximal subpart" rule of lossy decoding.
struct Decoded {
  char32_t cp;
  std::size_t len;
  bool valid;
};

// Decodes the character starting at `pos` (`pos < s.size()`).
Decoded decode(std::string_view s, std::size_t pos);

// Appends the UTF-8 form of `cp` (surrogates and values past U+10FFFF append U+FFFD).
void encode(char32_t cp, std::string& out);

// Length in bytes of the UTF-8 form of a scalar value.
inline std::size_t encoded_length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

inline bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// True when `pos` is 0, `s.size()` or the first byte of a character (not a continuation byte).
inline bool is_boundary(std::string_view s, std::size_t pos) {
  return pos == 0 || pos >= s.size() || !is_continuation(static_cast<unsigned char>(s[pos]));
}

// The start of the character that ends at `pos`, for valid UTF-8; never steps back more than
// four bytes, so ill-formed input cannot make it slow. 0 at `pos` 0; `pos` past the end counts as
// the end.
std::size_t prev_boundary(std::string_view s, std::size_t pos);

// The code point of the character that ends at `pos`, U+FFFD when there is none.
char32_t prev_char(std::string_view s, std::size_t pos);

bool is_valid(std::string_view s);

// Decodes bytes, replacing each maximal ill-formed subpart with one U+FFFD.
std::string decode_lossy(std::string_view bytes);

// Number of characters (code points) in valid UTF-8.
std::size_t char_count(std::string_view s);

}  // namespace vedavi::utf8
