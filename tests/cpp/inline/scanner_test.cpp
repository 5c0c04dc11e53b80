// The inline scanner: breaks, escapes, entities, math, code spans, scripts, footnote references
// and the fast path.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "inline/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using test::Parser;

struct Case {
  std::string_view input;
  std::string_view expected;
};

void expect_cases(const Parser& parse, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(parse(c.input), c.expected) << "input: " << c.input;
}

TEST(InlineScan, LiteralPrivateUseCharacterSurvives) {
  Parser parse;
  expect_cases(parse, {
      {"a\xEE\x80\x80 b", "\"a\xEE\x80\x80 b\""},
      {"*a\xEE\x80\x80*", "emph[\"a\xEE\x80\x80\"]"},
      {"&#xE000;x*y*", "\"\xEE\x80\x80x\" emph[\"y\"]"},
      {"\\&amp;\xEE\x80\x80&amp;*x*", "\"&amp;\xEE\x80\x80&\" emph[\"x\"]"},
      {"[a](u\xEE\x80\x80\\&amp;)", "link(u\xEE\x80\x80&amp;)[\"a\"]"},
  });
}

TEST(InlineScan, EmptyTextWithDefinitions) {
  Parser parse;
  parse.links["x"] = LinkRef{"u", {}, {}};
  EXPECT_EQ(parse(""), "");
}

TEST(InlineScan, TemplateTokens) {
  Parser parse;
  TemplateDelimiter d;
  d.syntax = "mustache";
  d.open = "{{";
  d.close = "}}";
  parse.options.templates.push_back(d);
  expect_cases(parse, {
      {"a {{x}} b", R"~("a " template_token"{{x}}" " b")~"},
      {"`{{x}}`", R"~(code"{{x}}")~"},
      {"{{x", R"~("{{x")~"},
  });
}

// The fast path must agree with the scan on every text it accepts.
TEST(InlineScan, FastPathAgreesWithScan) {
  std::mt19937 rng(12345);
  const std::string alphabet = "ab ,.!?()[]{}@:/w;\"'#-+$=%\t";
  for (int bare = 0; bare < 2; ++bare) {
    Parser parse;
    parse.options.bare_autolinks = bare;
    Parser scan = parse;  // a link definition forces the full scan
    scan.links["zzz-never-used"] = LinkRef{"u", {}, {}};
    for (int round = 0; round < 4000; ++round) {
      std::string text;
      const int len = 1 + static_cast<int>(rng() % 12);  // empty differs by design
      for (int i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
      EXPECT_EQ(parse(text), scan(text)) << "text: " << text;
    }
  }
}

TEST(InlineScan, CrossReferenceDoesNotDependOnAutolinks) {
  Parser parse;
  EXPECT_EQ(parse("[@fig-1]"), R"~(link{data-ref=}(#fig-1)[])~");
  EXPECT_EQ(parse("[@fig-1] *x*"), R"~(link{data-ref=}(#fig-1)[] " " emph["x"])~");
}

}  // namespace
}  // namespace vedavi

namespace vedavi {
namespace {

// No two adjacent texts in any list the parser returns (a note's content aside), at any depth.
bool coalesced_everywhere(const Inlines& list) {
  std::vector<const Inlines*> lists{&list};
  while (!lists.empty()) {
    const Inlines* current = lists.back();
    lists.pop_back();
    for (std::size_t i = 0; i < current->size(); ++i) {
      const Inline& x = (*current)[i];
      if (i > 0 && x.kind() == InlineKind::Text && (*current)[i - 1].kind() == InlineKind::Text)
        return false;
      if (x.kind() != InlineKind::Note && x.children()) lists.push_back(x.children());
    }
  }
  return true;
}

TEST(InlineScan, RandomTextsUnderEveryOption) {
  std::mt19937 rng(987);
  const std::vector<std::string_view> pieces = {
      "*", "_", "~", "=", "^", "[", "]", "(", ")", "{", "}", "<", ">", "!", "`", "\\", "$", "@",
      "&", ";", ":", "/", "#", ".", "'", "\"", " ", "\n", "a", "b", "x", "www.", "http://",
      "&amp;", "{.c}", "{=html}", "<!--", "-->", "<b>", "[^1]", "^[", "](u)", "@a", "\xC2\xA0",
      "\xEE\x80\x80", "{{", "}}", "\x01", "\xFF"};
  TemplateDelimiter mustache;
  mustache.syntax = "m";
  mustache.open = "{{";
  mustache.close = "}}";
  for (int round = 0; round < 3000; ++round) {
    Parser parse;
    parse.options.bare_autolinks = round % 2;
    parse.options.math = static_cast<MathMode>(round % 4);
    parse.options.max_link_paren_depth = round % 3;
    if (round % 5 == 0) parse.options.templates.push_back(mustache);
    if (round % 3 == 0) parse.links["a"] = LinkRef{"/a", {}, {}};
    parse.footnotes = {"1"};
    std::string text;
    const int len = static_cast<int>(rng() % 24);
    for (int i = 0; i < len; ++i) text += pieces[rng() % pieces.size()];
    const Inlines result = parse.parse(text);
    EXPECT_TRUE(coalesced_everywhere(result)) << text;
    std::vector<InlineEvent> events = parse.events(text);
    for (const InlineEvent& e : events) {
      EXPECT_LE(e.start, e.end) << text;
      EXPECT_LE(e.end, text.size()) << text;
    }
  }
}

}  // namespace
}  // namespace vedavi
