// The block structure md source parses into (drafts of span mode 0).
#include <gtest/gtest.h>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::parse_dump;

struct Case {
  std::string_view src;
  std::string_view expected;
};

void run(std::initializer_list<Case> cases, const Options& options = testing::default_options()) {
  for (const auto& c : cases) EXPECT_EQ(parse_dump(c.src, options), c.expected) << "source: " << c.src;
}

TEST(Containers, QuotesAndListsHaveNoLazyLines) {
  run({
      {"> a\nb", "quote\n  p a\np b\n"},
      {"- a\nb", "ul tight\n  item\n    p a\np b\n"},
      {"- a\n\n- b", "ul loose\n  item\n    p a\n  item\n    p b\n"},
      {"- a\n\n  more", "ul loose\n  item\n    p a\n    p more\n"},
      {"-\n\n  x", "ul tight\n  item\np x\n"},
      {"- a\n* b", "ul tight\n  item\n    p a\nul tight\n  item\n    p b\n"},
      {"> > x", "quote\n  quote\n    p x\n"},
      {">\tx", "quote\n  p x\n"},
      {">\t\tx", "quote\n  code   x\\n\n"},
      {"-\tx", "ul tight\n  item\n    p x\n"},
      {"-\t\tx", "ul tight\n  item\n    code   x\\n\n"},
      {"- a\n \tb", "ul tight\n  item\n    p a\\nb\n"},
      {"-\vx", "p -\vx\n"},
      {"-\fx", "ul tight\n  item\n    p x\n"},
      {"a\n\xC2\xA0\nb", "p a\np b\n"},
      {"- a\n\xC2\xA0\n- b", "ul loose\n  item\n    p a\n  item\n    p b\n"},
      {"- a\n  - b\n- c", "ul tight\n  item\n    p a\n    ul tight\n      item\n        p b\n  item\n    p c\n"},
      {"> a\n>\n> b", "quote\n  p a\n  p b\n"},
      {"> a\n\n> b", "quote\n  p a\nquote\n  p b\n"},
  });
}

TEST(Containers, OrderedListNumbering) {
  run({
      {"1. a\n3. b", "p 1. a\np 3. b\n"},
      {"1. a\n2. b", "ol start=1 tight\n  item\n    p a\n  item\n    p b\n"},
      {"1. a\n1. b", "ol start=1 tight\n  item\n    p a\n  item\n    p b\n"},
      {"1. one", "p 1. one\n"},
      {"3. a\n4. b", "p 3. a\\n4. b\n"},
      {"3. a\n\n4. b", "p 3. a\np 4. b\n"},
  });
}

TEST(Containers, DepthLimitLeavesMarkersAsText) {
  Options o = testing::default_options();
  o.max_block_depth = 2;
  run({{"> > > x", "quote\n  quote\n    p > x\n"}}, o);
  o.max_block_depth = 1;
  run({
      {"> ::: a\n> x", "quote\n  p ::: a\\nx\n"},
      {"> [^n]: x", "quote\n  p [^n]: x\n"},
      {"- <div markdown=1>\n  x", "ul tight\n  item\n    html <div markdown=1>\\nx\\n\n"},
      {"::: a\n- x\n:::", "div{.a}\n  p - x\n"},
  },
      o);
  o.max_block_depth = 0;
  run({{"> x\n- y", "p > x\np - y\n"}}, o);
}

TEST(Fences, ClosedOnlyByAnEqualRun) {
  run({
      {"````\na\n```\n`````\n    ````\n````", "code a\\n```\\n`````\\n    ````\\n\n"},
      {"```js\nx\n```", "code lang=js x\\n\n"},
      {"  ```\n  a\n b\nc\n```", "code a\\nb\\nc\\n\n"},
      {"~~~\n```\n~~~", "code ```\\n\n"},
      {"```\n\tx\n```", "code     x\\n\n"},
      {"```{=html}\n<b>\n```", "raw=html <b>\\n\n"},
      {"```{dot}\na\n```", "script=dot a\\n\n"},
      {"```{do t}\na\n```", "code lang={do a\\n\n"},
  });
}

TEST(IndentedCode, BlankLinesBelongWhenCodeGoesOn) {
  run({
      {"    a\n\n    more", "code a\\n\\nmore\\n\n"},
      {"    a\n\ntext", "code a\\n\np text\n"},
      {"para\n    more", "p para\\nmore\n"},
      {"para\n\n    code", "p para\ncode code\\n\n"},
  });
}

TEST(LeafLines, DefinitionLists) {
  run({
      {"Term\n: def\n: more", "dl\n  dt Term\n  dd def\n  dd more\n"},
      {"a\nb\n: d", "dl\n  dt a\n  dt b\n  dd d\n"},
      {"Term\n: one\n\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt Term2\n  dd two\n"},
      {"Term\n: one\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n{: .x}\n\nTerm2\n: two", "dl{.x}\n  dt Term\n  dd one\ndl\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n\n^\n\nTerm2\n: two", "dl\n  dt Term\n  dd one\ndl\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n^\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt ^\n  dt Term2\n  dd two\n"},
  });
}

TEST(Templates, WholeLineTokens) {
  Options o = testing::default_options();
  TemplateDelimiter mustache;
  mustache.syntax = "mustache";
  mustache.open = "{{";
  mustache.close = "}}";
  mustache.markers = TemplateMarkers{"#", "^", "/"};
  o.templates.push_back(mustache);
  run({
      {"{{name}}", "token {{name}}\n"},
      // A token line ends its paragraph, so the attribute line after it is a paragraph of its own.
      {"{{name}}\n{: .c}", "token {{name}}\np {: .c}\n"},
      // A template token takes no attributes: the pending line stays text.
      {"{: .c}\n{{name}}", "p {: .c}\ntoken {{name}}\n"},
      {"text\n{{name}}", "p text\ntoken {{name}}\n"},
      {"{{name}}\ntext", "token {{name}}\np text\n"},
      {"a|b\n-|-\n{{#rows}}\n1|2\n{{/rows}}\n{{x}}", "table\n  head |a |b\n  row |1 |2\n  row |{{x}} |\n"},
  },
      o);
  auto p = parse_source("a|b\n-|-\n{{#rows}}\n1|2\n{{/rows}}", o, 0);
  auto& table = std::get<draft::Table>(p.drafts.at(0).block);
  ASSERT_EQ(table.tokens.size(), 2u);
  EXPECT_EQ(table.tokens[0].first, 0u);
  EXPECT_EQ(table.tokens[1].first, 1u);
  EXPECT_EQ(table.tokens[1].second.kind, TemplateTokenKind::Close);
  auto spans = parse_source("{{name}}", o, 2);
  ASSERT_EQ(spans.trace.spans.size(), 1u);
  EXPECT_EQ(spans.trace.spans[0].kind, "template_token");
  EXPECT_EQ(spans.trace.spans[0].facts().name, "name");
}

TEST(Parse, DocumentOfEmptySource) {
  Document d = parse("", testing::default_options());
  EXPECT_TRUE(d.blocks.empty());
  EXPECT_TRUE(d.footnotes.empty());
  EXPECT_TRUE(d.diagnostics.empty());
  EXPECT_TRUE(d.meta.empty());
}

TEST(LinkDefinitions, RegisteredAndRemoved) {
  auto parsed = parse_source("[a]: /x\n[a]: /y\n\npara\n[b]: /z", testing::default_options(), 0);
  EXPECT_EQ(testing::dump(parsed.drafts), "p para\\n[b]: /z\n");
  ASSERT_EQ(parsed.link_defs.size(), 1u);
  EXPECT_EQ(parsed.link_defs.at("a").destination, "/x");
  auto inside = parse_source("> [q]: /q\n> text", testing::default_options(), 0);
  EXPECT_EQ(testing::dump(inside.drafts), "quote\n  p text\n");
  EXPECT_EQ(inside.link_defs.count("q"), 1u);
  EXPECT_EQ(parse_dump("[^a]: note"), "footnote a\n  p note\n");
  auto spread = parse_source("[foo\nbar]: /u\n\n[x\n\ny]: /v", testing::default_options(), 0);
  EXPECT_EQ(spread.link_defs.count("foo bar"), 1u);
  EXPECT_EQ(spread.link_defs.size(), 1u);
  EXPECT_EQ(testing::dump(spread.drafts), "p [x\np y]: /v\n");
  // Two parses of one source agree.
  const char* src = "- a\n\n  b\n\n> q\n\n| t |\n|---|\n";
  EXPECT_EQ(parse_dump(src), parse_dump(src));
}

}  // namespace
}  // namespace vedavi::block
