// Skipping plain text: the first byte of a range that a table marks.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vedavi::inl {

using ByteTable = std::array<bool, 256>;

// The table that marks exactly `bytes`.
constexpr ByteTable byte_table(std::string_view bytes) {
  ByteTable table{};
  for (char c : bytes) table[static_cast<unsigned char>(c)] = true;
  return table;
}

// The first offset in [from, to) whose byte `table` marks, or `to`. Four bytes per step: plain
// runs are long, and the loop's own bookkeeping per byte costs as much as the lookup.
inline std::size_t find_marked(std::string_view text, std::size_t from, std::size_t to,
                               const ByteTable& table) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = from;
  for (; i + 4 <= to; i += 4) {
    if (table[bytes[i]]) return i;
    if (table[bytes[i + 1]]) return i + 1;
    if (table[bytes[i + 2]]) return i + 2;
    if (table[bytes[i + 3]]) return i + 3;
  }
  while (i < to && !table[bytes[i]]) ++i;
  return i;
}

// The bytes that make up most of a text's words: ASCII letters, digits and space, and every byte
// from 0x80 up.
constexpr bool is_word_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c >= 0x80;
}

// Whether `table` marks no word byte.
constexpr bool marks_no_word_bytes(const ByteTable& table) {
  for (int c = 0; c < 256; ++c)
    if (is_word_byte(static_cast<unsigned char>(c)) && table[c]) return false;
  return true;
}

// find_marked for a table of which marks_no_word_bytes holds. Where the target has SSE2, sixteen
// bytes are checked at once for being word bytes, and only the others are looked up.
inline std::size_t find_marked_beyond_words(std::string_view text, std::size_t from,
                                            std::size_t to, const ByteTable& table) {
#if defined(__SSE2__)
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const __m128i case_bit = _mm_set1_epi8(0x20);
  const __m128i letter_a = _mm_set1_epi8('a');
  const __m128i letters = _mm_set1_epi8(25);  // 'z' - 'a'
  const __m128i digit_0 = _mm_set1_epi8('0');
  const __m128i digits = _mm_set1_epi8(9);
  const __m128i space = _mm_set1_epi8(' ');
  std::size_t i = from;
  for (; i + 16 <= to; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    // A byte is in a range when its distance above the range's start, taken unsigned, is at most
    // the range's width.
    const __m128i letter = _mm_sub_epi8(_mm_or_si128(chunk, case_bit), letter_a);
    const __m128i digit = _mm_sub_epi8(chunk, digit_0);
    const __m128i word =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(letter, letters), letter),
                                  _mm_cmpeq_epi8(_mm_min_epu8(digit, digits), digit)),
                     _mm_cmpeq_epi8(chunk, space));
    // The sign bit of a chunk byte marks 0x80 and up.
    const unsigned word_bits =
        static_cast<unsigned>(_mm_movemask_epi8(word) | _mm_movemask_epi8(chunk));
    for (unsigned others = ~word_bits & 0xFFFFu; others != 0; others &= others - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(others));
      if (table[bytes[at]]) return at;
    }
  }
  return find_marked(text, i, to, table);
#else
  return find_marked(text, from, to, table);
#endif
}

}  // namespace vedavi::inl
