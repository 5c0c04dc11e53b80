// Bytes and characters: UTF-8 decoding, encoding and boundaries, character references, backslash
// escapes, the scanners for unescaped needles and HTML comment ends, Unicode properties and case
// mappings, and every code point against Python's unicodedata.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/cpp/support/helpers.h"
#include "text/entity.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {
namespace {

using unicode::GeneralCategory;

TEST(Utf8Decode, WellFormedAndIllFormedSequences) {
  struct Case { std::string_view bytes; char32_t cp; std::size_t len; };
  const Case cases[] = {  // cp U+FFFD: ill-formed, `len` bytes make the maximal subpart
      {"A", 'A', 1}, {std::string_view("\0", 1), 0, 1}, {"\x7F", 0x7F, 1}, {"\xC2\x80", 0x80, 2},
      {"\xDF\xBF", 0x7FF, 2}, {"\xE0\xA0\x80", 0x800, 3}, {"\xED\x9F\xBF", 0xD7FF, 3}, {"\xEE\x80\x80", 0xE000, 3},
      {"\xEF\xBF\xBF", 0xFFFF, 3}, {"\xF0\x90\x80\x80", 0x10000, 4}, {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      // Lone continuation bytes and bytes that never start a sequence (C0 and C1 would be overlong).
      {"\x80", 0xFFFD, 1}, {"\xBF", 0xFFFD, 1}, {"\xC0\x80", 0xFFFD, 1}, {"\xC1\xBF", 0xFFFD, 1},
      {"\xF5\x80\x80\x80", 0xFFFD, 1}, {"\xFF", 0xFFFD, 1},
      // Second byte out of the lead's range (overlong, surrogate, overlong, past U+10FFFF).
      {"\xE0\x9F\xBF", 0xFFFD, 1}, {"\xED\xA0\x80", 0xFFFD, 1}, {"\xF0\x8F\xBF\xBF", 0xFFFD, 1},
      {"\xF4\x90\x80\x80", 0xFFFD, 1},
      // Truncated sequences: the valid prefix is one subpart.
      {"\xC2", 0xFFFD, 1}, {"\xE2\x82", 0xFFFD, 2}, {"\xF0\x9F\x98", 0xFFFD, 3}, {"\xE2\x82" "A", 0xFFFD, 2},
      {"\xF0\x9F\x98" "A", 0xFFFD, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    const utf8::Decoded d = utf8::decode(c.bytes, 0);
    const bool valid = c.cp != 0xFFFD;
    EXPECT_EQ(std::tuple(d.cp, d.len, d.valid, utf8::is_valid(c.bytes)),
              std::tuple(c.cp, c.len, valid, valid && c.len == c.bytes.size()));
  }
}

TEST(Utf8Encode, EveryScalarValueRoundTripsOthersBecomeReplacement) {
  const auto encoded = [](char32_t cp) { std::string out; utf8::encode(cp, out); return out; };
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::string buf = encoded(cp);
    ASSERT_EQ(buf.size(), utf8::encoded_length(cp)) << unsigned(cp);
    const utf8::Decoded d = utf8::decode(buf, 0);
    ASSERT_TRUE(d.valid && d.cp == cp && d.len == buf.size()) << unsigned(cp);
  }
  for (char32_t cp : {0xD800u, 0xDFFFu, 0x110000u, 0xFFFFFFFFu}) EXPECT_EQ(encoded(cp), "\xEF\xBF\xBD") << unsigned(cp);
}

// The examples of "U+FFFD Substitution of Maximal Subparts" in chapter 3 of the Unicode standard.
TEST(Utf8DecodeLossy, OneReplacementPerMaximalSubpart) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""}, {"\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80", "\u00E9t\u00E9 \U0001F600"}, {"abc\xE2\x82", "abc\uFFFD"},
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", "a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
      {"\xC0\xAF\xE0\x80\xBF\xF0\x81\x82\x41", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA"},  // non-shortest
      {"\xED\xA0\x80\xED\xBF\xBF\xED\xAF\x41", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA"},  // surrogates
      {"\xF4\x91\x92\x93\xFF\x41\x80\xBF\x42", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDA\uFFFD\uFFFDB"},
      {"\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41", "\uFFFD\uFFFD\uFFFD\uFFFDA"},  // truncated
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(utf8::decode_lossy(bytes), expected) << testing::PrintToString(std::string(bytes));
  }
}

TEST(Utf8DecodeLossy, RandomBytesGiveValidTextAndValidTextIsKept) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  // Bias towards the bytes that make multi-byte sequences.
  const unsigned char interesting[] = {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC2, 0xDF,
                                       0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 'a'};
  for (int round = 0; round < 2000; ++round) {
    std::string s;
    for (int i = 0; i < round % 24; ++i) {
      const int b = byte(rng);
      s.push_back(static_cast<char>(b < 128 ? interesting[b % sizeof interesting] : b));
    }
    const std::string out = utf8::decode_lossy(s);
    ASSERT_TRUE(utf8::is_valid(out)) << testing::PrintToString(s);
    ASSERT_EQ(utf8::decode_lossy(out), out);
    if (utf8::is_valid(s)) { ASSERT_EQ(out, s); }
  }
}

TEST(Utf8Boundaries, StepForwardAndBack) {
  const std::string s = "a\xE2\x82\xAC\xF0\x9D\x84\x9E\xC3\xA9";  // a € 𝄞 é
  const std::vector<std::size_t> starts = {0, 1, 4, 8, 10};
  const std::u32string chars = U"a\u20AC\U0001D11E\u00E9";
  for (std::size_t pos = 0; pos <= s.size(); ++pos) {
    EXPECT_EQ(utf8::is_boundary(s, pos), std::find(starts.begin(), starts.end(), pos) != starts.end()) << pos;
  }
  std::size_t pos = s.size();
  for (std::size_t k = chars.size(); k > 0; --k) {
    EXPECT_EQ(utf8::prev_char(s, pos), chars[k - 1]);
    pos = utf8::prev_boundary(s, pos);
    EXPECT_EQ(pos, starts[k - 1]);
  }
  // Positions outside the text.
  EXPECT_EQ(utf8::prev_boundary(s, 0), 0u);
  EXPECT_EQ(utf8::prev_boundary(s, s.size() + 5), 8u);
  EXPECT_EQ(utf8::prev_char(s, s.size() + 5), 0xE9u);
  EXPECT_TRUE(utf8::is_boundary(s, s.size() + 5));
  EXPECT_EQ(utf8::char_count(s), 4u);
  EXPECT_EQ(utf8::char_count(""), 0u);
  // In ill-formed text a step back goes at most one character's worth, to a replacement character.
  const std::tuple<std::string_view, std::size_t, char32_t> ill_formed[] = {
      {"", 0, 0xFFFD}, {"\x80", 1, 0xFFFD}, {"a\xE2\x82", 3, 0xFFFD} /* truncated */, {"\x80\x80\x80\x80\x80\x80", 6, 0xFFFD},
      {"\xE2\x82\xAC", 2, 0xFFFD} /* inside a character */, {"\xE2\x82\xAC", 3, 0x20AC}};
  for (const auto& [bytes, pos, expected] : ill_formed) {
    EXPECT_EQ(utf8::prev_char(bytes, pos), expected) << testing::PrintToString(std::string(bytes));
    const std::size_t start = utf8::prev_boundary(bytes, pos);
    EXPECT_TRUE(pos == 0 || (start < pos && start + 4 >= pos)) << start;
  }
}

TEST(DecodeEntities, NumericAndNamedReferences) {
  const std::pair<std::string, std::string> cases[] = {
      {"&#0;", "\uFFFD"}, {"&#x41;&#X41;&#65;", "AAA"}, {"&#x6f;&#xaf;", "o\u00AF"}, {"&#65", "&#65"}, {"&#0000065;", "A"},
      {"&#1234567;", "\uFFFD"},  // seven digits decode; past U+10FFFF
      {"&#00000000;", "\uFFFD"}, {"&#000000065;", "A"},  // any length, and never U+0000
      {"&#x10FFFF;", "\U0010FFFF"}, {"&#x110000;", "\uFFFD"}, {"&#xD800;", "\uFFFD"},
      {"&#xFFFFFFFFFFFFFFFFFFFF;", "\uFFFD"},  // saturates, no overflow
      {"&#;", "&#;"}, {"&#x;", "&#x;"}, {"&#xg;", "&#xg;"}, {"&#12a;", "&#12a;"},
      {"&#38;amp;", "&amp;"}, {"&#38;lt;", "&lt;"},  // decoded characters are final
      {"&amp;", "&"}, {"&copy;", "\u00A9"}, {"&copy", "&copy"} /* legacy forms need the ";" */, {"&amp", "&amp"},
      {"&nbsp;&NotEqualTilde;", "\u00A0\u2242\u0338"}, {"&ThickSpace;", "\u205F\u200A"},
      {"&CounterClockwiseContourIntegral;", "\u2233"}, {"&ngE;", "\u2267\u0338"}, {"&fjlig;", "fj"},
      {"&bogus;", "&bogus;"}, {"&AMP;", "&"}, {"&Amp;", "&Amp;"} /* case-sensitive */,
      {"R&D &amp;", "R&D &"} /* a failed "&" swallows nothing */, {"a & b; &lt;", "a & b; <"},
      {"&&amp;;", "&&;"}, {"&", "&"}, {"x&", "x&"}, {"&;", "&;"}, {"&am&amp;", "&am&"},
      {"no references", "no references"}, {"", ""},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(entity::decode_entities(input), expected) << input;
}

TEST(DecodeEntities, LinearOnLongInputs) {
  // Long runs that start references and never finish them.
  for (const std::string& text : {test::repeat("&abcd", 200'000), "&#" + std::string(1'000'000, '9'),
                                  "&" + std::string(1'000'000, 'a') + ";", std::string(1'000'000, '&')}) {
    EXPECT_EQ(entity::decode_entities(text), text);
  }
}

TEST(UnescapePunctuation, Cases) {
  const std::pair<std::string, std::string> cases[] = {
      {"\\*", "*"}, {"\\a", "\\a"}, {"\\\\", "\\"}, {"\\\\\\*", "\\*"}, {"x\\", "x\\"}, {"\\é", "\\é"}, {"\\{\\}\\~\\`", "{}~`"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(entity::unescape_backslash_punctuation(input), expected) << input;
}

TEST(FindUnescaped, Cases) {
  struct Case { std::string text; std::size_t start; std::string needle; std::optional<std::size_t> expected; };
  const Case cases[] = {
      {"\\$$ $$", 0, "$$", 4}, {"\\$$$$", 0, "$$", 2}, {"\\\\]", 0, "\\]", std::nullopt}, {"ab\\]", 0, "\\]", 2},
      {"$$", 2, "$$", std::nullopt}, {"$$", 5, "$$", std::nullopt}, {"\\\\$$", 0, "$$", 2}, {"é$$", 0, "$$", 2},
      {"a\\)", 1, "\\)", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::find_unescaped(c.text, c.start, c.needle), c.expected) << c.text;
}

// Where an HTML comment ends: as an HTML5 tokenizer ends it, so nothing after it hides inside it.
TEST(HtmlCommentEnd, EndsWhereAnHtml5TokenizerEndsIt) {
  struct Case { std::string_view text; std::size_t lt; std::optional<std::size_t> end; };
  const Case cases[] = {
      {"<!-->x", 0, 5}, {"<!--->x", 0, 6}, {"x<!-->", 1, 6}, {"<!---->", 0, 7},  // empty comments close at once
      {"<!-- a -->", 0, 10}, {"<!-- a --!> b -->", 0, 11}, {"<!-- a ---!>", 0, 12},  // "--!>" ends it too
      {"<!--!> a", 0, std::nullopt}, {"<!---!> a", 0, std::nullopt},  // "--!>" needs its own dashes
      {"<!-- a -- > b", 0, std::nullopt}, {"<!-- a --\n> b", 0, std::nullopt}, {"<!-- a", 0, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::html_comment_end(c.text, c.lt), c.end) << c.text;
}

const std::vector<char32_t> kWhiteSpace = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
                                          0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                          0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};

TEST(WhiteSpace, ExactlyTheTwentyFiveCodePoints) {
  std::vector<char32_t> found;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (unicode::is_white_space(cp)) found.push_back(cp);
  }
  EXPECT_EQ(found, kWhiteSpace);
}

TEST(Lowercase, IllFormedBytesAreKeptAndSigmasStayLinear) {
  EXPECT_EQ(unicode::to_lowercase("A\xFF" "B\xC3"), "a\xFF" "b\xC3");
  EXPECT_EQ(unicode::to_uppercase("a\x80\xE2\x82" "b"), "A\x80\xE2\x82" "B");
  EXPECT_EQ(unicode::to_lowercase("A\xFF\xCE\xA3"), "a\xFF\xCF\x83");  // no cased letter right before
  // Many sigmas stay linear: each scans only the case-ignorable run next to it.
  const int n = 200000;
  EXPECT_EQ(unicode::to_lowercase(test::repeat("\u03A3'", n)), "\u03C3'" + test::repeat("\u03C3'", n - 2) + "\u03C2'");
  const std::string run(n, '\'');
  EXPECT_EQ(unicode::to_lowercase("A" + run + "\u03A3" + run), "a" + run + "\u03C2" + run);
}

TEST(Trim, ByUnicodeWhiteSpace) {
  struct Case { std::string_view in, start, end, both; };
  const Case cases[] = {
      {"", "", "", ""}, {" \t\n", "", "", ""}, {"a", "a", "a", "a"},
      {" \u00A0a b\u3000\u0085", "a b\u3000\u0085", " \u00A0a b", "a b"},
      {"\u2029\u000Bx\u000B", "x\u000B", "\u2029\u000Bx", "x"},
      {"\u200Bx\uFEFF", "\u200Bx\uFEFF", "\u200Bx\uFEFF", "\u200Bx\uFEFF"},
      {"\u001Cx\u001F", "\u001Cx\u001F", "\u001Cx\u001F", "\u001Cx\u001F"},
      {" \x80 ", "\x80 ", " \x80", "\x80"}, {" \xE3\x80 ", "\xE3\x80 ", " \xE3\x80", "\xE3\x80"},  // ill-formed bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unicode::trim_start(c.in), c.start) << c.in;
    EXPECT_EQ(unicode::trim_end(c.in), c.end) << c.in;
    EXPECT_EQ(unicode::trim(c.in), c.both) << c.in;
  }
}

TEST(WordCount, RunsOfNonWhiteSpace) {
  const std::pair<std::string_view, std::string_view> cases[] = {  // the words joined by "|"
      {"", ""}, {"   ", ""}, {"one", "one"}, {" one  two\tthree\n", "one|two|three"},
      {"a\u00A0b\u3000c\u2028d", "a|b|c|d"}, {"a\u200Bb", "a\u200Bb"} /* zero width space is not White_Space */,
      {"a\u000Bb\u0085c ", "a|b|c"}, {"\u00E9t\u00E9 \u00E0 Paris", "\u00E9t\u00E9|\u00E0|Paris"},
      {"\x80 a\xE2\x82", "\x80|a\xE2\x82"},  // ill-formed bytes belong to words
  };
  for (const auto& [in, expected] : cases) {
    const auto words = unicode::split_white_space(in);
    std::string joined;
    for (std::string_view word : words) joined += (joined.empty() ? "" : "|") + std::string(word);
    EXPECT_EQ(joined, expected) << in;
    EXPECT_EQ(unicode::word_count(in), words.size()) << in;
  }
}

// Against Python's unicodedata, an independent build of the Unicode Character Database. Prints the
// general categories as runs ("C first last Xx"), the code points whose str.lower() or str.upper()
// differ from themselves ("M cp lower upper", dot-separated hex), those of str.isspace() but U+001C
// to U+001F ("S cp"), and the lowercase of every string of one to four characters over an alphabet
// of capital sigmas, cased, case-ignorable and other characters ("L lower").
constexpr char kPythonDump[] = R"(python3 -c '
import itertools, unicodedata as u
hx = lambda s: ".".join(format(ord(c), "x") for c in s)
run, start = None, 0
for cp in range(0x110001):
    cat = u.category(chr(cp)) if cp <= 0x10FFFF else None
    if cat != run:
        if run is not None: print("C", start, cp - 1, run)
        run, start = cat, cp
for cp in range(0x110000):
    c = chr(cp)
    if u.category(c) in ("Cn", "Cs", "Co"): continue
    if c.lower() != c or c.upper() != c: print("M", cp, hx(c.lower()), hx(c.upper()))
    if c.isspace() and not 0x1C <= cp <= 0x1F: print("S", cp)
for n in range(1, 5):
    for t in itertools.product("\u03a3A\x27. \u03011\u02b0\u0345\u00c0", repeat=n): print("L", hx("".join(t).lower()))
' 2>/dev/null)";
constexpr std::string_view kSigmaAlphabet[] = {"\u03A3", "A", "'", ".", " ", "\u0301", "1", "\u02B0", "\u0345", "\u00C0"};

struct PythonData {
  std::vector<std::string> category = std::vector<std::string>(0x110000);
  std::map<char32_t, std::pair<std::string, std::string>> mappings;  // UTF-8 lower, upper
  std::vector<char32_t> spaces;
  std::vector<std::string> lowered;  // the short strings, in itertools.product order
};

std::string parse_hex_list(const std::string& text) {
  std::string out, item;
  std::stringstream in(text);
  while (std::getline(in, item, '.')) utf8::encode(static_cast<char32_t>(std::stoul(item, nullptr, 16)), out);
  return out;
}

bool load_python_data(PythonData& data) {
  FILE* pipe = popen(kPythonDump, "r");
  std::string text;
  char buf[1 << 16];
  for (std::size_t n; pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
  if (pipe == nullptr || pclose(pipe) != 0) return false;
  std::istringstream in(text);
  std::string tag, a, b;
  unsigned long cp, last;
  while (in >> tag) {
    if (tag == "C" && in >> cp >> last >> a && last < 0x110000) {
      std::fill(data.category.begin() + cp, data.category.begin() + last + 1, a);
    } else if (tag == "M" && in >> cp >> a >> b) {
      data.mappings[static_cast<char32_t>(cp)] = {parse_hex_list(a), parse_hex_list(b)};
    } else if (tag == "S" && in >> cp) {
      data.spaces.push_back(static_cast<char32_t>(cp));
    } else if (tag == "L" && in >> a) {
      data.lowered.push_back(parse_hex_list(a));
    } else {
      return false;
    }
  }
  return !data.category[0x10FFFF].empty();
}

// The data, or nothing when python3 with unicodedata is not available.
const PythonData* python() {
  static const std::unique_ptr<PythonData> data = [] {
    auto loaded = std::make_unique<PythonData>();
    return load_python_data(*loaded) ? std::move(loaded) : nullptr;
  }();
  return data.get();
}

// Categories, the derived properties that include whole categories, and full case mappings of
// every code point assigned in our tables and in Python's (Unicode 14 on Python 3.11).
TEST(AgainstPython, EveryAssignedCodePoint) {
  const PythonData* py = python();
  if (py == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  constexpr std::string_view kCategoryNames[] = {"Lu", "Ll", "Lt", "Lm", "Lo", "Mn", "Mc", "Me", "Nd", "Nl",
                                                 "No", "Pc", "Pd", "Ps", "Pe", "Pi", "Pf", "Po", "Sm", "Sc",
                                                 "Sk", "So", "Zs", "Zl", "Zp", "Cc", "Cf", "Cs", "Co", "Cn"};
  std::size_t compared = 0, mapped = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const std::string& cat = py->category[cp];
    const GeneralCategory ours = unicode::general_category(cp);
    if (cat == "Cn" || ours == GeneralCategory::Cn) continue;
    ++compared;
    ASSERT_EQ(kCategoryNames[static_cast<int>(ours)], cat) << unsigned(cp);
    const auto in = [&](std::initializer_list<std::string_view> cats) {
      return std::find(cats.begin(), cats.end(), cat) != cats.end();
    };
    const std::pair<bool, bool> implications[] = {  // {category says so, property holds}
        {cat[0] == 'L' || cat == "Nl", unicode::is_alphabetic(cp)},
        {cat == "Ll", unicode::is_lowercase(cp)},
        {cat == "Lu", unicode::is_uppercase(cp)},
        {in({"Lu", "Ll", "Lt"}) || unicode::is_lowercase(cp) || unicode::is_uppercase(cp), unicode::is_cased(cp)},
        {in({"Mn", "Me", "Cf", "Lm", "Sk"}), unicode::is_case_ignorable(cp)},
        {in({"Mn", "Me"}), unicode::is_grapheme_extend(cp)},
        {cat[0] == 'N', unicode::is_number(cp)},
    };
    for (std::size_t i = 0; i < std::size(implications); ++i) {
      ASSERT_TRUE(!implications[i].first || implications[i].second) << unsigned(cp) << " " << cat << " #" << i;
    }
    if (cat == "Cs" || cat == "Co") continue;
    std::string self, lower, upper;
    utf8::encode(cp, self);
    std::string expected_lower = self, expected_upper = self;
    if (auto it = py->mappings.find(cp); it != py->mappings.end()) {
      std::tie(expected_lower, expected_upper) = it->second;
      ++mapped;
    }
    unicode::append_lowercase_char(cp, lower);
    unicode::append_uppercase(cp, upper);
    ASSERT_EQ(lower, expected_lower) << unsigned(cp);
    ASSERT_EQ(upper, expected_upper) << unsigned(cp);
    // A lone character has no word around it, so the string form agrees too.
    ASSERT_EQ(unicode::to_lowercase(self), expected_lower) << unsigned(cp);
  }
  EXPECT_GT(compared, 280000u);  // planes 15 and 16 are private use, so most code points count
  EXPECT_GT(mapped, 2500u);
}

TEST(AgainstPython, FinalSigmaInEveryShortContext) {
  const PythonData* py = python();
  if (py == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  ASSERT_EQ(py->lowered.size(), 10u + 100u + 1000u + 10000u);
  std::size_t line = 0;
  for (int count = 10; count <= 10000; count *= 10) {
    for (int k = 0; k < count; ++k) {  // k's decimal digits, most significant first, index the alphabet
      std::string in;
      for (int d = count / 10; d > 0; d /= 10) in += kSigmaAlphabet[k / d % 10];
      ASSERT_EQ(unicode::to_lowercase(in), py->lowered[line++]) << in;
    }
  }
}

// Python's str.isspace() is Zs plus the bidirectional classes WS, B and S: White_Space and the
// four information separators U+001C to U+001F.
TEST(AgainstPython, WhiteSpaceIsIsspaceWithoutTheSeparators) {
  const PythonData* py = python();
  if (py == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  EXPECT_EQ(py->spaces, kWhiteSpace);
}

}  // namespace
}  // namespace vedavi
