// The md source highlighter: the ranges each record gives, their nesting and ordering, the
// escaping of text, and well-formed output on crossing, nested and adversarial input.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "highlight/highlight.h"
#include "highlight/ranges.h"
#include "text/utf8.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::highlight {
namespace {

using vedavi::test::repeat;
using namespace std::string_view_literals;

// The output with "<span class=\"hl-X\">" written as "<X>" and "</span>" as "</>".
std::string brief(std::string_view src) {
  const std::string html = std::regex_replace(highlight_md(src, "hl-"), std::regex("<span class=\"hl-([^\"]*)\">"), "<$1>");
  return std::regex_replace(html, std::regex("</span>"), "</>");
}

TEST(Highlight, RangesOfEachRecord) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""}, {"*a*", "<markup-italic>*a*</>"}, {"**a\nb**", "<markup-bold>**a</>\n<markup-bold>b**</>"},
      {"# H *a*", "<markup-heading><punctuation-special>#</> H <markup-italic>*a*</></>"},
      {"> - x\n>   `y`", "<punctuation-special>&gt;</> <punctuation-special>-</> x\n"
                        "<punctuation-special>&gt;</>   <markup-raw-block>`y`</>"},
      {"[a](u) [@x]", "[a]<markup-link-url>(u)</> <markup-link-url>[@x]</>"},
      {"---\ntitle: x\n---\nb", "<punctuation-special>---</>\n<attribute>title:</> x\n<punctuation-special>---</>\nb"},
      {"{: .c}\n[d]: /u\n", "<attribute>{: .c}</>\n<markup-link-url>[d]: /u</>\n"},
      {"<div>\n<!-- a\nb", "&lt;div&gt;\n<comment>&lt;!-- a\nb</>"},
      {"<!---->x<!-->", "<comment>&lt;!----&gt;</>x<comment>&lt;!--&gt;</>"},
      {"<!-- a --!>b -->", "<comment>&lt;!-- a --!&gt;</>b --&gt;"},
      {"a < b & \"c\"", "a &lt; b &amp; \"c\""}, {"a\r\nb\rc", "a\nb\nc"},
      {"*\0*\0"sv, "<markup-italic>*\xEF\xBF\xBD*</>\xEF\xBF\xBD"},
  };
  for (const auto& [src, expected] : cases) EXPECT_EQ(brief(src), expected) << src;
  // The class prefix is copied as given.
  EXPECT_EQ(highlight_md("*a*", ""), "<span class=\"markup-italic\">*a*</span>");
  EXPECT_EQ(highlight_md("*a*", "<x>"), "<span class=\"<x>markup-italic\">*a*</span>");
}

TEST(HighlightWrite, NestingOrderAndCrossing) {
  auto write = [](std::string_view text, std::vector<ClassedRange> ranges) {
    std::string out;
    write_ranges(text, std::move(ranges), "", out);
    return out;
  };
  // A longer range opens first; equal ranges nest in the given order; a repeat renders once.
  EXPECT_EQ(write("ab", {{0, 1, "comment"}, {0, 2, "markup-bold"}, {0, 2, "markup-bold"}, {0, 2, "markup-italic"}}),
            "<span class=\"markup-bold\"><span class=\"markup-italic\"><span class=\"comment\">a</span>b</span></span>");
  // A range crossing the end of the span around it is left out; the span still renders.
  EXPECT_EQ(write("abcd", {{0, 2, "markup-bold"}, {1, 3, "markup-italic"}, {2, 4, "comment"}}),
            "<span class=\"markup-bold\">ab</span><span class=\"comment\">cd</span>");
  // Empty, past the end, inside a character.
  EXPECT_EQ(write("\xC3\xA9", {{1, 1, "markup-bold"}, {0, 3, "markup-italic"}, {0, 1, "comment"}, {1, 2, "label"}}), "\xC3\xA9");
}

// The text of the output with every tag removed and entities read back; false when the spans are
// not balanced.
bool text_of(std::string_view html, std::string& text) {
  std::size_t open = 0;
  for (std::size_t i = 0; i < html.size();) {
    if (html.substr(i, 6) == "<span ") {
      ++open, i = html.find('>', i) + 1;
    } else if (html.substr(i, 7) == "</span>") {
      if (open-- == 0) return false;
      i += 7;
    } else if (html[i] == '&') {
      text += html[i + 1] == 'l' ? '<' : html[i + 1] == 'g' ? '>' : '&';  // &lt; &gt; &amp;
      i = html.find(';', i) + 1;
    } else {
      text += html[i++];
    }
  }
  return open == 0;
}

// Written in pieces, the output is the same bytes, cut only between whole characters, and each
// piece but the last reaches the size asked for.
TEST(HighlightWrite, PiecesJoinToTheWhole) {
  const std::string src = repeat("# h\xC3\xA9 *a* `b`\n> - [x](u) <!-- c -->\n\n\xE2\x82\xAC & x\r\n", 200);
  const std::string whole = highlight_md(src, "hl-");
  for (const std::size_t piece_bytes : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{1} << 20}) {
    const std::vector<std::string> pieces = highlight_md_pieces(src, "hl-", piece_bytes);
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_TRUE(utf8::is_valid(pieces[i])) << piece_bytes;
      if (i + 1 < pieces.size()) {
        EXPECT_GE(pieces[i].size(), piece_bytes);
      }
      joined += pieces[i];
    }
    EXPECT_EQ(joined, whole) << piece_bytes;
  }
  EXPECT_TRUE(highlight_md_pieces("", "hl-", 7).empty());
}

TEST(HighlightPathological, DeepNestingStaysWellFormed) {
  for (const std::string& src : {repeat("*a **a ", 30000) + "b" + repeat(" a** a*", 30000),
                                 repeat("> ", 20000) + "a *b*", repeat("- ", 20000) + "x\n" + repeat("\n", 20000),
                                 repeat("![", 20000) + "a" + repeat("](u)", 20000), repeat("<!--", 100000)}) {
    std::string text;
    EXPECT_TRUE(text_of(highlight_md(src, "hl-"), text));
    EXPECT_EQ(text, src);
  }
}

}  // namespace
}  // namespace vedavi::highlight
