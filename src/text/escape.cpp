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

#include "text/escape_scan.h"
#include "text/utf8.h"

namespace vedavi {
namespace {

using escape_scan::Markup;
#if defined(__SSE2__)
using escape_scan::first_rewritten;
using escape_scan::rewritten_mask;
#endif

// The bytes one input byte is written as, padded to eight so that a single fixed-size copy
// writes any of them; `size` is 1 for a byte copied as it is.
struct Replacement {
  char bytes[7] = {};
  std::uint8_t size = 1;
};

using ReplacementTable = std::array<Replacement, 256>;

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

// Writes the escaped text from `i`, a rewritten byte, on. The text is written through a pointer
// into a buffer on the stack, appended whenever it fills: each block is stored whole and the
// pointer advanced past its bytes up to the first rewritten one, whose replacement is stored next
// as eight bytes. A step writes at most 24 bytes (16 kept, or 15 kept and 8 of a replacement).
// The last bytes, fewer than a block, are written one at a time as their replacements (a byte
// kept is its own), each stored as eight bytes. Most texts hold no byte to rewrite, so this part
// stays out of their way. Aligned to a cache line: its loop is the hot spot of texts with much to
// escape (code), and its speed should not depend on where the code before it happens to end.
template <Markup markup>
[[gnu::noinline, gnu::aligned(64)]] void escape_rest(const unsigned char* bytes, std::size_t i, std::size_t size,
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
bool escape_blockwise(std::string_view text, std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t first = first_rewritten<markup>(bytes, text.size());
  out.append(text.data(), first);
  if (first == text.size()) return true;
  escape_rest<markup>(bytes, first, text.size(), out);
  return false;
}

template <Markup markup>
bool escape(std::string_view text, std::string& out) {
  return escape_blockwise<markup>(text, out);
}

#else

template <Markup markup>
bool escape(std::string_view text, std::string& out) {
  const std::size_t before = out.size();
  escape_bytewise<markup>(text, out);
  return out.size() - before == text.size();
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

namespace {

// Escapes `text` from `first` on, its first byte to escape: what comes before it was copied.
template <Markup M>
void escape_from(std::string_view text, std::size_t first, std::string& out) {
#if defined(__SSE2__)
  escape_rest<M>(reinterpret_cast<const unsigned char*>(text.data()), first, text.size(), out);
#else
  escape_bytewise<M>(text.substr(first), out);
#endif
}

}  // namespace

void escape_text_from(std::string_view text, std::size_t first, std::string& out) {
  escape_from<Markup::Text>(text, first, out);
}

void escape_url_attr_from(std::string_view url, std::size_t first, std::string& out) {
  escape_from<Markup::Url>(url, first, out);
}

void escape_attr(std::string_view text, std::string& out) { escape<Markup::Attr>(text, out); }

bool escape_url_attr(std::string_view url, std::string& out) { return escape<Markup::Url>(url, out); }

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
