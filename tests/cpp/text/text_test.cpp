// Bytes and characters: UTF-8 decoding, encoding and boundaries, character references,
// backslash escapes, and the scanners for unescaped needles and HTML comment ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/cpp/support/helpers.h"
#include "text/entity.h"
#include "text/scan.h"
#include "text/utf8.h"

namespace vedavi {
namespace {

TEST(Utf8Decode, WellFormedAndIllFormedSequences) {
  struct Case {
    std::string_view bytes;
    char32_t cp;
    std::size_t len;
  };
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
    EXPECT_EQ(d.cp, c.cp);
    EXPECT_EQ(d.len, c.len);
    EXPECT_EQ(d.valid, valid);
    EXPECT_EQ(utf8::is_valid(c.bytes), valid && c.len == c.bytes.size());
  }
}

TEST(Utf8Encode, EveryScalarValueRoundTripsOthersBecomeReplacement) {
  std::string buf;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    buf.clear();
    utf8::encode(cp, buf);
    ASSERT_EQ(buf.size(), utf8::encoded_length(cp)) << static_cast<unsigned>(cp);
    const utf8::Decoded d = utf8::decode(buf, 0);
    ASSERT_TRUE(d.valid && d.cp == cp && d.len == buf.size()) << static_cast<unsigned>(cp);
  }
  for (char32_t cp : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}, char32_t{0xFFFFFFFF}}) {
    std::string out;
    utf8::encode(cp, out);
    EXPECT_EQ(out, "\xEF\xBF\xBD") << static_cast<unsigned>(cp);
  }
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
}

TEST(Utf8Boundaries, PrevCharOfIllFormedTextIsReplacement) {
  struct Case {
    std::string_view bytes;
    std::size_t pos;
    char32_t expected;
  };
  const Case cases[] = {
      {"", 0, 0xFFFD}, {"\x80", 1, 0xFFFD}, {"a\xE2\x82", 3, 0xFFFD} /* truncated */,
      {"\x80\x80\x80\x80\x80\x80", 6, 0xFFFD}, {"\xE2\x82\xAC", 2, 0xFFFD} /* inside a character */,
      {"\xE2\x82\xAC", 3, 0x20AC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(utf8::prev_char(c.bytes, c.pos), c.expected);
    if (c.pos > 0) {  // never more than one character's worth back
      const std::size_t start = utf8::prev_boundary(c.bytes, c.pos);
      EXPECT_TRUE(start < c.pos && start + 4 >= c.pos) << start;
    }
  }
}

TEST(DecodeEntities, NumericAndNamedReferences) {
  const std::pair<std::string, std::string> cases[] = {
      {"&#0;", "\uFFFD"}, {"&#x41;&#X41;&#65;", "AAA"}, {"&#65", "&#65"}, {"&#0000065;", "A"},
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
      {"\\*", "*"}, {"\\a", "\\a"}, {"\\\\", "\\"}, {"\\\\\\*", "\\*"}, {"x\\", "x\\"}, {"\\é", "\\é"},
      {"\\{\\}\\~\\`", "{}~`"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(entity::unescape_backslash_punctuation(input), expected) << input;
}

TEST(FindUnescaped, Cases) {
  struct Case {
    std::string text;
    std::size_t start;
    std::string needle;
    std::optional<std::size_t> expected;
  };
  const Case cases[] = {
      {"\\$$ $$", 0, "$$", 4}, {"\\$$$$", 0, "$$", 2}, {"\\\\]", 0, "\\]", std::nullopt}, {"ab\\]", 0, "\\]", 2},
      {"$$", 2, "$$", std::nullopt}, {"$$", 5, "$$", std::nullopt}, {"\\\\$$", 0, "$$", 2}, {"é$$", 0, "$$", 2},
      {"a\\)", 1, "\\)", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::find_unescaped(c.text, c.start, c.needle), c.expected) << c.text;
}

// Where an HTML comment ends: as an HTML5 tokenizer ends it, so nothing after it hides inside it.
TEST(HtmlCommentEnd, EndsWhereAnHtml5TokenizerEndsIt) {
  struct Case {
    std::string_view text;
    std::size_t lt;
    std::optional<std::size_t> end;
  };
  const Case cases[] = {
      {"<!-->x", 0, 5}, {"<!--->x", 0, 6}, {"x<!-->", 1, 6}, {"<!---->", 0, 7},  // empty comments close at once
      {"<!-- a -->", 0, 10}, {"<!-- a --!> b -->", 0, 11}, {"<!-- a ---!>", 0, 12},  // "--!>" ends it too
      {"<!--!> a", 0, std::nullopt}, {"<!---!> a", 0, std::nullopt},  // "--!>" needs its own dashes
      {"<!-- a -- > b", 0, std::nullopt}, {"<!-- a --\n> b", 0, std::nullopt}, {"<!-- a", 0, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::html_comment_end(c.text, c.lt), c.end) << c.text;
}

}  // namespace
}  // namespace vedavi
