// Unicode character properties and case mapping, from tables generated out of the Unicode
// Character Database (see tools/gen_unicode_tables.py).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vedavi::unicode {

enum class GeneralCategory : std::uint8_t {
  Lu, Ll, Lt, Lm, Lo,      // letters
  Mn, Mc, Me,              // marks
  Nd, Nl, No,              // numbers
  Pc, Pd, Ps, Pe, Pi, Pf, Po,  // punctuation
  Sm, Sc, Sk, So,          // symbols
  Zs, Zl, Zp,              // separators
  Cc, Cf, Cs, Co, Cn,      // other (Cn: unassigned)
};

GeneralCategory general_category(char32_t cp);

// General category P* (Pc Pd Ps Pe Pi Pf Po). Symbols (S*) are not punctuation.
bool is_punctuation(char32_t cp);
// Category L* / M* / N*.
bool is_letter(char32_t cp);
bool is_mark(char32_t cp);
bool is_number(char32_t cp);  // Nd, Nl or No: what "numeric" means for a character

// Binary properties.
bool is_white_space(char32_t cp);  // White_Space: exactly 25 code points
bool is_alphabetic(char32_t cp);   // Alphabetic (derived)
bool is_alphanumeric(char32_t cp);  // Alphabetic or numeric
bool is_lowercase(char32_t cp);    // Lowercase (derived)
bool is_uppercase(char32_t cp);    // Uppercase (derived)
bool is_cased(char32_t cp);
bool is_case_ignorable(char32_t cp);
bool is_grapheme_extend(char32_t cp);

// The white-space sets the dialect distinguishes; keep them apart.
inline bool is_ascii_white_space(char32_t cp) {  // TAB LF FF CR SP (no VT)
  return cp == ' ' || cp == '\t' || cp == '\n' || cp == '\f' || cp == '\r';
}
inline bool is_space_or_tab(char32_t cp) { return cp == ' ' || cp == '\t'; }

// Full case mapping. Lowercasing a string applies the unconditional SpecialCasing entries
// (U+0130 -> "i" U+0307) and the Final_Sigma rule (capital sigma at a word end -> U+03C2).
void append_lowercase(std::string_view s, std::string& out);
std::string to_lowercase(std::string_view s);
// Full uppercase of one character (U+00DF -> "SS").
void append_uppercase(char32_t cp, std::string& out);
std::string to_uppercase(std::string_view s);
// Full lowercase of one character, without context (capital sigma -> small sigma).
void append_lowercase_char(char32_t cp, std::string& out);

// Trimming and splitting by Unicode White_Space.
std::string_view trim(std::string_view s);
std::string_view trim_start(std::string_view s);
std::string_view trim_end(std::string_view s);
// Number of maximal runs of non-white-space characters.
std::size_t word_count(std::string_view s);
// Those runs, in order: the text split at runs of white space, with no empty pieces.
std::vector<std::string_view> split_white_space(std::string_view s);

}  // namespace vedavi::unicode
