#include "text/escape.h"
#include "text/escape_scan.h"

#include <gtest/gtest.h>

namespace vedavi {
namespace {

using namespace std::string_view_literals;

struct EscapeCase {
  std::string_view input;
  std::string_view text;
  std::string_view attr;
  std::string_view url;
  std::string_view fragment;
};

const EscapeCase kEscapeCases[] = {
    {"a < b & c > d", "a &lt; b &amp; c &gt; d", "a &lt; b &amp; c &gt; d", "a%20%3C%20b%20&amp;%20c%20%3E%20d",
     "a%20%3C%20b%20%26%20c%20%3E%20d"},
    {"say \"hi\" 'x'", "say \"hi\" 'x'", "say &quot;hi&quot; 'x'", "say%20%22hi%22%20'x'",
     "say%20%22hi%22%20%27x%27"},
    {"%41", "%41", "%41", "%41", "%2541"},
    {"\xC3\xBC", "\xC3\xBC", "\xC3\xBC", "%C3%BC", "%C3%BC"},
    {"a\tb\x7F", "a\tb\x7F", "a\tb\x7F", "a%09b%7F", "a%09b%7F"},
    {"[\\]`{}|^#?=", "[\\]`{}|^#?=", "[\\]`{}|^#?=", "%5B%5C%5D%60{}|^#?=",
     "%5B%5C%5D%60%7B%7D%7C%5E%23%3F%3D"},
    {"Note_1.a-(b)/~", "Note_1.a-(b)/~", "Note_1.a-(b)/~", "Note_1.a-(b)/~", "Note_1.a-(b)/~"},
    {"\xC3\xA9 x", "\xC3\xA9 x", "\xC3\xA9 x", "%C3%A9%20x", "%C3%A9%20x"},
    {"", "", "", "", ""},
    {"a\0b\0"sv, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD", "a%00b%00", "a%00b%00"},
};

TEST(Escaping, EachEscaperOnTheSameInputs) {
  for (const EscapeCase& c : kEscapeCases) {
    std::string text, attr, url;
    escape_text(c.input, text);
    escape_attr(c.input, attr);
    escape_url_attr(c.input, url);
    EXPECT_EQ(text, c.text) << c.input;
    EXPECT_EQ(attr, c.attr) << c.input;
    EXPECT_EQ(url, c.url) << c.input;
    EXPECT_EQ(escape_fragment(c.input), c.fragment) << c.input;
  }
}

// Texts are tested in blocks of bytes with a shorter last part: every length up to a few blocks,
// with each rewritten byte at every offset, against a byte-by-byte escaper.
TEST(Escaping, EveryOffsetInTextsOfEveryLength) {
  const auto expected = [](std::string_view input, bool is_attr) {
    std::string out;
    for (char c : input) {
      if (c == '&') out += "&amp;";
      else if (c == '\0') out += "\xEF\xBF\xBD";
      else if (c == '<') out += "&lt;";
      else if (c == '>') out += "&gt;";
      else if (c == '"' && is_attr) out += "&quot;";
      else out += c;
    }
    return out;
  };
  for (std::size_t length = 1; length <= 50; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (char special : "&<>\"\0"sv) {
        std::string input(length, '\xC3');
        for (std::size_t i = 1; i < length; i += 2) input[i] = '\xA9';
        input[at] = special;
        input[length - 1 - at] = '>';
        std::string text, attr, inlined = "x";
        escape_text(input, text);
        escape_attr(input, attr);
        escape_text_inline(input, inlined);
        EXPECT_EQ(text, expected(input, false)) << length << " " << at;
        EXPECT_EQ(attr, expected(input, true)) << length << " " << at;
        EXPECT_EQ(inlined, "x" + text) << length << " " << at;
      }
    }
  }
}

// Texts whose escaped form is many times longer than what the escaper writes at once: escaping
// the whole equals escaping each byte on its own, for runs of kept bytes of every length.
TEST(Escaping, LongTextsJoinTheirBytesEscapedAlone) {
  const std::string_view rewritten = "&<>\"[\x01\xC3\0"sv;
  std::string input;
  for (std::size_t run = 0; input.size() < 20000; ++run) {
    input.append(run % 37, 'k');
    input += rewritten[run % rewritten.size()];
  }
  using Escaper = void (*)(std::string_view, std::string&);
  const Escaper url_escaper = [](std::string_view text, std::string& out) { escape_url_attr(text, out); };
  for (Escaper escaper : {Escaper(escape_text), Escaper(escape_attr), url_escaper}) {
    std::string whole, bytewise;
    escaper(input, whole);
    for (std::size_t i = 0; i < input.size(); ++i) escaper(input.substr(i, 1), bytewise);
    EXPECT_EQ(whole, bytewise);
  }
}

TEST(PercentEncoding, EveryUtf8Length) {
  const std::pair<char32_t, std::string_view> cases[] = {
      {U'\n', "%0A"}, {U' ', "%20"}, {U'\u00E9', "%C3%A9"}, {U'\u21A9', "%E2%86%A9"},
      {U'\U0001F600', "%F0%9F%98%80"}};
  for (const auto& [c, expected] : cases) {
    std::string out;
    percent_encode_char(c, out);
    EXPECT_EQ(out, expected);
  }
}


// URLs likewise, with every byte value at every offset: the block test must agree with the
// byte-by-byte rule on each.
TEST(Escaping, EveryByteAtEveryOffsetInUrls) {
  const auto expected = [](std::string_view input) {
    std::string out;
    for (unsigned char c : input) {
      if (c == '&') {
        out += "&amp;";
      } else if (c <= 0x20 || c >= 0x7F || std::string_view("\"<>[\\]`").find(char(c)) != std::string_view::npos) {
        constexpr char kHex[] = "0123456789ABCDEF";
        out += {'%', kHex[c >> 4], kHex[c & 0xF]};
      } else {
        out += char(c);
      }
    }
    return out;
  };
  for (std::size_t length : {1, 15, 16, 17, 33}) {
    for (std::size_t at = 0; at < length; ++at) {
      for (int byte = 0; byte < 256; ++byte) {
        std::string input(length, 'a');
        input[at] = char(byte);
        std::string url;
        std::string inlined = "x";
        const bool kept = escape_url_attr(input, url);
        const bool inlined_kept = escape_url_attr_inline(input, inlined);
        ASSERT_EQ(url, expected(input)) << length << " " << at << " " << byte;
        ASSERT_EQ(kept, url == input) << length << " " << at << " " << byte;
        ASSERT_EQ(inlined, "x" + url) << length << " " << at << " " << byte;
        ASSERT_EQ(inlined_kept, kept) << length << " " << at << " " << byte;
      }
    }
  }
}

}  // namespace
}  // namespace vedavi
