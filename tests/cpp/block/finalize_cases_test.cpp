// Finished documents: what implicit figures keep of their image, where figures are found, how
// md-HTML containers dissolve into their parent and what table cells keep.
#include <gtest/gtest.h>

#include <string>

#include "block/parse.h"
#include "block/finalize.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

std::string finished(std::string_view source, bool figures = true) {
  Options o = test::default_options();
  o.implicit_figures = figures;
  block::Parsed parsed = block::parse_source(source, o, 0);
  const InlineContext ctx{o, parsed.link_defs, parsed.footnote_labels, nullptr};
  if (figures) block::decide_figures(parsed.drafts, ctx);
  block::finish_parse(parsed, o);
  std::string out = debug_string(parsed.document.blocks);
  for (const Footnote& f : parsed.document.footnotes)
    out += "[^" + f.label + "]\n" + debug_string(f.blocks);
  return out;
}

struct Case {
  std::string_view source;
  std::string_view expected;
};

TEST(FinalizeCases, Figures) {
  const Case cases[] = {
      // The image keeps its title and pairs; its id gives way to the paragraph's.
      {"{: #outer}\n![A cat](cat.png \"T\"){#fig-cat .wide k=v}",
       "figure {#outer .wide}\n  caption\n    text \"A cat\"\n"
       "  image {k=\"v\"} \"cat.png\" title=\"T\"\n    text \"A cat\"\n"},
      // A class already on the figure is not added twice.
      {"{: .wide}\n![a](x.png){.wide .b}",
       "figure {.wide .b}\n  caption\n    text \"a\"\n  image \"x.png\"\n    text \"a\"\n"},
      // A reference image is an image too; the definition's classes move to the figure.
      {"![a][r]\n\n[r]: /u {.c}",
       "figure {.c}\n  caption\n    text \"a\"\n  image \"/u\"\n    text \"a\"\n"},
      {"![](x.png)", "figure\n  caption\n  image \"x.png\"\n"},
      {"![a](x.png)\\", "paragraph\n  image \"x.png\"\n    text \"a\"\n  text \"\\\\\"\n"},
      {"- ![a](x.png)\n",
       "list bullet tight\n  item\n    figure\n      caption\n        text \"a\"\n"
       "      image \"x.png\"\n        text \"a\"\n"},
      // Paragraphs inside footnote definitions are covered before the definitions move out.
      {"x[^n]\n\n[^n]: ![a](x.png)\n",
       "paragraph\n  text \"x\"\n  footnote_ref \"n\"\n[^n]\nfigure\n  caption\n    text \"a\"\n"
       "  image \"x.png\"\n    text \"a\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(finished(c.source), c.expected) << c.source;
}

TEST(FinalizeCases, SplicesTablesAndTerms) {
  const Case cases[] = {
      {"<div markdown=\"1\">\n*a*\n</div>\nafter\n",
       "html_block \"<div>\\n\"\nparagraph\n  emph\n    text \"a\"\nhtml_block \"</div>\\n\"\n"
       "paragraph\n  text \"after\"\n"},
      {"> <section markdown=\"1\">\n> # H\n> </section>\n",
       "block_quote\n  html_block \"<section>\\n\"\n  heading level=1\n    text \"H\"\n"
       "  html_block \"</section>\\n\"\n"},
      {"| a | b |\n|:--|--:|\n| *1* | 2 |\n",
       "table\n  aligns left right\n  head row\n    cell left\n      text \"a\"\n    cell right\n"
       "      text \"b\"\n  row\n    cell left\n      emph\n        text \"1\"\n    cell right\n"
       "      text \"2\"\n"},
      // Only terms split off a trailing attribute block.
      {"Apple {.fruit}\n: red {.x}\n",
       "definition_list\n  item\n    term {.fruit}\n      text \"Apple\"\n    definition\n"
       "      text \"red {.x}\"\n"},
      {"::: {.callout-note}\n## Note {#h}\n:::\n",
       "div {data-panel=\"\" data-callout=\"note\" data-disclosure=\"fixed\"}\n  panel_title {#h}\n"
       "    text \"Note\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(finished(c.source, false), c.expected) << c.source;
}

}  // namespace
}  // namespace vedavi
