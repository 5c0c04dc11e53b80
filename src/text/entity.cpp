// Character references and backslash escapes.
#include "text/entity.h"

#include "html5/named_entities.h"
#include "text/scan.h"
#include "text/utf8.h"

namespace vedavi::entity {
namespace {

// Longer than every name of the WHATWG table; bounds the look-ahead of one "&" so decoding
// stays linear.
constexpr std::size_t kMaxNameLength = 48;

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A numeric reference "&#...;" or "&#x...;" at `amp`: appends its character and returns the
// length read, or 0 when there is none. Any number of digits is accepted; the value saturates,
// and 0, surrogates and values past U+10FFFF give U+FFFD.
std::size_t decode_numeric(std::string_view text, std::size_t amp, std::string& out) {
  std::size_t i = amp + 2;
  const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
  if (hex) ++i;
  const std::size_t digits_begin = i;
  char32_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? hex_value(text[i]) : (scan::is_ascii_digit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) break;
    value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
  }
  if (i == digits_begin || i >= text.size() || text[i] != ';') return 0;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = utf8::kReplacement;
  utf8::encode(value, out);
  return i + 1 - amp;
}

// A named reference "&name;" at `amp`: appends its value and returns the length read, or 0.
std::size_t decode_named(std::string_view text, std::size_t amp, std::string& out) {
  std::size_t i = amp + 1;
  const std::size_t limit = std::min(text.size(), amp + 1 + kMaxNameLength);
  while (i < limit && scan::is_ascii_alnum(text[i])) ++i;
  if (i == amp + 1 || i >= text.size() || text[i] != ';') return 0;
  const html5::NamedEntity* entity = html5::find_named_entity(text.substr(amp + 1, i + 1 - (amp + 1)));
  if (!entity) return 0;
  out += entity->value;
  return i + 1 - amp;
}

}  // namespace

void append_decoded_entities(std::string_view text, std::string& out) {
  std::size_t copied = 0;
  std::size_t amp = text.find('&');
  while (amp != std::string_view::npos) {
    out.append(text, copied, amp - copied);
    std::size_t used = 0;
    if (amp + 1 < text.size()) {
      used = text[amp + 1] == '#' ? decode_numeric(text, amp, out) : decode_named(text, amp, out);
    }
    if (used == 0) {
      out += '&';  // starts no reference: stays, and scanning resumes right after it
      used = 1;
    }
    copied = amp + used;
    amp = text.find('&', copied);
  }
  out.append(text, copied);
}

std::string decode_entities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_decoded_entities(text, out);
  return out;
}

void append_unescaped_punctuation(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() &&
        scan::is_ascii_punctuation(static_cast<unsigned char>(text[i + 1]))) {
      ++i;
    }
    out += text[i];
  }
}

std::string unescape_backslash_punctuation(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_unescaped_punctuation(text, out);
  return out;
}

}  // namespace vedavi::entity
