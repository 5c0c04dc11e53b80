// Table cells: the inline content of many short texts at once. The quick look for a byte at
// which syntax may begin is here, inline, for the loop over a table's cells; the parse of the
// cells that hold one is in cells.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "inline/byte_scan.h"
#include "inline/parse.h"

namespace vedavi::inl {
namespace cell_look {

#if defined(__SSE2__)

// The bit of the first byte of `chunk` that is a syntax byte, or 16 when none is. Cells are
// mostly words: only the bytes that are no ASCII letter, digit or space (nor from 0x80 up, none of
// which is a syntax byte) are looked up. `valid`: the bits of the bytes that belong to the text.
[[gnu::always_inline]] inline unsigned first_syntax_bit(__m128i chunk, unsigned valid = 0xFFFFu) {
  // A byte is in a range when its distance above the range's start, taken unsigned, is at most
  // the range's width.
  const __m128i letter = _mm_sub_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i digit = _mm_sub_epi8(chunk, _mm_set1_epi8('0'));
  const __m128i word =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(25)), letter),
                                _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit)),
                   _mm_cmpeq_epi8(chunk, _mm_set1_epi8(' ')));
  // The sign bit of a chunk byte marks 0x80 and up.
  unsigned others = ~static_cast<unsigned>(_mm_movemask_epi8(word) | _mm_movemask_epi8(chunk)) & valid;
  if (others == 0) return 16;
  alignas(16) unsigned char bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes), chunk);
  for (; others != 0; others &= others - 1) {
    const auto bit = static_cast<unsigned>(__builtin_ctz(others));
    if (kMaybeSyntax[bytes[bit]]) return bit;
  }
  return 16;
}

#endif

// The offset of a syntax byte of the text (the first of the first block holding any), or the
// text's size when it holds none.
[[gnu::always_inline]] inline std::size_t find_syntax_byte(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
#if defined(__SSE2__)
  // A text shorter than a block is gathered by two overlapping loads from its ends, so nothing
  // past it is read.
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
      const unsigned bit = first_syntax_bit(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
      if (bit != 16) return i + bit;
    }
    if (i == n) return n;
    const unsigned bit = first_syntax_bit(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + n - 16)));
    return bit != 16 ? n - 16 + bit : n;
  }
  if (n >= 8) {
    const unsigned bit =
        first_syntax_bit(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)),
                                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + n - 8))));
    return bit == 16 ? n : bit < 8 ? bit : n - 16 + bit;
  }
  if (n >= 4) {
    std::uint32_t first, last;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + n - 4, 4);
    const unsigned bit = first_syntax_bit(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(first)),
                                                             _mm_cvtsi32_si128(static_cast<int>(last))),
                                          0xFFu);
    return bit == 16 ? n : bit < 4 ? bit : n - 8 + bit;
  }
#endif
  return find_marked(text, 0, n, kMaybeSyntax);
}

}  // namespace cell_look

// The content of a cell whose first byte at which syntax may begin is at `at`.
Inlines parse_syntax_cell(std::string_view text, std::size_t at, const InlineContext& ctx);

// As parse_cell (parse.h); a cell that is plain text puts its one text node in `text_room` (room
// for one node in the current arena, aligned as a list's room) instead of a room of its own, so
// that a table's plain cells share one allocation.
[[gnu::always_inline]] inline Inlines parse_cell(std::string_view text, const InlineContext& ctx,
                                                 Inline* text_room) {
  // An empty text and templates are the first pass's to judge.
  if (text.empty() || !ctx.options.templates.empty()) [[unlikely]]
    return parse_inner(text, ctx);
  const std::size_t at = cell_look::find_syntax_byte(text);
  if (at != text.size()) return parse_syntax_cell(text, at, ctx);
  ::new (text_room) Inline(Inline::Text{ctx.text_outlives_tree ? Str::borrowed(text) : Str(text)});
  return Inlines(text_room, 1, 1);
}

}  // namespace vedavi::inl
