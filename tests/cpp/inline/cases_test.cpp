// The inline grammar as {input, parsed tree} tables: breaks, escapes, scripts, code spans, math,
// emphasis, brackets, destinations, angle constructs, bare links, cross-references, events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inline/link.h"
#include "inline/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using test::Parser;

struct Case {
  std::string input;
  std::string expected;
};

void expect_cases(const Parser& parse, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(parse(c.input), c.expected) << "input: " << c.input;
}

TEST(InlineCases, BreaksEscapesAndScripts) {
  Parser parse;
  parse.footnotes = {"1"};
  expect_cases(parse, {
      {"a \\\nb", R"~("a " HB "b")~"},
      {"*a*  \nb", R"~(emph["a"] SB "b")~"},
      {"\\\n", R"~(HB)~"},
      {"a\\\\\\\\\nb", R"~("a\\" SB "b")~"},
      {"x^\\^^", R"~("x" superscript"\^")~"},
      {"x^a\\", R"~("x^a\")~"},
      {"a~b~", R"~("a" subscript"b")~"},
      {"~~a~", R"~("~~a~")~"},
      {"H~2~O", R"~("H" subscript"2" "O")~"},
      {"~a b~", R"~("~a b~")~"},
      {"^a\xC2\xA0" "b^", "\"^a\xC2\xA0" "b^\""},
      {"^2^{.o}", R"~(superscript{.o}"2")~"},
      {"[^2]", R"~("[^2]")~"},
      {"![^1]", R"~("!" footnote_ref"1")~"},
      {"![^2]", R"~("![^2]")~"},
      {"[^a[b]", R"~("[^a[b]")~"},
      // A literal private-use character is not mistaken for the scanner's own placeholders.
      {"a\xEE\x80\x80 b", "\"a\xEE\x80\x80 b\""},
      {"*a\xEE\x80\x80*", "emph[\"a\xEE\x80\x80\"]"},
      {"&#xE000;x*y*", "\"\xEE\x80\x80x\" emph[\"y\"]"},
      {"\\&amp;\xEE\x80\x80&amp;*x*", "\"&amp;\xEE\x80\x80&\" emph[\"x\"]"},
      {"[a](u\xEE\x80\x80\\&amp;)", "link(u\xEE\x80\x80&amp;)[\"a\"]"},
  });
}

// Texts that read as written or as lines between soft breaks, which are made without a scan,
// beside near misses that need one.
TEST(InlineCases, PlainTextsAndLines) {
  Parser parse;
  expect_cases(parse, {
      {"", R"~("")~"},
      {"a  \nb  ", R"~("a" SB "b  ")~"},
      {"\n\n a\n", R"~(SB SB " a" SB)~"},
      {"   \nb", R"~(SB "b")~"},
      {"a\tb \t\nc", "\"a\tb \t\" SB \"c\""},
      {"x [y\nz] w", R"~("x [y" SB "z] w")~"},
      {"x [y\nz](u)", R"~("x " link(u)["y" SB "z"])~"},
      {"a.b: c\nd", R"~("a.b: c" SB "d")~"},
      {"a\nb_c", R"~("a" SB "b_c")~"},
      {"a__b\n_c", R"~("a__b" SB "_c")~"},
      {"a_b_\nc", R"~("a_b_" SB "c")~"},
      {"_a_b_", R"~(emph["a_b"])~"},
      {"a `b` \n`c\nd`  \ne", R"~("a " code"b" SB code"c d" SB "e")~"},
      {"a ``b` c\nd", R"~("a ``b` c" SB "d")~"},
      {"`a`{.c} `b`", R"~(code{.c}"a" " " code"b")~"},
      // Blocks of sixteen word bytes alone (letters, digits, spaces, bytes past ASCII), then
      // a block with a line feed, a "_" run or a byte that asks for the scan.
      {"abcdefgh 1234567\nijklmnop \xC3\xA9 qrstu", "\"abcdefgh 1234567\" SB \"ijklmnop \xC3\xA9 qrstu\""},
      {"abcdefgh 1234567 snake_case", R"~("abcdefgh 1234567 snake_case")~"},
      {"abcdefgh 1234567 ijklmnop *q*", R"~("abcdefgh 1234567 ijklmnop " emph["q"])~"},
  });
  parse.options.bare_autolinks = true;
  EXPECT_EQ(parse("a\nwww.b.c"), R"~("a" SB autolink(http://www.b.c)"www.b.c")~");
  Parser defined;
  defined.links["y"] = LinkRef{"/y", {}, {}};
  EXPECT_EQ(defined(""), "");
  expect_cases(defined, {
      {"a b", R"~("a b")~"},
      {"a\nb", R"~("a" SB "b")~"},
      {"x [y]\nz", R"~("x " link(/y)["y"] SB "z")~"},
      {"x [w]\nz", R"~("x [w]" SB "z")~"},
  });
}

// The pass that tells plain texts from the rest reads sixteen bytes at a time, a text shorter
// than that as bytes gathered from both ends: each construct, at every offset of texts from a
// few bytes to a few blocks long, is found exactly where a byte-by-byte reading finds it.
TEST(InlineCases, ConstructsAtEveryOffset) {
  Parser parse;
  parse.options.bare_autolinks = true;
  parse.options.math = MathMode::Brackets;
  Parser defined = parse;
  defined.links["y"] = LinkRef{"/y", {}, {}};
  struct Row {
    const Parser* parser;
    std::string construct;
    std::string expected;  // a part of the parsed tree; none: the input is one plain text
  };
  const std::vector<Row> rows = {
      {&parse, "*b*", R"~(emph["b"])~"},
      {&parse, "\\*b*", R"~(*b*)~"},
      {&parse, "a`c`", R"~(code"c")~"},
      {&parse, "\nb", R"~(SB "b)~"},
      {&parse, "www.b.c", R"~(autolink(http://www.b.c)"www.b.c")~"},
      {&parse, "ww.b", ""},
      {&parse, "http://b.c", R"~(autolink(http://b.c)"http://b.c")~"},
      {&parse, "b:/c", ""},
      {&parse, "a_b__c", ""},
      {&parse, "_b_", R"~(emph["b"])~"},
      {&parse, "==b==", R"~(highlight["b"])~"},
      {&parse, "a=b", ""},
      {&parse, "[b](u)", R"~(link(u)["b"])~"},
      {&parse, "[b] c", ""},
      {&defined, "[y]", R"~(link(/y)["y"])~"},
      {&parse, "$$x$$", R"~(math_inline)~"},
      {&parse, "a$b", ""},
  };
  for (const Row& row : rows) {
    for (std::size_t before = 0; before <= 34; ++before) {
      for (std::size_t after : {0, 1, 17}) {
        const std::string input =
            std::string(before, 'x') + (before != 0 ? " " : "") + row.construct +
            (after != 0 ? " " + std::string(after - 1, 'y') : "");
        const std::string got = (*row.parser)(input);
        if (row.expected.empty())
          EXPECT_EQ(got, "\"" + input + "\"") << "input: " << input;
        else
          EXPECT_NE(got.find(row.expected), std::string::npos) << "input: " << input << "\ngot: " << got;
      }
    }
  }
}

TEST(InlineCases, TemplateTokens) {
  Parser parse;
  parse.options.templates.push_back(TemplateDelimiter{"mustache", "{{", "}}", {}, {}, TemplateForm::Auto});
  expect_cases(parse, {
      {"a {{x}} b", R"~("a " template_token"{{x}}" " b")~"},
      {"`{{x}}`", R"~(code"{{x}}")~"},
      {"{{x", R"~("{{x")~"},
  });
}

TEST(InlineCases, CodeSpanEdges) {
  Parser parse;
  expect_cases(parse, {
      {"`a\rb`", "code\"a\rb\""},
      {"` a `", R"~(code"a")~"},
      {"`  a  `", R"~(code" a ")~"},
      {"a`", R"~("a`")~"},
      {"``", R"~("``")~"},
      {"`a` `b`", R"~(code"a" " " code"b")~"},
      {"``a`b``", R"~(code"a`b")~"},
      {"`x`{=html}{.a}", R"~(raw_inline(html)"x" "{.a}")~"},
      {"`x` {.a}", R"~(code"x" " {.a}")~"},
      // The next backtick run closes most spans; a run of another length, a tab or a line feed
      // before it sends the span the long way.
      {"`   `", R"~(code"   ")~"},
      {"`a\tb`", R"~(code"a b")~"},
      {"` a\t`", R"~(code"a")~"},
      {"`a``b`", R"~(code"a``b")~"},
      {"` `` `", R"~(code"``")~"},
      {"``a``b`", R"~(code"a" "b`")~"},
      {"`a``", R"~("`a``")~"},
  });
}

TEST(InlineCases, MathEdges) {
  Parser brackets;
  expect_cases(brackets, {
      {"\\[x", R"~("[x")~"},
      {"$$x", R"~("$$x")~"},
      {"\\(a\\) \\(b", R"~(math_inline"a" " (b")~"},
      {"\\[x\\]{#eq}", R"~(math_inline{#eq}D"x")~"},
  });
  Parser dollars;
  dollars.options.math = MathMode::Dollars;
  expect_cases(dollars, {
      {"$a $b$", R"~(math_inline"a $b")~"},
      {"$$x", R"~("$$x")~"},
      {"$x", R"~("$x")~"},
      {"$$ a $$ and $b$", R"~(math_inlineD"a" " and " math_inline"b")~"},
      {"\\$x$", R"~("$x$")~"},
      {"$x$5$", R"~(math_inline"x$5")~"},
      {"$a\\$b$", R"~(math_inline"a\" "b$")~"},  // no escapes in the closer search
      {"$$$x$$$", R"~(math_inlineD"$x" "$")~"},
  });
}

TEST(InlineCases, EmphasisAndAttributeBlocks) {
  Parser parse;
  expect_cases(parse, {
      {"~~a ~~b~~", R"~("~~a " strike["b"])~"},
      {"==a==={.x}", R"~("==a==={.x}")~"},  // runs of 3 never pair
      {"==a=={.x}", R"~(highlight{.x}["a"])~"},
      {"~~a~~{#s}", R"~(strike{#s}["a"])~"},
      {"*a*{title=&amp;}", R"~(emph{title=&}["a"])~"},
      {"*a*{.x} b", R"~(emph{.x}["a"] " b")~"},
      {"*a*{.x}{}", R"~(emph{.x}["a"] "{}")~"},
      {"_a_{.x}", R"~(emph{.x}["a"])~"},
      {"**a*", R"~("*" emph["a"])~"},
      // Attribute blocks attach once the closer is used up, to the outermost inline it closed.
      {"***a***{.x}", R"~(emph{.x}[strong["a"]])~"},
      {"*a**{.x}", R"~(emph["a"] "*{.x}")~"},
      {"[*a*{.x}](u)", R"~(link(u)[emph{.x}["a"]])~"},
      {"**a**{.x}b{.y}", R"~(strong{.x}["a"] "b{.y}")~"},
      // Nested plain strong flattens in the parsed result.
      {"****a****", R"~(strong["a"])~"},
      {"**a **b** c**", R"~(strong["a b c"])~"},
      {"****x**{#i}**", R"~(strong[strong{#i}["x"]])~"},  // a strong with attributes stays
      {"**a **b** c**{#i}", R"~(strong{#i}["a " strong["b"] " c"])~"},
      {"~~a~~b~~", R"~(strike["a"] "b~~")~"},
      {"=x==y==", R"~("=x" highlight["y"])~"},
      // Punctuation outside ASCII flanks as ASCII punctuation does: neither run can pair.
      {"x*\xC2\xAB" "a\xC2\xBB*y", "\"x*\xC2\xAB" "a\xC2\xBB*y\""},
      {"*a **b*", R"~("*a *" emph["b"])~"},  // the nearest opener wins
      // A quoted value past 64 bytes takes the general path of the group scanner.
      {"**a**{k='" + std::string(80, 'x') + "'}", R"~(strong{k=)~" + std::string(80, 'x') + R"~(}["a"])~"},
      // So does a bare value past 64 bytes, its escapes and the class before it kept.
      {"*a*{.c title=" + std::string(70, 'x') + "\\.y}", R"~(emph{.c title=)~" + std::string(70, 'x') + R"~(.y}["a"])~"},
      // The closer's run is cut to what the opener can take; the rest stays text.
      {"**x a*b c*****d", R"~(strong["x a*b c"] "***d")~"},
  });
}

TEST(InlineCases, BracketsAndReferences) {
  Parser parse;
  parse.links["x"] = LinkRef{"/x", {}, {}};
  parse.links["a"] = LinkRef{"/a", {}, {}};
  EXPECT_EQ(parse(""), "");
  std::string deep_open(33, '('), deep_close(33, ')');
  std::string ok_open(32, '('), ok_close(32, ')');
  expect_cases(parse, {
      {"[y][]", R"~("[y][]")~"},
      {"![x]{.c}", R"~(image{.c}(/x)["x"])~"},
      {"![x][]", R"~(image(/x)["x"])~"},
      {"[![a](b)](c)", R"~(link(c)[image(b)["a"]])~"},
      {"[[x](u)](v)", R"~("[" link(u)["x"] "](v)")~"},
      {"[x][y\\]", R"~(link(/x)["x"] "[y]")~"},
      {"[*x*][]", R"~("[" emph["x"] "][]")~"},
      {"^[a]{.c}", R"~(note["a"] "{.c}")~"},
      {"[a](u" + ok_open + ok_close + ")", "link(u" + ok_open + ok_close + ")[\"a\"]"},
      {"[a](u" + deep_open + deep_close + ")",
       "link(/a)[\"a\"] \"(u" + deep_open + deep_close + ")\""},
      {"[a]{ref=p}", R"~(span{ref=p}["a"])~"},
      {"[a]{.s}{ref=p}", R"~(span{.s ref=p}["a"])~"},
      {"![a](u){ref=p}", R"~(image{ref=p}(u)["a"])~"},
      {"[a](u){ref=leaf}", R"~(link{ref=leaf}(u)["a"])~"},
      {"[y]{:}", R"~("[y]{:}")~"},  // braces holding only a colon make no span
      {"<ab:c>{.x}", R"~(autolink(ab:c)"ab:c" "{.x}")~"},
  });
}

// A label of printable ASCII words between single spaces is looked up by its lowered text in one
// pass; every other label goes through the general check and normalisation. Both must agree.
TEST(InlineCases, ReferenceLabelKeys) {
  Parser parse;
  parse.links["a b"] = LinkRef{"/ab", {}, {}};
  parse.links["x-y!"] = LinkRef{"/xy", {}, {}};
  parse.links["ä b"] = LinkRef{"/ae", {}, {}};
  expect_cases(parse, {
      {"[A B]", R"~(link(/ab)["A B"])~"},
      {"[X-Y!]", R"~(link(/xy)["X-Y!"])~"},
      {"[a  b]", R"~(link(/ab)["a  b"])~"},
      {"[ a b]", R"~(link(/ab)[" a b"])~"},
      {"[a b ]", R"~(link(/ab)["a b "])~"},
      {"[a\tb]", "link(/ab)[\"a\tb\"]"},
      {"[c][A\nb]", R"~(link(/ab)["c"])~"},
      {"[Ä B]", R"~(link(/ae)["Ä B"])~"},
      {"[a\\ b]", "\"[a\\ b]\""},
      {"[x-y!\x7f]", "\"[x-y!\x7f]\""},
      {"[ ]", R"~("[ ]")~"},
      {"[c][" + std::string(1000, 'a') + "]", R"~("[c][)~" + std::string(1000, 'a') + "]\""},
  });
}

// "[text](destination)" whose text is literal and whose destination is bare is made at its "[";
// each near miss below goes through the bracket stack and must come out the same.
TEST(InlineCases, PlainLinksAndNearMisses) {
  Parser parse;
  parse.options.bare_autolinks = true;
  expect_cases(parse, {
      {"x [a b](u/v?w=1) y", R"~("x " link(u/v?w=1)["a b"] " y")~"},
      {"*a*[b](u)*c*", R"~(emph["a"] link(u)["b"] emph["c"])~"},
      {"[a](u){.c}", R"~(link{.c}(u)["a"])~"},
      {"[](u)", R"~(link(u)[])~"},
      {"[a]()", R"~(link()["a"])~"},
      {"[a](u", R"~("[a](u")~"},
      {"[a](", R"~("[a](")~"},
      {"[a]", R"~("[a]")~"},
      {"[*a*](u)", R"~(link(u)[emph["a"]])~"},
      {"[a\\]](u)", R"~(link(u)["a]"])~"},
      {"[www.b.c](u)", R"~(link(u)["www.b.c"])~"},
      {"[x a@b.co](u)", R"~(link(u)["x a@b.co"])~"},
      {"[a](u v)", R"~("[a](u v)")~"},
      {"[a](u&amp;)", R"~(link(u&)["a"])~"},
      {"[a](u(v))", R"~(link(u(v))["a"])~"},
      {"[o [a](u) p](v)", R"~("[o " link(u)["a"] " p](v)")~"},
      {"[é](ü)", R"~(link(ü)["é"])~"},
  });
}

// "*text*" and "_text_" with literal text between two single runs are made at the opener; each
// near miss below goes through the pairing and must come out the same.
TEST(InlineCases, PlainEmphasisAndNearMisses) {
  Parser parse;
  parse.options.bare_autolinks = true;
  expect_cases(parse, {
      {"a *b c* d", R"~("a " emph["b c"] " d")~"},
      {"*a*b", R"~(emph["a"] "b")~"},
      {"a*b*c", R"~("a" emph["b"] "c")~"},
      {"*a *b*", R"~("*a " emph["b"])~"},
      {"**a *b* c**", R"~(strong["a " emph["b"] " c"])~"},
      {"*a*{.x}", R"~(emph{.x}["a"])~"},
      {"*a**", R"~(emph["a"] "*")~"},
      {"_a_b", R"~("_a_b")~"},
      {"a_b_ c", R"~("a_b_ c")~"},
      {"*a [b](u)*", R"~(emph["a " link(u)["b"]])~"},
      {"*www.b.c*", R"~(emph[autolink(http://www.b.c)"www.b.c"])~"},
      {"* a*", R"~("* a*")~"},
      {"*é*", R"~(emph["é"])~"},
      {"(*a*)", R"~("(" emph["a"] ")")~"},
      {"a **b c** d", R"~("a " strong["b c"] " d")~"},
      {"**a*", R"~("*" emph["a"])~"},
      {"**a***", R"~(strong["a"] "*")~"},
      {"__a__b", R"~("__a__b")~"},
      {"**a**{.x}", R"~(strong{.x}["a"])~"},
      {"*a **b** c*", R"~(emph["a " strong["b"] " c"])~"},
      {"**a **b** c**", R"~(strong["a b c"])~"},
  });
}

TEST(InlineCases, DestinationsAndTitles) {
  Parser parse;
  expect_cases(parse, {
      {"[a](<u\\>v>)", R"~(link(u>v)["a"])~"},
      {"[a](<zz\nv>)", "\"[a](<zz\" SB \"v>)\""},
      {"[a](u\n\"t\")", R"~(link(u "t")["a"])~"},
      {"[a](u \"t\\\"x\")", R"~(link(u "t"x")["a"])~"},
      {"[a](u 't' )", R"~(link(u "t")["a"])~"},
      {"[a](u 't)", R"~("[a](u 't)")~"},
      {"[a](u '')", R"~(link(u)["a"])~"},
      {"[a](u\fv)", "link(u\fv)[\"a\"]"},
      {"[a](u (t(x)))", R"~("[a](u (t(x)))")~"},
      {"[a](u \"&amp;\\&amp;\")", R"~(link(u "&&amp;")["a"])~"},
      {"[a](\\<u>)", R"~(link(<u>)["a"])~"},
      {"[a](\t\nu\r )", R"~(link(u)["a"])~"},
      {"[a](<)", R"~("[a](<)")~"},
      {"[a](u(b c))", R"~("[a](u(b c))")~"},
      {"[a](u<)>b)", R"~("[a](u<)>b)")~"},
      {"[a](u<(>)", R"~("[a](u<(>)")~"},
  });
  EXPECT_FALSE(inl::parse_link_destination("<", 32));  // a lone "<" never gets past the paren search
}

TEST(InlineCases, AngleConstructs) {
  Parser parse;
  expect_cases(parse, {
      {"<!--->", R"~(html_inline"<!--->")~"},
      {"<a@b.c>x", R"~(autolink(mailto:a@b.c email)"a@b.c" "x")~"},
      {"</span >", R"~(html_inline"</span >")~"},
      {"</span\n>", "html_inline\"</span\n>\""},
      {"</span", R"~("</span")~"},
      {"<span a b>", R"~(html_inline"<span a b>")~"},
      {"<span a = 'x'>", R"~(html_inline"<span a = 'x'>")~"},
      {"<span a='x'b>", R"~("<span a='x'b>")~"},
      {"<span a=`x>", R"~("<span a=`x>")~"},
      {"<span/>", R"~(html_inline"<span/>")~"},
      {"<span:x>", R"~(autolink(span:x)"span:x")~"},
      {"<xy:\xC3\xA9>", "autolink(xy:\xC3\xA9)\"xy:\xC3\xA9\""},
      {"<xy:a\xC2\xA0" "b>", "\"<xy:a\xC2\xA0" "b>\""},
      {"<a.b@c.de>", R"~(autolink(mailto:a.b@c.de email)"a.b@c.de")~"},
      {"<a@b>", R"~("<a@b>")~"},
      {"<span a=\"x>", R"~("<span a="x>")~"},
      // Attribute names open with a letter, "_" or ":".
      {"<span _a :b>", R"~(html_inline"<span _a :b>")~"},
      {"<span -a>", R"~("<span -a>")~"},
      {"<span 1a>", R"~("<span 1a>")~"},
      // Comments end where an HTML5 tokenizer ends them; several openers share one search.
      {"a <!-- --!><script>x</script> --> b", R"~("a " html_inline"<!-- --!>" "<script>x</script> --> b")~"},
      {"<!-->x -->", R"~(html_inline"<!-->" "x -->")~"},
      {"<!-- <!-- a --!> <!-- b", R"~(html_inline"<!-- <!-- a --!>" " <!-- b")~"},
  });
  const std::string comment = "<!--" + std::string(1018, 'x') + "-->";
  ASSERT_EQ(comment.size(), 1025u);
  EXPECT_EQ(parse(comment), '"' + comment + '"');
  EXPECT_EQ(parse(comment.substr(1)).substr(0, 1), "\"");
  const std::string fits = "<!--" + std::string(1017, 'x') + "-->";
  EXPECT_EQ(parse(fits), "html_inline\"" + fits + '"');
}

TEST(InlineCases, BareLinks) {
  Parser parse;
  parse.options.bare_autolinks = true;
  parse.links["r"] = LinkRef{"/r", {}, {}};
  parse.links["www.x.io"] = LinkRef{"/w", {}, {}};
  expect_cases(parse, {
      {"www.a.bc", R"~(autolink(http://www.a.bc)"www.a.bc")~"},
      {"(www.a.bc)", R"~("(" autolink(http://www.a.bc)"www.a.bc" ")")~"},
      {"http://a.bc/?q=1&x;", R"~(autolink(http://a.bc/?q=1)"http://a.bc/?q=1" "&x;")~"},
      {"http://a..bc", R"~("http://a..bc")~"},
      {"ftp://a.bc", R"~(autolink(ftp://a.bc)"ftp://a.bc")~"},
      {"mailto:a@b.bc", R"~(autolink(mailto:a@b.bc email)"mailto:a@b.bc")~"},
      {"*a@b.bc*", R"~(emph[autolink(mailto:a@b.bc email)"a@b.bc"])~"},
      {"x@y", R"~("x@y")~"},
      {"a.b@c.de,", R"~(autolink(mailto:a.b@c.de email)"a.b@c.de" ",")~"},
      {"(a@b.cd)", R"~("(" autolink(mailto:a@b.cd email)"a@b.cd" ")")~"},
      {"<www.a.bc>", R"~("<www.a.bc>")~"},
      {"http://a.bc/x?", R"~(autolink(http://a.bc/x)"http://a.bc/x" "?")~"},
      {"http://a.bc<b>", R"~(autolink(http://a.bc)"http://a.bc" html_inline"<b>")~"},
      {"HTTP://a.bc", R"~("HTTP://a.bc")~"},
      {"http://x.yz/a&b;c;", R"~(autolink(http://x.yz/a&b;c)"http://x.yz/a&b;c" ";")~"},
      {"~www.x.yz~", R"~(subscript"www.x.yz")~"},
      {"*www.x.yz*", R"~(emph[autolink(http://www.x.yz)"www.x.yz"])~"},
      {"xmpp:a@b.cd/x.", R"~(autolink(xmpp:a@b.cd/x)"xmpp:a@b.cd/x" ".")~"},
      {"mailto:x", R"~("mailto:x")~"},
      {"www.a-.bc", R"~("www.a-.bc")~"},
      {"ftp://a.b_c.de", R"~("ftp://a.b_c.de")~"},
      // Hosts about one and two 16-byte blocks long; "_" only outside the last two labels.
      {"www.markdown.net", R"~(autolink(http://www.markdown.net)"www.markdown.net")~"},
      {"www.abcdefghijklmnopqrstu.com/x",
       R"~(autolink(http://www.abcdefghijklmnopqrstu.com/x)"www.abcdefghijklmnopqrstu.com/x")~"},
      {"www.a_b.cd", R"~("www.a_b.cd")~"},
      {"www.a_b.cd.ef", R"~(autolink(http://www.a_b.cd.ef)"www.a_b.cd.ef")~"},
      // What stands before a link: "<" only as the link's own first byte, a word byte never.
      {"a<b www.a.bc", R"~("a<b " autolink(http://www.a.bc)"www.a.bc")~"},
      {"<www.a.bc", R"~("<www.a.bc")~"},
      {"_www.a.bc", R"~("_www.a.bc")~"},
      {"xhttps://www.a.bc", R"~("xhttps://" autolink(http://www.a.bc)"www.a.bc")~"},
      // An address's local part takes these bytes too.
      {"a'b@c.de a/b@c.de {a@c.de",
       R"~(autolink(mailto:a'b@c.de email)"a'b@c.de" " " autolink(mailto:a/b@c.de email)"a/b@c.de" " " autolink(mailto:{a@c.de email)"{a@c.de")~"},
      {"a~b@c.de", R"~(autolink(mailto:a~b@c.de email)"a~b@c.de")~"},
      // An open "[" keeps its "]" from a bare address; without one the "]" stays in it.
      {"[https://a.io](https://a.io)", R"~(link(https://a.io)["https://a.io"])~"},
      {"![a https://b.io](c.svg)", R"~(image(c.svg)["a " autolink(https://b.io)"https://b.io"])~"},
      {"![a@b.cd](u)", R"~(image(u)["a@b.cd"])~"},  // no bare link right after "!["
      {"![a@b.cd]", R"~("![a@b.cd]")~"},
      {"[https://a.io]", R"~("[" autolink(https://a.io)"https://a.io" "]")~"},
      {"[https://a.io/x][r]", R"~(link(/r)["https://a.io/x"])~"},
      {"[www.x.io]", R"~(link(/w)["www.x.io"])~"},
      {"^[xmpp:a@b.io/x] y", R"~(note[autolink(xmpp:a@b.io/x)"xmpp:a@b.io/x"] " y")~"},
      {"https://a.io/x]y", R"~(autolink(https://a.io/x]y)"https://a.io/x]y")~"},
      {"[a] https://a.io/x]y", R"~("[a] " autolink(https://a.io/x]y)"https://a.io/x]y")~"},
      // Link text holds no bare link (references decoded as in text); angle autolinks stay.
      {"[me@x.io](mailto:me@x.io)", R"~(link(mailto:me@x.io)["me@x.io"])~"},
      {"[x https://a.io y](/u)", R"~(link(/u)["x https://a.io y"])~"},
      {"[*www.a.io* mailto:m@x.io](/u)", R"~(link(/u)[emph["www.a.io"] " mailto:m@x.io"])~"},
      {"[[https://a.io]{.c}](/u)", R"~(link(/u)[span{.c}["https://a.io"]])~"},
      {"[![https://a.io](i.png)](/u)", R"~(link(/u)[image(i.png)["https://a.io"]])~"},
      {"[https://a.io/?a&amp;b](/u)", R"~(link(/u)["https://a.io/?a&b"])~"},
      {"[<https://a.io> b@x.io <c@x.io>](/u)",
       R"~(link(/u)[autolink(https://a.io)"https://a.io" " b@x.io " autolink(mailto:c@x.io email)"c@x.io"])~"},
      {"[https://a.io]{.c}", R"~(span{.c}[autolink(https://a.io)"https://a.io"])~"},
      {"[b@x.io] [c](/u)", R"~("[" autolink(mailto:b@x.io email)"b@x.io" "] " link(/u)["c"])~"},
      {"[a ^[https://b.io] c](/u)", R"~(link(/u)["a " note["https://b.io"] " c"])~"},
  });
  // Addresses turned back into text leave no event.
  auto autolink_events = [&](std::string_view text) {
    std::size_t n = 0;
    for (const InlineEvent& e : parse.events(text)) n += e.kind == InlineEventKind::Autolink;
    return n;
  };
  EXPECT_EQ(autolink_events("[x https://a.io b@x.io](/u) https://b.io"), 1u);
  EXPECT_EQ(autolink_events("[<https://a.io> b@x.io](/u)"), 1u);
  EXPECT_EQ(autolink_events("[https://a.io]{.c}"), 1u);
}

// Where a bare link's word and a bare destination end: control bytes other than white space,
// and characters outside ASCII that are none, stay inside; white space of either kind ends them.
TEST(InlineCases, BareLinkAndDestinationEnds) {
  Parser parse;
  parse.options.bare_autolinks = true;
  const std::string long_word = "https://a.io/" + std::string(40, 'x') + "\x01" + std::string(20, 'y');
  const std::string long_destination = std::string(40, 'd') + "\x02" + std::string(30, 'e');
  expect_cases(parse, {
      {"http://a.bc/x\x01y z", "autolink(http://a.bc/x\x01y)\"http://a.bc/x\x01y\" \" z\""},
      {"http://a.bc/x\x0By z", "autolink(http://a.bc/x)\"http://a.bc/x\" \"\x0By z\""},
      {"http://a.bc/x\xC2\xA0y", "autolink(http://a.bc/x)\"http://a.bc/x\" \"\xC2\xA0y\""},
      {"http://a.bc/x\xE3\x80\x80y", "autolink(http://a.bc/x)\"http://a.bc/x\" \"\xE3\x80\x80y\""},
      {"http://a.bc/x\xC3\xA9y z", "autolink(http://a.bc/x\xC3\xA9y)\"http://a.bc/x\xC3\xA9y\" \" z\""},
      {"[https://a.io/x]y", R"~("[" autolink(https://a.io/x)"https://a.io/x" "]y")~"},
      {long_word + " b", "autolink(" + long_word + ")\"" + long_word + "\" \" b\""},
      {"[a](/u\x01v) b", "link(/u\x01v)[\"a\"] \" b\""},
      {"[a](/u\x7Fv)", "link(/u\x7Fv)[\"a\"]"},
      {"[a](/u\tv)", "\"[a](/u\tv)\""},
      {"[l](" + long_destination + ")", "link(" + long_destination + ")[\"l\"]"},
  });
  // Where "http://" and "https://" start, about the ":" that marks them, near a window's end too.
  std::string words;
  for (int i = 0; i < 508; ++i) words += "a ";
  expect_cases(parse, {
      {"(http://a.io)", R"~("(" autolink(http://a.io)"http://a.io" ")")~"},
      {"xhttp://a.io", R"~("xhttp://a.io")~"},
      {"Https://a.io", R"~("Https://a.io")~"},
      {"x https:", R"~("x https:")~"},
      {words + "xx https://a.io/x", "\"" + words + "xx \" autolink(https://a.io/x)\"https://a.io/x\""},
  });
  // A plain link's label with or without a byte that may mark a bare link, and bare links after it.
  expect_cases(parse, {
      {"[b](https://x.io)", R"~(link(https://x.io)["b"])~"},
      {"[x](/u) https://a.io", R"~(link(/u)["x"] " " autolink(https://a.io)"https://a.io")~"},
      {"a [x](/u) b@c.de", R"~("a " link(/u)["x"] " " autolink(mailto:b@c.de email)"b@c.de")~"},
      {"[ab](/u)c@d.ef", R"~(link(/u)["ab"] "c@d.ef")~"},
      {"[www.b.cd](/u)", R"~(link(/u)["www.b.cd"])~"},
      {"[a:b](/u)", R"~(link(/u)["a:b"])~"},
  });
}

TEST(InlineCases, CrossReferencesAndFootnotes) {
  Parser parse;
  parse.footnotes = {"1", "a"};
  expect_cases(parse, {
      {"[@fig-1] *x*", R"~(link{data-ref=}(#fig-1)[] " " emph["x"])~"},
      {"[@a;@b]", R"~(span{data-refs=}[link{data-ref=}(#a)[] link{data-ref=}(#b)[]])~"},
      {"[@1a]", R"~(link{data-ref=}(#1a)[])~"},
      {"[@_a]", R"~("[@_a]")~"},
      {"[see  also  @a]", R"~(link{data-ref=}(#a)["see  also"])~"},
      {"[see\xC2\xA0@a]", R"~(link{data-ref=}(#a)["see"])~"},
      {"[see &amp; @a]", R"~("[see & @a]")~"},  // the ";" splits the items
      {"[see &copy @a]", R"~(link{data-ref=}(#a)["see &copy"])~"},  // the prefix as written
      {"[@a]{ref=x}{ref=y}", R"~(link{data-ref=x y}(#a)[])~"},
      {"[-@a]{.c ref=x}", R"~(link{.c data-ref=bare x}(#a)[])~"},
      {"[@a; -@b]{ref=p}", R"~(span{data-refs=}[link{data-ref=p}(#a)[] link{data-ref=bare p}(#b)[]])~"},
      {"[@a]{ref=}", R"~(link{data-ref=}(#a)[])~"},
      {"[^a]", R"~(footnote_ref"a")~"},
      {"[^1]x[^1]", R"~(footnote_ref"1" "x" footnote_ref"1")~"},
  });
}

TEST(InlineCases, Events) {
  using K = InlineEventKind;
  auto ev = [](K kind, std::size_t s, std::size_t e, bool image = false, std::size_t be = 0) {
    return InlineEvent{kind, image, be, s, e};
  };
  Parser parse;
  parse.links["x"] = LinkRef{"/x", {}, {}};
  const struct {
    std::string_view text;
    std::vector<InlineEvent> expected;
  } cases[] = {
      {"`x`{.a}{#b}", {ev(K::Code, 0, 3), ev(K::Attrs, 3, 11)}},
      {"`x`\n`y`", {ev(K::Code, 0, 3), ev(K::Code, 4, 7)}},
      {"`x` `y`{.a}", {ev(K::Code, 0, 3), ev(K::Code, 4, 7), ev(K::Attrs, 7, 11)}},
      {"[a](u){.c}", {ev(K::Link, 0, 6, false, 3), ev(K::LinkTail, 3, 6), ev(K::Attrs, 6, 10)}},
      {"^[a *b*]", {ev(K::Note, 0, 8), ev(K::Emph, 4, 7)}},
      {"***a***", {ev(K::Emph, 0, 7), ev(K::Strong, 1, 6)}},
      {"\\[x\\]{.a}", {ev(K::MathInline, 0, 5), ev(K::Attrs, 5, 9)}},
      {"![x][]", {ev(K::RefLink, 0, 6, true, 4), ev(K::LinkTail, 4, 6)}},
      // The inner reference is a link, so the outer bracket can no longer make one.
      {"[a [x] b](u)", {ev(K::RefLink, 3, 6, false, 6)}},
      {"![a [x] b](u)", {ev(K::Link, 0, 13, true, 10), ev(K::RefLink, 4, 7, false, 7), ev(K::LinkTail, 10, 13)}},
  };
  for (const auto& c : cases) EXPECT_EQ(parse.events(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace vedavi
