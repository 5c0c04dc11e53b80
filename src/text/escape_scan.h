// The test at the heart of the escapers: the first byte of a text that escaping rewrites, sixteen
// bytes at a time. In a header so that a caller escaping many short texts (the renderer's inline
// walk) has the test inlined, with the copy of a text that needs no rewriting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/escape.h"

namespace vedavi {
namespace escape_scan {

enum class Markup : std::uint8_t { Text, Attr, Url, Fragment };

#if defined(__SSE2__)

// A mask of the bytes of a block that the escaper rewrites.
template <Markup markup>
[[gnu::always_inline]] inline __m128i rewritten_bytes(__m128i chunk) {
  const auto is = [&](char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
  // Two bytes one bit apart are tested at once with that bit set: '<' and '>' (0x3C, 0x3E),
  // '"' and '&' (0x22, 0x26).
  const auto either = [&](char upper, char bit) {
    return _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(bit)), _mm_set1_epi8(upper));
  };
  const __m128i angles = either('>', 0x02);
  if constexpr (markup == Markup::Text) {
    return _mm_or_si128(_mm_or_si128(angles, is('&')), is('\0'));
  } else if constexpr (markup == Markup::Attr) {
    return _mm_or_si128(_mm_or_si128(angles, either('&', 0x04)), is('\0'));
  } else {
    // Outside 0x21-0x7E or within "[\\]" (0x5B-0x5D), or one of the other printable bytes a URL
    // attribute rewrites. A range of bytes is moved by one addition to the bottom of the signed
    // bytes, where a single comparison tests it.
    const auto moved = [&](int low) { return _mm_add_epi8(chunk, _mm_set1_epi8(static_cast<char>(0x80 - low))); };
    const auto bound = [](int low, int high) { return _mm_set1_epi8(static_cast<char>(-128 + (high - low))); };
    const __m128i outside = _mm_cmpgt_epi8(moved(0x21), bound(0x21, 0x7E));
    const __m128i brackets = _mm_cmplt_epi8(moved('['), bound('[', ']' + 1));
    const __m128i printable =
        _mm_or_si128(_mm_or_si128(angles, either('&', 0x04)), _mm_or_si128(brackets, is('`')));
    return _mm_or_si128(outside, printable);
  }
}

template <Markup markup>
[[gnu::always_inline]] inline unsigned rewritten_mask(__m128i chunk) {
  return static_cast<unsigned>(_mm_movemask_epi8(rewritten_bytes<markup>(chunk)));
}

// The offset of the first rewritten byte of a text shorter than a block, or `size` when there is
// none. Its bytes are gathered by two overlapping loads from both ends (or, below four bytes, its
// first, middle and last byte), so nothing past the text is read and offsets ascend with the bits
// of the mask. The block is put together in registers: built in memory from narrower stores, it
// would be read back only once the stores had drained, which costs more than the test. With a
// `copy` destination the loaded parts are stored there as well, which copies the whole text.
template <Markup markup>
[[gnu::always_inline]] inline std::size_t first_rewritten_short(const unsigned char* bytes, std::size_t size,
                                                                char* copy = nullptr) {
  constexpr std::uint32_t kKept = 0x61616161;  // "aaaa", never rewritten
  const auto load32 = [](const unsigned char* at) {
    std::uint32_t word;
    std::memcpy(&word, at, 4);
    return word;
  };
  __m128i block;
  std::size_t second_part_offset;
  if (size >= 8) {
    const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
    const __m128i last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + size - 8));
    if (copy != nullptr) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(copy), first);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(copy + size - 8), last);
    }
    block = _mm_unpacklo_epi64(first, last);
    second_part_offset = size - 8;
  } else if (size >= 4) {
    const std::uint32_t first = load32(bytes), last = load32(bytes + size - 4);
    if (copy != nullptr) {
      std::memcpy(copy, &first, 4);
      std::memcpy(copy + size - 4, &last, 4);
    }
    // The words after each part hold kept bytes.
    block = _mm_or_si128(_mm_unpacklo_epi64(_mm_cvtsi32_si128(static_cast<int>(first)),
                                            _mm_cvtsi32_si128(static_cast<int>(last))),
                         _mm_set_epi32(int{kKept}, 0, int{kKept}, 0));
    second_part_offset = size - 4;
  } else {
    if (copy != nullptr) {
      copy[0] = static_cast<char>(bytes[0]);
      copy[size / 2] = static_cast<char>(bytes[size / 2]);
      copy[size - 1] = static_cast<char>(bytes[size - 1]);
    }
    const std::uint32_t gathered = std::uint32_t{bytes[0]} | std::uint32_t{bytes[size / 2]} << 8 |
                                   std::uint32_t{bytes[size - 1]} << 16 | std::uint32_t{'a'} << 24;
    block = _mm_or_si128(_mm_cvtsi32_si128(static_cast<int>(gathered)),
                         _mm_set_epi32(int{kKept}, int{kKept}, int{kKept}, 0));
    const unsigned mask = rewritten_mask<markup>(block);
    if (mask == 0) return size;
    const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
    return bit == 0 ? 0 : bit == 1 ? size / 2 : size - 1;
  }
  const unsigned mask = rewritten_mask<markup>(block);
  if (mask == 0) return size;
  const auto bit = static_cast<std::size_t>(__builtin_ctz(mask));
  return bit < 8 ? bit : second_part_offset + (bit - 8);
}

// The offset of the first byte the escaper rewrites, or `size` when there is none. With a `copy`
// destination the text is copied there too as it is tested: all of it, or at least the bytes
// before that offset; nothing is stored past `copy + size`.
template <Markup markup>
[[gnu::always_inline]] inline std::size_t first_rewritten(const unsigned char* bytes, std::size_t size,
                                                          char* copy = nullptr) {
  if (size < 16) return size == 0 ? 0 : first_rewritten_short<markup>(bytes, size, copy);
  std::size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    if (copy != nullptr) _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + i), chunk);
    const unsigned mask = rewritten_mask<markup>(chunk);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  if (i == size) return size;
  // The last block of the text, overlapping bytes already tested; they are shifted out.
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + size - 16));
  if (copy != nullptr) _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + size - 16), chunk);
  const unsigned mask = rewritten_mask<markup>(chunk);
  const unsigned left_mask = mask >> (16 - (size - i));
  return left_mask != 0 ? i + static_cast<std::size_t>(__builtin_ctz(left_mask)) : size;
}

#endif

// Whether the escaper rewrites `byte` (the test above, one byte at a time).
template <Markup markup>
inline bool is_rewritten(unsigned char byte) {
  const bool in_text = byte == '&' || byte == '<' || byte == '>';
  if constexpr (markup == Markup::Text) return in_text || byte == 0;
  else if constexpr (markup == Markup::Attr) return in_text || byte == 0 || byte == '"';
  else if constexpr (markup == Markup::Url) return byte == '&' || url_percent_encodes(byte);
  else return true;
}

// Copies the bytes of a text that come before the first one the escaper rewrites to `to`, which
// has room for the whole text; returns how many (`size` when none is rewritten). Bytes after them,
// up to `to + size`, may be written too.
template <Markup markup>
[[gnu::always_inline]] inline std::size_t copy_kept(const unsigned char* bytes, std::size_t size, char* to) {
#if defined(__SSE2__)
  return first_rewritten<markup>(bytes, size, to);
#else
  std::size_t i = 0;
  for (; i < size && !is_rewritten<markup>(bytes[i]); ++i) to[i] = static_cast<char>(bytes[i]);
  return i;
#endif
}

}  // namespace escape_scan

// Write the text from `first`, a byte escaping rewrites, on, as escape_text and escape_url_attr
// do.
void escape_text_from(std::string_view text, std::size_t first, std::string& out);
void escape_url_attr_from(std::string_view url, std::size_t first, std::string& out);

// escape_text, inlined into the caller.
[[gnu::always_inline]] inline void escape_text_inline(std::string_view text, std::string& out) {
#if defined(__SSE2__)
  const std::size_t first = escape_scan::first_rewritten<escape_scan::Markup::Text>(
      reinterpret_cast<const unsigned char*>(text.data()), text.size());
  out.append(text.data(), first);
  if (first < text.size()) escape_text_from(text, first, out);
#else
  escape_text(text, out);
#endif
}

// escape_url_attr, inlined into the caller.
[[gnu::always_inline]] inline bool escape_url_attr_inline(std::string_view url, std::string& out) {
#if defined(__SSE2__)
  const std::size_t first = escape_scan::first_rewritten<escape_scan::Markup::Url>(
      reinterpret_cast<const unsigned char*>(url.data()), url.size());
  out.append(url.data(), first);
  if (first == url.size()) return true;
  escape_url_attr_from(url, first, out);
  return false;
#else
  return escape_url_attr(url, out);
#endif
}

}  // namespace vedavi
