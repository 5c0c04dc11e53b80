// Escaping for VEDAVI HTML. Each escaper jumps from one byte that needs rewriting to the next
// through a 256-entry class table and appends the runs in between whole.
#include "text/escape.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "text/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vedavi {
namespace {

// What a byte becomes: copied, an entity, or percent-encoded.
enum class Rewrite : std::uint8_t { Copy, Amp, Lt, Gt, Quot, Percent };

using ClassTable = std::array<Rewrite, 256>;

consteval ClassTable text_table(bool is_attr) {
  ClassTable table{};
  table['&'] = Rewrite::Amp;
  table['<'] = Rewrite::Lt;
  table['>'] = Rewrite::Gt;
  if (is_attr) table['"'] = Rewrite::Quot;
  return table;
}

consteval ClassTable url_table() {
  ClassTable table{};
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = Rewrite::Percent;
  for (int byte = 0x7F; byte < 0x100; ++byte) table[byte] = Rewrite::Percent;
  for (unsigned char byte : std::string_view(" \"<>[\\]`")) table[byte] = Rewrite::Percent;
  table['&'] = Rewrite::Amp;
  return table;
}

consteval ClassTable fragment_table() {
  ClassTable table{};
  for (int byte = 0; byte < 0x100; ++byte) {
    const bool is_kept = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                         (byte >= '0' && byte <= '9') ||
                         std::string_view("()-./_~").find(char(byte)) != std::string_view::npos;
    table[byte] = is_kept ? Rewrite::Copy : Rewrite::Percent;
  }
  return table;
}

constexpr ClassTable kText = text_table(false);
constexpr ClassTable kAttr = text_table(true);
constexpr ClassTable kUrl = url_table();
constexpr ClassTable kFragment = fragment_table();

// Which fast skip an escaper uses: none, the markup bytes of text or attributes, or the bytes a
// URL attribute rewrites.
enum class Markup : std::uint8_t { None, Text, Attr, Url };

// The offset of the first byte at or after `i` that the text, attribute or URL table rewrites,
// or `size` when none does. Runs of bytes kept as they are are long, so sixteen bytes are tested
// at once where the target has SSE2; elsewhere the caller's byte loop does the work.
template <Markup markup>
std::size_t skip_kept(const unsigned char* bytes, std::size_t i, std::size_t size) {
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  // For text, '&' stands in for '"' so that one loop serves both.
  const __m128i quot = _mm_set1_epi8(markup == Markup::Text ? '&' : '"');
  const auto markup_hits = [&](__m128i chunk) {
    return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, amp), _mm_cmpeq_epi8(chunk, lt)),
                        _mm_or_si128(_mm_cmpeq_epi8(chunk, gt), _mm_cmpeq_epi8(chunk, quot)));
  };
  // A URL also rewrites space, "[\\]`", control characters and every byte from 0x7F: outside
  // 0x21-0x7E, tested as a signed comparison after flipping the top bit.
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i below = _mm_set1_epi8(static_cast<char>(0x21 ^ 0x80));
  const __m128i above = _mm_set1_epi8(static_cast<char>(0x7E ^ 0x80));
  const auto url_hits = [&](__m128i chunk) {
    const __m128i flipped = _mm_xor_si128(chunk, flip);
    const __m128i outside =
        _mm_or_si128(_mm_cmplt_epi8(flipped, below), _mm_cmpgt_epi8(flipped, above));
    const __m128i brackets =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('[')),
                                  _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\'))),
                     _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(']')),
                                  _mm_cmpeq_epi8(chunk, _mm_set1_epi8('`'))));
    return _mm_or_si128(_mm_or_si128(outside, brackets), markup_hits(chunk));
  };
  const auto hits_in = [&](const unsigned char* block) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    if constexpr (markup == Markup::Url)
      return static_cast<unsigned>(_mm_movemask_epi8(url_hits(chunk)));
    else
      return static_cast<unsigned>(_mm_movemask_epi8(markup_hits(chunk)));
  };
  for (; i + 16 <= size; i += 16) {
    const unsigned mask = hits_in(bytes + i);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  if (i == size) return size;
  const std::size_t left = size - i;
  unsigned mask;
  if (size >= 16) {
    // The last block of the text, overlapping bytes already tested; they are shifted out.
    mask = hits_in(bytes + size - 16) >> (16 - left);
  } else {
    // A short text, padded to a whole block with bytes never rewritten.
    unsigned char tail[16];
    std::memset(tail, 'a', sizeof tail);
    std::memcpy(tail, bytes + i, left);
    mask = hits_in(tail);
  }
  return mask != 0 ? i + static_cast<std::size_t>(__builtin_ctz(mask)) : size;
#else
  (void)bytes;
  (void)size;
  return i;
#endif
}

// Percent-encoding a character is encoding each byte of its UTF-8 form, so the escapers work
// byte by byte: a multi-byte character has all of its bytes in the Percent class.
template <Markup markup = Markup::None>
void escape_with(const ClassTable& table, std::string_view text, std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t run_begin = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if constexpr (markup != Markup::None) {
      i = skip_kept<markup>(bytes, i, size);
      if (i == size) break;
    }
    const Rewrite rewrite = table[bytes[i]];
    if (rewrite == Rewrite::Copy) continue;
    out.append(text.data() + run_begin, i - run_begin);
    run_begin = i + 1;
    switch (rewrite) {
      case Rewrite::Amp: out += "&amp;"; break;
      case Rewrite::Lt: out += "&lt;"; break;
      case Rewrite::Gt: out += "&gt;"; break;
      case Rewrite::Quot: out += "&quot;"; break;
      case Rewrite::Percent: percent_encode_byte(bytes[i], out); break;
      case Rewrite::Copy: break;
    }
  }
  out.append(text.data() + run_begin, size - run_begin);
}

}  // namespace

void percent_encode_byte(unsigned char byte, std::string& out) {
  constexpr char kHex[] = "0123456789ABCDEF";
  const char encoded[3] = {'%', kHex[byte >> 4], kHex[byte & 0xF]};
  out.append(encoded, 3);
}

bool url_percent_encodes(unsigned char byte) { return kUrl[byte] == Rewrite::Percent; }

void escape_text(std::string_view text, std::string& out) {
  escape_with<Markup::Text>(kText, text, out);
}

void escape_attr(std::string_view text, std::string& out) {
  escape_with<Markup::Attr>(kAttr, text, out);
}

void escape_url_attr(std::string_view url, std::string& out) {
  escape_with<Markup::Url>(kUrl, url, out);
}

std::string escape_fragment(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  escape_with(kFragment, text, out);
  return out;
}

void percent_encode_char(char32_t c, std::string& out) {
  std::string encoded;
  utf8::encode(c, encoded);
  for (unsigned char byte : encoded) percent_encode_byte(byte, out);
}

void append_number(std::size_t value, std::string& out) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace vedavi
