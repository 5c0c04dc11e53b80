// Character references after "&": named ones by longest match (with the legacy forms that need
// no ";"), decimal and hexadecimal ones with the WHATWG replacements for code points that
// may not appear.
#include <array>

#include "html5/named_entities.h"
#include "html5/tokenizer_machine.h"
#include "text/utf8.h"

namespace html5::detail {
namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;

// What numeric references to the C1 controls 0x80-0x9F mean: the windows-1252 character of that
// byte (0 where the byte has none and the code point stays).
constexpr std::array<char16_t, 32> kC1Replacements = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 0x98
};

bool is_noncharacter(char32_t cp) {
  return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
}

bool is_control(char32_t cp) { return cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F); }

bool is_ascii_whitespace(char32_t cp) { return cp == '\t' || cp == '\n' || cp == '\f' || cp == '\r' || cp == ' '; }

int hex_value(unsigned char c) {
  if (is_ascii_digit(c)) return c - '0';
  const unsigned char lower = static_cast<unsigned char>(c | 0x20);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

void add_error(CharRefResult& result, TokenizerError error, std::size_t offset) {
  if (result.error_count == 2) return;
  result.errors[result.error_count] = error;
  result.error_offsets[result.error_count++] = offset;
}

void set_text(CharRefResult& result, std::string_view utf8) {
  result.matched = true;
  result.ref.size = static_cast<std::uint8_t>(utf8.size());
  for (std::size_t i = 0; i < utf8.size() && i < sizeof result.ref.text; ++i) result.ref.text[i] = utf8[i];
}

// `pos` is just past "&#".
CharRefResult match_numeric(std::string_view in, std::size_t pos) {
  CharRefResult result;
  const bool hex = pos < in.size() && (in[pos] == 'x' || in[pos] == 'X');
  std::size_t end = hex ? pos + 1 : pos;
  char32_t cp = 0;
  const std::size_t digits_begin = end;
  for (; end < in.size(); ++end) {
    const unsigned char c = static_cast<unsigned char>(in[end]);
    const int digit = hex ? hex_value(c) : is_ascii_digit(c) ? c - '0' : -1;
    if (digit < 0) break;
    // Past the last code point the value no longer matters; stop it growing.
    cp = cp > kMaxCodePoint ? cp : cp * (hex ? 16 : 10) + static_cast<char32_t>(digit);
  }
  if (end == digits_begin) {
    add_error(result, TokenizerError::AbsenceOfDigitsInNumericCharacterReference, end);
    return result;  // "&#" or "&#x" stands as written
  }
  // The character the remaining checks are about: the ";", or the one that should have been.
  const std::size_t last = end;
  if (end < in.size() && in[end] == ';') {
    ++end;
  } else {
    add_error(result, TokenizerError::MissingSemicolonAfterCharacterReference, last);
  }
  if (cp == 0) {
    add_error(result, TokenizerError::NullCharacterReference, last);
    cp = vedavi::utf8::kReplacement;
  } else if (cp > kMaxCodePoint) {
    add_error(result, TokenizerError::CharacterReferenceOutsideUnicodeRange, last);
    cp = vedavi::utf8::kReplacement;
  } else if (cp >= 0xD800 && cp <= 0xDFFF) {
    add_error(result, TokenizerError::SurrogateCharacterReference, last);
    cp = vedavi::utf8::kReplacement;
  } else if (is_noncharacter(cp)) {
    add_error(result, TokenizerError::NoncharacterCharacterReference, last);
  } else if (cp == 0x0D || (is_control(cp) && !is_ascii_whitespace(cp))) {
    add_error(result, TokenizerError::ControlCharacterReference, last);
    if (cp >= 0x80 && cp <= 0x9F && kC1Replacements[cp - 0x80] != 0) cp = kC1Replacements[cp - 0x80];
  }
  std::string utf8_text;
  vedavi::utf8::encode(cp, utf8_text);
  set_text(result, utf8_text);
  result.ref.end = end;
  return result;
}

// `pos` is just past "&" and holds an ASCII letter or digit.
CharRefResult match_named(std::string_view in, std::size_t pos, bool in_attribute) {
  CharRefResult result;
  const NamedEntity* entity = longest_named_entity_prefix(in.substr(pos));
  if (entity == nullptr) {
    // Letters and digits that name nothing stay text; before ";" they are an error.
    std::size_t end = pos;
    while (end < in.size() && is_ascii_alnum(static_cast<unsigned char>(in[end]))) ++end;
    if (end < in.size() && in[end] == ';') add_error(result, TokenizerError::UnknownNamedCharacterReference, end);
    return result;
  }
  const std::size_t end = pos + entity->name.size();
  if (!entity->name.ends_with(';')) {
    // In attribute values "&copy=..." and "&copyx" stay as written, for the sake of old URLs.
    if (in_attribute && end < in.size() && (in[end] == '=' || is_ascii_alnum(static_cast<unsigned char>(in[end])))) {
      return result;
    }
    add_error(result, TokenizerError::MissingSemicolonAfterCharacterReference, end - 1);
  }
  set_text(result, entity->value);
  result.ref.end = end;
  return result;
}

}  // namespace

CharRefResult match_char_ref(std::string_view in, std::size_t pos, bool in_attribute) {
  if (pos >= in.size()) return {};
  const unsigned char c = static_cast<unsigned char>(in[pos]);
  if (c == '#') return match_numeric(in, pos + 1);
  if (is_ascii_alnum(c)) return match_named(in, pos, in_attribute);
  return {};
}

}  // namespace html5::detail
