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

// Bytes at which some rule of the scan may begin, whatever the options but templates: the bytes
// that may start a construct, a line feed, and those after which a bare link may begin or by
// which a "_" run, a "]" or a "$" is judged ("www." is looked for at its ".", so that no word
// byte is marked). A text without any reads as written.
inline constexpr ByteTable kMaybeSyntax = byte_table("&*<\\_`\n~^=]$@:.");
static_assert(marks_no_word_bytes(kMaybeSyntax));

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

// The table that marks exactly `Bytes`.
template <char... Bytes>
inline constexpr ByteTable kBytesTable = [] {
  ByteTable table{};
  ((table[static_cast<unsigned char>(Bytes)] = true), ...);
  return table;
}();

#if defined(__SSE2__)
// The bytes of a block equal to one of `Bytes`.
template <char... Bytes>
[[gnu::always_inline]] inline __m128i equal_to_any(__m128i chunk) {
  __m128i hits = _mm_setzero_si128();
  ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(Bytes)))), ...);
  return hits;
}
#endif

#if defined(__SSE2__)
// The first offset in [from, to) whose bit `mask_of` sets in the mask of its block of sixteen
// bytes, or `to`; `table` marks the same bytes. The first block is the one that starts at `from`
// (near the text's end, the text's last block, its bytes before `from` shifted out), whatever the
// range's length, its bits past `to` cleared: a short range, as most are between the marked bytes
// of prose, costs no branch on its length before that block is tested. Longer ranges go on a
// block at a time, the last overlapping bytes already looked at, which are shifted out. Only a
// text shorter than a block is read byte by byte. As find_marked, a start past the end comes
// back as it is.
template <typename MaskOf>
[[gnu::always_inline]] inline std::size_t find_by_mask(std::string_view text, std::size_t from,
                                                       std::size_t to, const ByteTable& table,
                                                       MaskOf mask_of) {
  if (from >= to) return from;
  const std::size_t size = text.size();
  if (size < 16) return find_marked(text, from, to, table);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto block_at = [&](std::size_t at) {
    return static_cast<unsigned>(
        mask_of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at))));
  };
  const std::size_t length = to - from;
  const unsigned in_range = length >= 16 ? 0xFFFFu : (1u << length) - 1;
  const unsigned first = from + 16 <= size ? block_at(from)
                                           : block_at(size - 16) >> (from - (size - 16));
  if ((first & in_range) != 0) return from + static_cast<std::size_t>(__builtin_ctz(first & in_range));
  if (length <= 16) return to;
  std::size_t i = from + 16;
  for (; i + 16 <= to; i += 16) {
    const unsigned mask = block_at(i);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  if (i == to) return to;
  const unsigned mask = block_at(to - 16) >> (16 - (to - i));
  return mask != 0 ? i + static_cast<std::size_t>(__builtin_ctz(mask)) : to;
}
#endif

// find_marked for the table of a few bytes, which SSE2 compares sixteen bytes at a time, one
// comparison per byte value: destinations, hosts and parenthesised link tails are mostly bytes
// that no table entry marks, and often longer than a block.
template <char... Bytes>
inline std::size_t find_any_of(std::string_view text, std::size_t from, std::size_t to) {
#if defined(__SSE2__)
  return find_by_mask(text, from, to, kBytesTable<Bytes...>, [](__m128i chunk) {
    return static_cast<unsigned>(_mm_movemask_epi8(equal_to_any<Bytes...>(chunk)));
  });
#else
  return find_marked(text, from, to, kBytesTable<Bytes...>);
#endif
}

// The bytes at which an inline construct other than a bare link may start, with "$" where math
// may open with it: "[", "\\", "]", "^", "_" (0x5B-0x5F), "<", "=", "&", "!", "*", "`", "~" and
// the line feed.
template <bool kDollar>
inline constexpr ByteTable kTriggerTable = kDollar ? kBytesTable<'\\', '`', '^', '~', '[', ']', '!', '*', '_', '=', '<', '\n', '&', '$'>
                                                   : kBytesTable<'\\', '`', '^', '~', '[', ']', '!', '*', '_', '=', '<', '\n', '&'>;

// The first byte of kTriggerTable<kDollar> in [from, to), or `to`. Sixteen bytes are tested in
// a few comparisons: a range test for 0x5B-0x60 ("[" to "`"), and pairs one bit apart ("<" and
// "=", "$" and "&", the line feed and "*") with that bit set.
template <bool kDollar>
[[gnu::always_inline]] inline std::size_t find_trigger(std::string_view text, std::size_t from, std::size_t to) {
#if defined(__SSE2__)
  return find_by_mask(text, from, to, kTriggerTable<kDollar>, [](__m128i chunk) {
    const auto is = [&](char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
    const __m128i above_bracket = _mm_sub_epi8(chunk, _mm_set1_epi8('['));
    const __m128i brackets =
        _mm_cmpeq_epi8(_mm_min_epu8(above_bracket, _mm_set1_epi8('`' - '[')), above_bracket);
    const __m128i angle_equals =
        _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x01)), _mm_set1_epi8('='));
    const __m128i ampersand =
        kDollar ? _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x02)), _mm_set1_epi8('&'))
                : is('&');
    const __m128i line_feed_star =
        _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x20)), _mm_set1_epi8('*'));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(brackets, angle_equals), _mm_or_si128(ampersand, is('!'))),
        _mm_or_si128(line_feed_star, is('~')));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
  });
#else
  return find_marked(text, from, to, kTriggerTable<kDollar>);
#endif
}

// Whether `table` marks no printable ASCII byte ("!" to "~") other than `Extra`.
template <char... Extra>
constexpr bool marks_no_printable_but(const ByteTable& table) {
  for (int c = 0x21; c < 0x7F; ++c)
    if (table[c] && !kBytesTable<Extra...>[c]) return false;
  return true;
}

// find_marked for a table of which marks_no_printable_but<Extra...> holds (white space, control
// bytes, the bytes of non-ASCII characters and a few punctuation marks). Where the target has
// SSE2, sixteen bytes are checked at once for being printable ASCII other than `Extra`, and only
// the others are looked up.
template <char... Extra>
inline std::size_t find_marked_beyond_printable(std::string_view text, std::size_t from,
                                                std::size_t to, const ByteTable& table) {
#if defined(__SSE2__)
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  // Bytes from 0x80 up are negative as signed bytes, so one signed range test leaves them out.
  const __m128i below = _mm_set1_epi8(0x21);
  const __m128i above = _mm_set1_epi8(0x7E);
  std::size_t i = from;
  for (; i + 16 <= to; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i printable =
        _mm_andnot_si128(_mm_or_si128(_mm_cmplt_epi8(chunk, below), _mm_cmpgt_epi8(chunk, above)),
                         _mm_cmpeq_epi8(chunk, chunk));
    const auto plain = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_andnot_si128(equal_to_any<Extra...>(chunk), printable)));
    for (unsigned others = ~plain & 0xFFFFu; others != 0; others &= others - 1) {
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
