#include "render/anchors.h"

#include <gtest/gtest.h>

#include "block/parse.h"
#include "build.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using namespace test;

// The anchors of md source as the binding lists them: the document's blocks, then the footnotes'.
std::vector<Anchor> anchors_of(std::string_view md, bool jinja) {
  Options options;
  options.math = MathMode::Brackets;
  options.bare_autolinks = true;
  options.frontmatter = true;
  options.max_block_depth = 128;
  options.max_link_paren_depth = 32;
  if (jinja) options.templates.push_back(test::jinja_delimiter());
  const Document doc = parse(md, options);
  std::vector<Anchor> out;
  for (const Block& block : doc.blocks) anchor_block(block, out);
  for (const Footnote& footnote : doc.footnotes)
    for (const Block& block : footnote.blocks) anchor_block(block, out);
  return out;
}

struct AnchorCase {
  const char* name;
  std::string_view md;
  bool jinja;
  std::vector<Anchor> expected;
};

TEST(Anchors, InDocumentOrder) {
  const AnchorCase cases[] = {
    {"no ids", "just text\n", false, {}},
    {"heading without text", "# {#h}\n", false, {{"h", "block", ""}}},
    {"heading text flattened", "# A *b* `c` {#h}\n", false, {{"h", "block", "A b c"}}},
    {"quote gives none, its paragraph does", "> q\n> {: #p}\n", false, {{"p", "block", "q"}}},
    {"heading before the span inside it", "# x [in]{#s} {#h}\n", false,
     {{"h", "block", "x in"}, {"s", "text", "in"}}},
    {"table without caption", "| a |\n|---|\n| 1 |\n{: #t}\n", false, {{"t", "caption", ""}}},
    {"table caption, then cells", "| a |\n|---|\n| [c]{#c} |\n: Cap *x* {#t}\n", false,
     {{"t", "caption", "Cap x"}, {"c", "text", "c"}}},
    {"line break collapses", "a\nb\n{: #p}\n", false, {{"p", "block", "a b"}}},
    {"Unicode blanks collapse and trim", "\xC2\xA0" "a\xE2\x80\x83" "b\xE3\x80\x80\n{: #u}\n", false,
     {{"u", "block", "a b"}}},
    {"footnote reference gives nothing, math its TeX", "# x[^f] \\(t^2\\) y {#h}\n\n[^f]: z\n", false,
     {{"h", "block", "x t^2 y"}}},
    {"footnote anchors after the whole document", "# m {#m}\n\na[^f]\n\n[^f]: in\n    {: #fp}\n\n# z {#z}\n", false,
     {{"m", "block", "m"}, {"z", "block", "z"}, {"fp", "block", "in"}}},
    {"spans inside links, emphasis and notes", "[l [s]{#s}](u) *[e]{#e}* ^[[n]{#n}]\n", false,
     {{"s", "text", "s"}, {"e", "text", "e"}, {"n", "text", "n"}}},
    {"image alt is walked (no implicit figures here)", "![Cap [s]{#s}](u){#f}\n", false, {{"s", "text", "s"}}},
    {"ids on code and superscript give nothing", "`c`{#c} ^s^{#s}\n", false, {}},
    {"panel title", "::: {.callout-note #pn}\n## Title {#tt}\nbody\n:::\n", false, {{"tt", "text", "Title"}}},
    {"list items give nothing, their paragraphs do", "- a\n  {: #a}\n- b\n", false, {{"a", "block", "a"}}},
    {"definition terms, then definitions", "Term [x]{#s} {#t}\n: def [d]{#d}\n", false,
     {{"t", "text", "Term x"}, {"s", "text", "x"}, {"d", "text", "d"}}},
    {"math, code and divs give nothing", "::: {#dv}\n\\[\ny\n\\]\n{: #m}\n\n```{#c}\nx\n```\n:::\n", false, {}},
    {"what raw html, templates and math contribute", "x <b> {{ body }} \\(e^x\\)\n{: #p}\n", true,
     {{"p", "block", "x body e^x"}}},
    {"templates reach the heading text", "# {{ v }} {#h}\n", true, {{"h", "block", "v"}}},
  };
  for (const AnchorCase& c : cases) EXPECT_EQ(anchors_of(c.md, c.jinja), c.expected) << c.name;
}

TEST(Anchors, TextAndPushAnchor) {
  TemplateToken token;
  token.body = "b";
  EXPECT_EQ(inlines_text(ins({text(" a "), soft(), Inline(token), fnref("x")})), " a  b");
  std::vector<Anchor> list;
  push_anchor(Attr{}, "block", "text", list);
  EXPECT_TRUE(list.empty());
  push_anchor(id_attr("i"), "block", " \n a \u00A0 b\n", list);
  EXPECT_EQ(list, (std::vector<Anchor>{{"i", "block", "a b"}}));
}

}  // namespace
}  // namespace vedavi
