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

// Whether `chunk` holds a syntax byte. Cells are mostly words: only the bytes that are no ASCII
// letter, digit or space (nor from 0x80 up, none of which is a syntax byte) are looked up.
// `valid`: the bits of the bytes that belong to the text.
[[gnu::always_inline]] inline bool chunk_holds_syntax_byte(__m128i chunk, unsigned valid = 0xFFFFu) {
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
  if (others == 0) return false;
  alignas(16) unsigned char bytes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(bytes), chunk);
  for (; others != 0; others &= others - 1)
    if (kSyntaxBytes[bytes[__builtin_ctz(others)]]) return true;
  return false;
}

#endif

bool holds_syntax_byte(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
#if defined(__SSE2__)
  // A text shorter than a block is gathered by two overlapping loads from its ends, so nothing
  // past it is read.
  if (n >= 16) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
      if (chunk_holds_syntax_byte(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)))) return true;
    return i < n && chunk_holds_syntax_byte(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + n - 16)));
  }
  if (n >= 8)
    return chunk_holds_syntax_byte(_mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)),
                                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + n - 8))));
  if (n >= 4) {
    std::uint32_t first, last;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + n - 4, 4);
    return chunk_holds_syntax_byte(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(first)),
                                                      _mm_cvtsi32_si128(static_cast<int>(last))),
                                   0xFFu);
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
