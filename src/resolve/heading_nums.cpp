// Heading numbering: scheme validation, counters, and the display and full-context numbers.
#include "resolve/heading_nums.h"

#include <array>
#include <charconv>

#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {

namespace {

constexpr std::array<std::string_view, 5> kFormatNames = {
    "decimal", "lowerLetter", "upperLetter", "lowerRoman", "upperRoman"};

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// Whether the debug form writes `cp` as a \u{..} escape: control, format, private-use,
// unassigned and separator characters (the plain space excepted), and combining characters that
// would otherwise attach to the quote or escape before them.
bool needs_unicode_escape(char32_t cp) {
  using unicode::GeneralCategory;
  if (cp == ' ') return false;
  if (unicode::is_grapheme_extend(cp)) return true;
  switch (unicode::general_category(cp)) {
    case GeneralCategory::Cc:
    case GeneralCategory::Cf:
    case GeneralCategory::Cs:
    case GeneralCategory::Co:
    case GeneralCategory::Cn:
    case GeneralCategory::Zl:
    case GeneralCategory::Zp:
    case GeneralCategory::Zs:
      return true;
    default:
      return false;
  }
}

// Appends `s` in double quotes with backslash escapes, the way the numbering messages quote the
// texts they name: \" \\ \0 \t \r \n, and \u{hex} for characters that would not show.
void append_debug_quoted(std::string_view s, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t pos = 0; pos < s.size();) {
    const utf8::Decoded d = utf8::decode(s, pos);
    const char32_t cp = d.valid ? d.cp : utf8::kReplacement;
    switch (cp) {
      case '\0': out += "\\0"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (needs_unicode_escape(cp)) {
          out += "\\u{";
          int shift = 20;
          while (shift > 0 && ((cp >> shift) & 0xF) == 0) shift -= 4;
          for (; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 0xF];
          out += '}';
        } else if (d.valid) {
          out.append(s.substr(pos, d.len));
        } else {
          utf8::encode(utf8::kReplacement, out);
        }
    }
    pos += d.len;
  }
  out += '"';
}

[[gnu::cold]] Failure unknown_num_fmt(std::string_view num_fmt) {
  std::string message = "unknown numFmt ";
  append_debug_quoted(num_fmt, message);
  return {std::move(message)};
}

[[gnu::cold]] Failure reference_beyond_scheme(std::string_view lvl_text, int digit) {
  std::string message = "lvlText ";
  append_debug_quoted(lvl_text, message);
  message += " references level %";
  message += static_cast<char>('0' + digit);
  message += " beyond the scheme";
  return {std::move(message)};
}

// The first level reference of `lvl_text` past `level_count`, scanning as the scheme is read:
// a "%" takes the character after it, whatever it is, so "%%9" hides its "%9".
std::optional<int> reference_beyond(std::string_view lvl_text, std::size_t level_count) {
  for (std::size_t i = 0; i < lvl_text.size(); ++i) {
    if (lvl_text[i] != '%' || i + 1 >= lvl_text.size()) continue;
    ++i;
    if (!is_ascii_digit(lvl_text[i])) continue;
    const int digit = lvl_text[i] - '0';
    if (static_cast<std::size_t>(digit) > level_count) return digit;
  }
  return std::nullopt;
}

void append_letters(std::uint32_t n, char first, std::string& out) {
  if (n == 0) return;
  const std::uint32_t letter = (n - 1) % 26;
  const std::uint32_t repeat = (n - 1) / 26 + 1;
  out.append(repeat, static_cast<char>(first + letter));
}

void append_roman(std::uint32_t n, bool upper, std::string& out) {
  struct Numeral {
    std::uint32_t value;
    std::string_view lower, upper;
  };
  static constexpr Numeral kNumerals[] = {
      {1000, "m", "M"}, {900, "cm", "CM"}, {500, "d", "D"}, {400, "cd", "CD"}, {100, "c", "C"},
      {90, "xc", "XC"}, {50, "l", "L"},    {40, "xl", "XL"}, {10, "x", "X"},   {9, "ix", "IX"},
      {5, "v", "V"},    {4, "iv", "IV"},   {1, "i", "I"}};
  for (const Numeral& numeral : kNumerals) {
    const std::string_view text = upper ? numeral.upper : numeral.lower;
    for (; n >= numeral.value; n -= numeral.value) out.append(text);
  }
}

std::vector<LevelSpec> decimal_levels() {
  std::vector<LevelSpec> levels;
  std::string lvl_text;
  for (int level = 0; level < 7; ++level) {
    levels.emplace_back(lvl_text, "decimal");
    lvl_text += '%';
    lvl_text += static_cast<char>('2' + level);
    lvl_text += '.';
  }
  return levels;
}

std::vector<LevelSpec> legal_levels() {
  return {{"", "decimal"},           {"%2.", "decimal"},        {"(%3)", "lowerLetter"},
          {"(%4)", "lowerRoman"},    {"(%5)", "upperLetter"},   {"(%6)", "upperRoman"},
          {"(%7)", "decimal"}};
}

}  // namespace

std::string_view num_format_name(NumFormat format) {
  return kFormatNames[static_cast<std::size_t>(format)];
}

std::optional<NumFormat> num_format_named(std::string_view name) {
  for (std::size_t i = 0; i < kFormatNames.size(); ++i) {
    if (kFormatNames[i] == name) return static_cast<NumFormat>(i);
  }
  return std::nullopt;
}

void append_formatted(std::uint32_t n, NumFormat format, std::string& out) {
  switch (format) {
    case NumFormat::Decimal: {
      char digits[10];
      const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
      out.append(digits, end);
      return;
    }
    case NumFormat::LowerLetter: return append_letters(n, 'a', out);
    case NumFormat::UpperLetter: return append_letters(n, 'A', out);
    case NumFormat::LowerRoman: return append_roman(n, false, out);
    case NumFormat::UpperRoman: return append_roman(n, true, out);
  }
}

Outcome<HeadingNums> HeadingNums::create(const std::vector<LevelSpec>& levels) {
  std::vector<NumberingLevel> checked;
  checked.reserve(levels.size());
  for (const auto& [lvl_text, num_fmt] : levels) {
    const std::optional<NumFormat> format = num_format_named(num_fmt);
    if (!format) return unknown_num_fmt(num_fmt);
    if (const auto digit = reference_beyond(lvl_text, levels.size())) {
      return reference_beyond_scheme(lvl_text, *digit);
    }
    checked.push_back({lvl_text, *format});
  }
  return HeadingNums(std::move(checked));
}

Outcome<HeadingNums> HeadingNums::named(std::string_view name) {
  for (const NamedScheme& scheme : schemes()) {
    if (scheme.name == name) return create(scheme.levels);
  }
  return Failure{"unknown numbering scheme '" + std::string(name) + "'"};
}

bool HeadingNums::advance(std::size_t level) {
  if (level >= counters_.size()) return false;
  // Saturates rather than wrapping: a heading count past 2^32 - 1 must not restart at 0.
  if (counters_[level] != UINT32_MAX) ++counters_[level];
  for (std::size_t deeper = level + 1; deeper < counters_.size(); ++deeper) counters_[deeper] = 0;
  return true;
}

void HeadingNums::append_display(std::size_t level, std::string& out) const {
  const std::string_view text = levels_[level].lvl_text;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t percent = text.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(text.substr(i));
      return;
    }
    out.append(text.substr(i, percent - i));
    i = percent + 1;
    if (i < text.size() && is_ascii_digit(text[i])) {
      const std::size_t referenced = static_cast<std::size_t>(text[i] - '0');
      if (referenced >= 1 && referenced <= levels_.size()) {
        append_formatted(counters_[referenced - 1], levels_[referenced - 1].num_fmt, out);
      }
      ++i;
    } else {
      // A "%" before anything but a digit stands for itself; what follows is read afresh, so
      // "%%2" is a "%" and a reference.
      out += '%';
    }
  }
}

std::string HeadingNums::display(std::size_t level) const {
  std::string out;
  if (level < levels_.size()) append_display(level, out);
  return out;
}

std::string HeadingNums::full(std::size_t level) const {
  std::string out;
  if (level >= levels_.size()) return out;
  if (levels_[level].lvl_text.find("%2") != std::string::npos) {
    append_display(level, out);
    return out;
  }
  for (std::size_t ancestor = 0; ancestor <= level; ++ancestor) append_display(ancestor, out);
  return out;
}

std::optional<Failure> HeadingNums::check_level(std::size_t level) const {
  if (level < levels_.size()) return std::nullopt;
  std::string message = "level " + std::to_string(level) + " is beyond the numbering scheme, ";
  if (levels_.empty()) {
    message += "which has no levels";
  } else {
    message += "whose levels are 0 to " + std::to_string(levels_.size() - 1);
  }
  return Failure{std::move(message)};
}

const std::vector<NamedScheme>& schemes() {
  static const std::vector<NamedScheme> built_in = {{"decimal", decimal_levels()},
                                                    {"legal", legal_levels()}};
  return built_in;
}

}  // namespace vedavi
