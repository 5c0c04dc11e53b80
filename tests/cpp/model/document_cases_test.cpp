// The document a parse hands out: meta pairs and the diagnostics of unclosed blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "block/parse.h"
#include "model/document.h"
#include "model/options.h"

namespace vedavi {
namespace {

Options options_with_frontmatter() {
  Options options;
  options.max_block_depth = 128;
  options.max_link_paren_depth = 32;
  options.frontmatter = true;
  options.math = MathMode::Brackets;
  return options;
}

TEST(DocumentMeta, OnlyALeadingBlockGivesPairs) {
  struct Case {
    const char* source;
    StringPairs meta;
  };
  const std::vector<Case> cases = {
      {"# Title\n\ntext\n", {}},
      {"", {}},
      {"text\n---\na: 1\n---\n", {}},
      {"---\na: 1\n", {}},  // never closed: all of it is content
      {"---\na: 1\nb: x\n---\ntext\n", {{"a", "1"}, {"b", "x"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.source, options_with_frontmatter()).meta, c.meta) << c.source;
}

// Every diagnostic of the block parser points at one place: the line of the opener, column 1.
TEST(DocumentDiagnostics, UnclosedBlocksPointAtTheirOpeningLine) {
  struct Case {
    const char* source;
    std::vector<std::size_t> lines;
  };
  const std::vector<Case> cases = {
      {"```\ncode", {1}},
      {"text\n\n~~~\ncode\n", {3}},
      {"\\[\nx", {1}},
      {"::: a\n::: b\nx\n", {1, 2}},
      {"- item\n\n  ```\n  code\n", {3}},
      {"```\nclosed\n```\n", {}},
  };
  for (const Case& c : cases) {
    const Document doc = parse(c.source, options_with_frontmatter());
    ASSERT_EQ(doc.diagnostics.size(), c.lines.size()) << c.source;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      const Diagnostic& d = doc.diagnostics[i];
      EXPECT_EQ(d.start, (SourcePos{c.lines[i], 1})) << c.source;
      EXPECT_EQ(d.end, d.start) << c.source;
      EXPECT_EQ(d.code, "unclosed") << c.source;
      EXPECT_EQ(d.aux, std::nullopt) << c.source;
      EXPECT_EQ(d.flags, 0) << c.source;
      EXPECT_FALSE(d.message.empty()) << c.source;
    }
  }
}

// Labels that normalise alike name one definition: the first in source order. A label of the
// longest length (999 characters of four bytes) still defines and links.
TEST(DocumentLinkDefinitions, FirstOfEqualLabelsWins) {
  struct Case {
    std::string source;
    const char* url;
  };
  std::string longest;
  for (int i = 0; i < 999; ++i) longest += "\xF0\x9F\x98\x80";
  const std::vector<Case> cases = {
      {"[Foo  Bar]: /first\n[foo bar]: /second\n\n[FOO\tBAR]\n", "/first"},
      {"[a]: /one\n\n[A]\n\n[a]: /two\n", "/one"},
      {"[Foo\nBar]: /split\n[foo bar]: /second\n\n[foo bar]\n", "/split"},
      {"[\u0130]: /dot\n\n[i\u0307]\n", "/dot"},
      {"[" + longest + "]: /longest\n\n[" + longest + "]\n", "/longest"},
  };
  for (const Case& c : cases) {
    const Document doc = parse(c.source, options_with_frontmatter());
    ASSERT_FALSE(doc.blocks.empty()) << c.source;
    const Inlines* inlines = doc.blocks.back().inlines();
    ASSERT_TRUE(inlines && !inlines->empty()) << c.source;
    const auto* link = inlines->front().get_if<Inline::Link>();
    ASSERT_TRUE(link) << c.source;
    EXPECT_EQ(link->url, c.url) << c.source;
  }
}

}  // namespace
}  // namespace vedavi
