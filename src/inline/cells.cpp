// Table cells: the many short texts of a table, most of them words alone.
#include <cstdint>
#include <cstring>

#include "inline/byte_scan.h"
#include "inline/parse.h"

namespace vedavi::inl {
namespace {

// Every byte at which the parse may see more than text, whatever the options but templates: the
// bytes that may start a construct, a line feed, and those after which a bare link may begin or
// by which a "_" run, a "]" or a "$" is judged. A text without any reads as written.
constexpr ByteTable kSyntaxBytes = byte_table("&*<\\_`\n~^=]$@:.");

#if defined(__SSE2__)

// The bytes of `chunk` that kSyntaxBytes marks, as a bit mask.
[[gnu::always_inline]] inline unsigned syntax_bits(__m128i chunk) {
  const auto is = [&](char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
  // "\\", "]", "^", "_" and "`" are 0x5C-0x60: one range, taken unsigned from its start.
  const __m128i from_backslash = _mm_sub_epi8(chunk, _mm_set1_epi8('\\'));
  const __m128i range = _mm_cmpeq_epi8(_mm_min_epu8(from_backslash, _mm_set1_epi8(4)), from_backslash);
  const __m128i marked = _mm_or_si128(
      _mm_or_si128(_mm_or_si128(_mm_or_si128(is('&'), is('*')), _mm_or_si128(is('<'), is('\n'))),
                   _mm_or_si128(_mm_or_si128(is('~'), is('=')), _mm_or_si128(is('$'), is('@')))),
      _mm_or_si128(_mm_or_si128(is(':'), is('.')), range));
  return static_cast<unsigned>(_mm_movemask_epi8(marked));
}

#endif

bool holds_syntax_byte(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
#if defined(__SSE2__)
  // A text shorter than a block is gathered by two overlapping loads from its ends, so nothing
  // past it is read; the rest of the block is NUL, which is no syntax byte.
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
      if (syntax_bits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i))) != 0) return true;
    return i < n && syntax_bits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + n - 16))) != 0;
  }
  if (n >= 8)
    return syntax_bits(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + n - 8)))) != 0;
  if (n >= 4) {
    std::uint32_t first, last;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + n - 4, 4);
    return syntax_bits(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(first)),
                                          _mm_cvtsi32_si128(static_cast<int>(last)))) != 0;
  }
#endif
  return find_marked(text, 0, n, kSyntaxBytes) != n;
}

}  // namespace

Inlines parse_cell(std::string_view text, const InlineContext& ctx) {
  // An empty text and templates are the first pass's to judge.
  if (text.empty() || !ctx.options.templates.empty() || holds_syntax_byte(text)) return parse_inner(text, ctx);
  Inlines out;
  out.reserve(1);
  out.emplace_back(Inline::Text{ctx.text_outlives_tree ? Str::borrowed(text) : Str(text)});
  return out;
}

}  // namespace vedavi::inl
