// Escaping for VEDAVI HTML. Each byte has its replacement in a 256-entry table (itself when it is
// copied). Text and attribute values write NUL as U+FFFD: an HTML reader drops a NUL in text, so
// a NUL written as it is would change the text on its way through HTML. Where the target has SSE2, text, attribute and URL escaping test sixteen bytes at once
// and write through a pointer into a buffer on the stack; without SSE2, and for fragments, runs
// between rewritten bytes are appended whole.
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

// The bytes one input byte is written as, padded to eight so that a single fixed-size copy
// writes any of them; `size` is 1 for a byte copied as it is.
struct Replacement {
  char bytes[7] = {};
  std::uint8_t size = 1;
};

using ReplacementTable = std::array<Replacement, 256>;

enum class Markup : std::uint8_t { Text, Attr, Url, Fragment };

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

consteval bool is_fragment_kept(int byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') ||
         std::string_view("()-./_~").find(char(byte)) != std::string_view::npos;
}

consteval bool is_url_percent_encoded(int byte) {
  return byte < 0x21 || byte >= 0x7F || std::string_view("\"<>[\\]`").find(char(byte)) !=
                                            std::string_view::npos;
}

consteval Replacement spelled(std::string_view text) {
  Replacement replacement;
  for (std::size_t i = 0; i < text.size(); ++i) replacement.bytes[i] = text[i];
  replacement.size = static_cast<std::uint8_t>(text.size());
  return replacement;
}

consteval Replacement percent_encoded(int byte) {
  constexpr char kHex[] = "0123456789ABCDEF";
  const char encoded[3] = {'%', kHex[byte >> 4], kHex[byte & 0xF]};
  return spelled(std::string_view(encoded, 3));
}

consteval ReplacementTable replacement_table(Markup markup) {
  ReplacementTable table{};
  for (int byte = 0; byte < 0x100; ++byte) {
    const char c = static_cast<char>(byte);
    table[byte] = spelled(std::string_view(&c, 1));
    const bool is_percent = markup == Markup::Url        ? is_url_percent_encoded(byte)
                            : markup == Markup::Fragment ? !is_fragment_kept(byte)
                                                         : false;
    if (is_percent) table[byte] = percent_encoded(byte);
  }
  if (markup == Markup::Fragment) return table;
  table['&'] = spelled("&amp;");
  if (markup == Markup::Url) return table;
  table['\0'] = spelled(kReplacementCharacter);
  table['<'] = spelled("&lt;");
  table['>'] = spelled("&gt;");
  if (markup == Markup::Attr) table['"'] = spelled("&quot;");
  return table;
}

constexpr ReplacementTable kText = replacement_table(Markup::Text);
constexpr ReplacementTable kAttr = replacement_table(Markup::Attr);
constexpr ReplacementTable kUrl = replacement_table(Markup::Url);
constexpr ReplacementTable kFragment = replacement_table(Markup::Fragment);

template <Markup markup>
constexpr const ReplacementTable& table_of() {
  if constexpr (markup == Markup::Text) return kText;
  else if constexpr (markup == Markup::Attr) return kAttr;
  else if constexpr (markup == Markup::Url) return kUrl;
  else return kFragment;
}

// Appends runs of copied bytes whole and each rewritten byte's replacement.
template <Markup markup>
void escape_bytewise(std::string_view text, std::string& out) {
  const ReplacementTable& table = table_of<markup>();
  std::size_t run_begin = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Replacement& replacement = table[static_cast<unsigned char>(text[i])];
    if (replacement.size == 1) continue;
    out.append(text.data() + run_begin, i - run_begin);
    out.append(replacement.bytes, replacement.size);
    run_begin = i + 1;
  }
  out.append(text.data() + run_begin, text.size() - run_begin);
}

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
    // Outside 0x21-0x7E or within "[\\]" (0x5B-0x5D), tested as signed comparisons after
    // flipping the top bit, or one of the other printable bytes a URL attribute rewrites.
    const auto flipped_byte = [](int byte) {
      return _mm_set1_epi8(static_cast<char>(byte ^ 0x80));
    };
    const __m128i flipped = _mm_xor_si128(chunk, _mm_set1_epi8(static_cast<char>(0x80)));
    const __m128i outside = _mm_or_si128(_mm_cmplt_epi8(flipped, flipped_byte(0x21)),
                                         _mm_cmpgt_epi8(flipped, flipped_byte(0x7E)));
    const __m128i brackets = _mm_and_si128(_mm_cmpgt_epi8(flipped, flipped_byte('[' - 1)),
                                           _mm_cmplt_epi8(flipped, flipped_byte(']' + 1)));
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
// would be read back only once the stores had drained, which costs more than the test.
template <Markup markup>
std::size_t first_rewritten_short(const unsigned char* bytes, std::size_t size) {
  constexpr std::uint32_t kKept = 0x61616161;  // "aaaa", never rewritten
  const auto load32 = [](const unsigned char* at) {
    std::uint32_t word;
    std::memcpy(&word, at, 4);
    return _mm_cvtsi32_si128(static_cast<int>(word));
  };
  __m128i block;
  std::size_t second_part_offset;
  if (size >= 8) {
    block = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + size - 8)));
    second_part_offset = size - 8;
  } else if (size >= 4) {
    // The words after each part hold kept bytes.
    block = _mm_or_si128(_mm_unpacklo_epi64(load32(bytes), load32(bytes + size - 4)),
                         _mm_set_epi32(int{kKept}, 0, int{kKept}, 0));
    second_part_offset = size - 4;
  } else {
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

// The offset of the first byte the escaper rewrites, or `size` when there is none.
template <Markup markup>
std::size_t first_rewritten(const unsigned char* bytes, std::size_t size) {
  if (size < 16) return size == 0 ? 0 : first_rewritten_short<markup>(bytes, size);
  std::size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    const unsigned mask =
        rewritten_mask<markup>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(mask));
  }
  if (i == size) return size;
  // The last block of the text, overlapping bytes already tested; they are shifted out.
  const unsigned mask =
      rewritten_mask<markup>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + size - 16)));
  const unsigned left_mask = mask >> (16 - (size - i));
  return left_mask != 0 ? i + static_cast<std::size_t>(__builtin_ctz(left_mask)) : size;
}

// Writes the escaped text from `i`, a rewritten byte, on. The text is written through a pointer
// into a buffer on the stack, appended whenever it fills: each block is stored whole and the
// pointer advanced past its bytes up to the first rewritten one, whose replacement is stored next
// as eight bytes. A step writes at most 24 bytes (16 kept, or 15 kept and 8 of a replacement).
// The last bytes, fewer than a block, are written one at a time as their replacements (a byte
// kept is its own), each stored as eight bytes. Most texts hold no byte to rewrite, so this part
// stays out of their way.
template <Markup markup>
[[gnu::noinline]] void escape_rest(const unsigned char* bytes, std::size_t i, std::size_t size,
                                   std::string& out) {
  const ReplacementTable& table = table_of<markup>();
  constexpr std::size_t kBufferSize = 1024;
  constexpr std::size_t kLongestStep = 24;
  // The tail writes at most 15 replacements of up to six bytes, the last stored as eight.
  constexpr std::size_t kLongestTail = 15 * 6 + 8;
  static_assert(kLongestTail <= kBufferSize);
  char buffer[kBufferSize];
  char* write = buffer;
  while (i + 16 <= size) {
    if (write > buffer + (kBufferSize - kLongestStep)) {
      out.append(buffer, write);
      write = buffer;
    }
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(write), chunk);
    const unsigned mask = rewritten_mask<markup>(chunk);
    if (mask == 0) {
      i += 16;
      write += 16;
      continue;
    }
    const auto kept = static_cast<std::size_t>(__builtin_ctz(mask));
    i += kept;
    write += kept;
    const Replacement& replacement = table[bytes[i]];
    std::memcpy(write, replacement.bytes, 8);
    write += replacement.size;
    ++i;
  }
  if (write > buffer + (kBufferSize - kLongestTail)) {
    out.append(buffer, write);
    write = buffer;
  }
  for (; i < size; ++i) {
    const Replacement& replacement = table[bytes[i]];
    std::memcpy(write, replacement.bytes, 8);
    write += replacement.size;
  }
  out.append(buffer, write);
}

template <Markup markup>
void escape_blockwise(std::string_view text, std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t first = first_rewritten<markup>(bytes, text.size());
  out.append(text.data(), first);
  if (first < text.size()) escape_rest<markup>(bytes, first, text.size(), out);
}

template <Markup markup>
void escape(std::string_view text, std::string& out) {
  escape_blockwise<markup>(text, out);
}

#else

template <Markup markup>
void escape(std::string_view text, std::string& out) {
  escape_bytewise<markup>(text, out);
}

#endif

}  // namespace

void percent_encode_byte(unsigned char byte, std::string& out) {
  constexpr char kHex[] = "0123456789ABCDEF";
  const char encoded[3] = {'%', kHex[byte >> 4], kHex[byte & 0xF]};
  out.append(encoded, 3);
}

bool url_percent_encodes(unsigned char byte) { return kUrl[byte].size == 3; }

void escape_text(std::string_view text, std::string& out) { escape<Markup::Text>(text, out); }

void escape_attr(std::string_view text, std::string& out) { escape<Markup::Attr>(text, out); }

void escape_url_attr(std::string_view url, std::string& out) { escape<Markup::Url>(url, out); }

std::string escape_fragment(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  escape_bytewise<Markup::Fragment>(text, out);
  return out;
}

void append_markup(std::string_view markup, std::string& out) {
  for (std::size_t nul = markup.find('\0'); nul != std::string_view::npos;
       nul = markup.find('\0')) {
    out.append(markup.data(), nul);
    out += kReplacementCharacter;
    markup.remove_prefix(nul + 1);
  }
  out += markup;
}

void percent_encode_char(char32_t c, std::string& out) {
  std::string encoded;
  utf8::encode(c, encoded);
  for (unsigned char byte : encoded) percent_encode_byte(byte, out);
}

void append_number(std::size_t value, std::string& out) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  // As a view: the pointer-pair overload of append goes through the general replace.
  out += std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
}

}  // namespace vedavi
