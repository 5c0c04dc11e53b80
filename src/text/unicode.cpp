// Unicode properties and case mapping over the generated tables of unicode_tables.inc.
#include "text/unicode.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/utf8.h"

#include "text/unicode_tables.inc"

namespace vedavi::unicode {
namespace {

using tables::Record;

const Record& record(char32_t cp) {
  if (cp > 0x10FFFF) return tables::kRecords[0];
  const unsigned block = tables::kBlockOf[cp >> tables::kShift];
  const unsigned offset = cp & ((1u << tables::kShift) - 1);
  return tables::kRecords[tables::kStage2[(block << tables::kShift) | offset]];
}

bool has(char32_t cp, std::uint16_t flag) { return (record(cp).flags & flag) != 0; }

// The full mapping of `cp` in one of the generated key/value tables; appends it as UTF-8.
// Callers check the record's kHasLower/kHasUpper flag first, so a miss here is not expected,
// but a character without an entry maps to itself.
template <std::size_t N, std::size_t M>
void append_mapping(char32_t cp, const char32_t (&keys)[N], const char32_t (&values)[N],
                    const char32_t (&multi)[M][tables::kMaxMappingLength], std::string& out) {
  const char32_t* it = std::lower_bound(std::begin(keys), std::end(keys), cp);
  if (it == std::end(keys) || *it != cp) {
    utf8::encode(cp, out);
    return;
  }
  const char32_t value = values[it - std::begin(keys)];
  if ((value & tables::kMultiBit) == 0) {
    utf8::encode(value, out);
    return;
  }
  for (char32_t c : multi[value & ~tables::kMultiBit]) {
    if (c == 0) break;
    utf8::encode(c, out);
  }
}

// Whether, skipping case-ignorable characters, the next character in the given direction is
// cased. Each scan stops at the first character that is not case-ignorable, and a capital
// sigma is not case-ignorable, so the scans of all sigmas of a string together stay linear.
bool cased_before(std::string_view s, std::size_t pos) {
  while (pos > 0) {
    const std::size_t start = utf8::prev_boundary(s, pos);
    const utf8::Decoded d = utf8::decode(s, start);
    const char32_t cp = start + d.len == pos ? d.cp : utf8::kReplacement;
    if (!is_case_ignorable(cp)) return is_cased(cp);
    pos = start;
  }
  return false;
}

bool cased_after(std::string_view s, std::size_t pos) {
  while (pos < s.size()) {
    const utf8::Decoded d = utf8::decode(s, pos);
    if (!is_case_ignorable(d.cp)) return is_cased(d.cp);
    pos += d.len;
  }
  return false;
}

constexpr char32_t kCapitalSigma = 0x03A3;
constexpr char32_t kSmallSigma = 0x03C3;
constexpr char32_t kFinalSigma = 0x03C2;

// The character at `pos` (`pos < s.size()`): its length, and whether it is white space.
// Ill-formed bytes are never white space.
struct CharClass {
  std::size_t len;
  bool is_white;
};

CharClass classify(std::string_view s, std::size_t pos) {
  const unsigned char b = static_cast<unsigned char>(s[pos]);
  if (b < 0x80) return {1, is_white_space(b)};
  const utf8::Decoded d = utf8::decode(s, pos);
  return {d.len, d.valid && is_white_space(d.cp)};
}

// Calls `visit` with each maximal run of non-white-space characters, in order.
template <typename Visit>
void for_each_word(std::string_view s, Visit visit) {
  std::size_t begin = 0;
  bool in_word = false;
  for (std::size_t i = 0; i < s.size();) {
    const CharClass c = classify(s, i);
    if (c.is_white && in_word) visit(s.substr(begin, i - begin));
    if (!c.is_white && !in_word) begin = i;
    in_word = !c.is_white;
    i += c.len;
  }
  if (in_word) visit(s.substr(begin));
}

}  // namespace

GeneralCategory general_category(char32_t cp) {
  return static_cast<GeneralCategory>(record(cp).category);
}

bool is_punctuation(char32_t cp) {
  const auto c = general_category(cp);
  return c >= GeneralCategory::Pc && c <= GeneralCategory::Po;
}

bool is_letter(char32_t cp) {
  const auto c = general_category(cp);
  return c >= GeneralCategory::Lu && c <= GeneralCategory::Lo;
}

bool is_mark(char32_t cp) {
  const auto c = general_category(cp);
  return c >= GeneralCategory::Mn && c <= GeneralCategory::Me;
}

bool is_number(char32_t cp) {
  const auto c = general_category(cp);
  return c >= GeneralCategory::Nd && c <= GeneralCategory::No;
}

bool is_white_space(char32_t cp) {
  if (cp < 0x80) return cp == ' ' || (cp >= '\t' && cp <= '\r');
  return has(cp, tables::kWhiteSpace);
}

bool is_alphabetic(char32_t cp) { return has(cp, tables::kAlphabetic); }
bool is_alphanumeric(char32_t cp) { return is_alphabetic(cp) || is_number(cp); }
bool is_lowercase(char32_t cp) { return has(cp, tables::kLowercase); }
bool is_uppercase(char32_t cp) { return has(cp, tables::kUppercase); }
bool is_cased(char32_t cp) { return has(cp, tables::kCased); }
bool is_case_ignorable(char32_t cp) { return has(cp, tables::kCaseIgnorable); }
bool is_grapheme_extend(char32_t cp) { return has(cp, tables::kGraphemeExtend); }

void append_lowercase_char(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp));
  } else if (has(cp, tables::kHasLower)) {
    append_mapping(cp, tables::kLowerKeys, tables::kLowerValues, tables::kLowerMulti, out);
  } else {
    utf8::encode(cp, out);
  }
}

void append_uppercase(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp >= 'a' && cp <= 'z' ? cp - ('a' - 'A') : cp));
  } else if (has(cp, tables::kHasUpper)) {
    append_mapping(cp, tables::kUpperKeys, tables::kUpperValues, tables::kUpperMulti, out);
  } else {
    utf8::encode(cp, out);
  }
}

// Characters without a mapping and ill-formed bytes are copied as they stand, so case mapping
// never loses data.
// No reserve here: callers append many small pieces to one string, and an exact reserve per
// piece would defeat the string's geometric growth.
void append_lowercase(std::string_view s, std::string& out) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b));
      ++i;
      continue;
    }
    const utf8::Decoded d = utf8::decode(s, i);
    if (!d.valid || !has(d.cp, tables::kHasLower)) {
      out.append(s.substr(i, d.len));
    } else if (d.cp == kCapitalSigma) {
      // Final_Sigma: a word-final capital sigma lowers to the final form.
      const bool is_final = cased_before(s, i) && !cased_after(s, i + d.len);
      utf8::encode(is_final ? kFinalSigma : kSmallSigma, out);
    } else {
      append_mapping(d.cp, tables::kLowerKeys, tables::kLowerValues, tables::kLowerMulti, out);
    }
    i += d.len;
  }
}

std::string to_lowercase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  append_lowercase(s, out);
  return out;
}

std::string to_uppercase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b));
      ++i;
      continue;
    }
    const utf8::Decoded d = utf8::decode(s, i);
    if (d.valid && has(d.cp, tables::kHasUpper)) {
      append_mapping(d.cp, tables::kUpperKeys, tables::kUpperValues, tables::kUpperMulti, out);
    } else {
      out.append(s.substr(i, d.len));
    }
    i += d.len;
  }
  return out;
}

std::string_view trim_start(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const CharClass c = classify(s, i);
    if (!c.is_white) break;
    i += c.len;
  }
  return s.substr(i);
}

std::string_view trim_end(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0) {
    const unsigned char b = static_cast<unsigned char>(s[end - 1]);
    if (b < 0x80) {
      if (!is_white_space(b)) break;
      --end;
      continue;
    }
    const std::size_t start = utf8::prev_boundary(s, end);
    const utf8::Decoded d = utf8::decode(s, start);
    if (!d.valid || start + d.len != end || !is_white_space(d.cp)) break;
    end = start;
  }
  return s.substr(0, end);
}

std::string_view trim(std::string_view s) { return trim_end(trim_start(s)); }

// Counts word starts (a non-white character after white space or at the start) without a branch
// per ASCII character: words and spaces alternate every few bytes, which a branch mispredicts.
std::size_t word_count(std::string_view s) {
  static constexpr auto kAsciiWhite = [] {
    std::array<std::uint8_t, 128> table{};
    for (char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[static_cast<unsigned char>(c)] = 1;
    return table;
  }();
  std::size_t words = 0;
  unsigned after_white = 1;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    unsigned is_white;
    if (b < 0x80) {
      is_white = kAsciiWhite[b];
      ++i;
    } else {
      const CharClass c = classify(s, i);
      is_white = c.is_white;
      i += c.len;
    }
    words += after_white & (is_white ^ 1u);
    after_white = is_white;
  }
  return words;
}

std::vector<std::string_view> split_white_space(std::string_view s) {
  std::vector<std::string_view> words;
  for_each_word(s, [&](std::string_view word) { words.push_back(word); });
  return words;
}

}  // namespace vedavi::unicode
