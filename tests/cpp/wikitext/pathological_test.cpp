// Adversarial wikitext at sizes where quadratic time or per-level recursion would show: many
// unclosed openers, very deep nesting, and footnotes inside many spans.
#include "wikitext_test_util.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::wikitext::test {
namespace {

constexpr std::size_t kUnits = 50'000;

using vedavi::test::repeat;

std::size_t count(std::string_view haystack, std::string_view needle) {
  std::size_t found = 0;
  for (std::size_t pos = haystack.find(needle); pos != std::string_view::npos;
       pos = haystack.find(needle, pos + needle.size()))
    ++found;
  return found;
}

constexpr std::string_view kRawOpen =
    "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">";

// An unclosed opener turns the rest of its paragraph into one raw inline.
TEST(WikitextPathological, UnclosedBracesStayOneRawInline) {
  for (std::string_view unit : {"{{", "[[", "{{{", "{{a|", "[[a|", "{{a|[[b|"}) {
    const std::string input = repeat(unit, kUnits);
    const std::string html = to_html(input);
    EXPECT_EQ(html.substr(0, kRawOpen.size()), kRawOpen) << unit;
    EXPECT_EQ(count(html, "<script"), 1u) << unit;
  }
}

TEST(WikitextPathological, UnclosedBracesOnManyLinesJoinNothing) {
  const std::string html = to_html(repeat("{{a\n", kUnits));
  EXPECT_EQ(count(html, "<script"), 1u);
  EXPECT_EQ(count(html, "{{a"), kUnits);
}

TEST(WikitextPathological, OpenersWithoutClosersStayText) {
  struct Unit { std::string_view unit; std::string_view kept; };
  for (const Unit& u : {Unit{"<a ", "&lt;a"}, Unit{"[http://x ", "[http://x"},
                        Unit{"<span>x ", "<span>"}, Unit{"<sup>x ", "<sup>"},
                        Unit{"<!--", "<!--"}}) {
    const std::string html = to_html("a" + repeat(u.unit, kUnits));
    if (u.unit == "<!--") {
      EXPECT_EQ(html, "<p>a</p>\n");  // an unclosed comment drops the rest of its text
      continue;
    }
    EXPECT_EQ(count(html, u.kept), kUnits) << u.unit;
  }
}

TEST(WikitextPathological, QuoteRunsPairUp) {
  const std::string html = to_html(repeat("'''''a", kUnits));
  EXPECT_EQ(count(html, "<strong><em>a</em></strong>"), kUnits / 2);
}

TEST(WikitextPathological, DeepNestingConvertsWithoutRecursion) {
  struct Deep { std::string input; std::string_view opener; };
  const Deep cases[] = {
      {repeat("*", kUnits) + " a", "<ul>"},
      {repeat("#", kUnits) + " a", "<ol>"},
      {repeat("<span>", kUnits) + "x" + repeat("</span>", kUnits), "<span>"},
      {repeat("{{a|", kUnits) + "x" + repeat("}}", kUnits), "<template"},
      {repeat("[[a|", kUnits) + "x" + repeat("]]", kUnits), "<a href"},
      {repeat("<ref>", kUnits) + "x" + repeat("</ref>", kUnits), "<script"},
      // Each failed superscript is converted once, not again inside every enclosing one.
      {repeat("<sup>", kUnits) + "x" + repeat("</sup>", kUnits), "<script"},
      // A parser function's first argument is not copied again by each enclosing function.
      {repeat("{{#if:<!---->", kUnits) + "x" + repeat("}}", kUnits), "<template"},
  };
  for (const Deep& deep : cases) {
    const std::string html = to_html(deep.input);
    EXPECT_GE(count(html, deep.opener), deep.opener == "<script" ? 1u : kUnits) << deep.opener;
  }
}

TEST(WikitextPathological, StackedTableOpeners) {
  const std::string html = to_html(repeat("{|\n", kUnits) + repeat("|}\n", kUnits));
  // The first table runs to the first closing line and fails; the later "|}" lines are text.
  EXPECT_EQ(count(html, "<p>"), 2u);
  EXPECT_EQ(count(html, "{|"), kUnits);
  EXPECT_EQ(count(html, "|}"), kUnits);
}

TEST(WikitextPathological, FootnotesInManySpansAndTables) {
  std::string input;
  for (std::size_t i = 0; i < kUnits; ++i)
    input += "<span><ref name=n" + std::to_string(i) + ">x</ref></span>";
  input += "\n{|\n| a\n|}\n";  // a failed table rolls back nothing of the paragraph before it
  const Document doc = document::parse(input);
  EXPECT_EQ(doc.footnotes.size(), kUnits);
}

}  // namespace
}  // namespace vedavi::wikitext::test
