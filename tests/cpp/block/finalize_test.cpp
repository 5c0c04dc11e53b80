// Finished documents: what implicit figures keep of their image, where figures are found, how
// md-HTML containers dissolve into their parent, where footnotes go and what cells keep.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "block/finalize.h"
#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

Document finished(std::string_view source, bool figures, std::size_t max_depth = 128) {
  Options o = test::default_options();
  o.implicit_figures = figures;
  o.max_block_depth = max_depth;
  block::Parsed parsed = block::parse_source(source, o, 0);
  const InlineContext ctx{o, parsed.link_defs, parsed.footnote_labels, nullptr};
  if (figures) block::decide_figures(parsed.drafts, ctx);
  block::finish_parse(parsed, o);
  return std::move(parsed.document);
}

std::string dump(std::string_view source, bool figures) {
  const Document doc = finished(source, figures);
  std::string out = debug_string(doc.blocks);
  for (const Footnote& f : doc.footnotes) out += "[^" + f.label + "]\n" + debug_string(f.blocks);
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
      {"![a][r]\n\n[r]: /u {.c}", "figure {.c}\n  caption\n    text \"a\"\n  image \"/u\"\n    text \"a\"\n"},
      {"![](x.png)", "figure\n  caption\n  image \"x.png\"\n"},
      {"![a](x.png)\\", "paragraph\n  image \"x.png\"\n    text \"a\"\n  text \"\\\\\"\n"},
      {"- ![a](x.png)\n",
       "list bullet tight\n  item\n    figure\n      caption\n        text \"a\"\n      image \"x.png\"\n        text \"a\"\n"},
      // Paragraphs inside footnote definitions are covered before the definitions move out.
      {"x[^n]\n\n[^n]: ![a](x.png)\n",
       "paragraph\n  text \"x\"\n  footnote_ref \"n\"\n[^n]\nfigure\n  caption\n    text \"a\"\n"
       "  image \"x.png\"\n    text \"a\"\n"},
      // Paragraphs of a top-level list turned back into text are looked at where they stand.
      {"2. x\n\n   ![a](x.png)\n",
       "paragraph\n  text \"2. x\"\nfigure\n  caption\n    text \"a\"\n  image \"x.png\"\n    text \"a\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(dump(c.source, true), c.expected) << c.source;
}

TEST(FinalizeCases, SplicesTablesTermsPanelsAndFootnotes) {
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
      {"{: #old}\n| a |\n|---|\n| *1* |\n: cap {#tbl-x}\n",
       "table {#tbl-x}\n  aligns -\n  caption\n    text \"cap\"\n  head row\n    cell\n      text \"a\"\n  row\n    cell\n"
       "      emph\n        text \"1\"\n"},
      // Unequal dash counts become relative column widths.
      {"| a | b | c |\n|:--|----------:|-|\n",
       "table {colwidths=\"2fr 10fr 1fr\"}\n  aligns left right -\n  head row\n    cell left\n"
       "      text \"a\"\n    cell right\n      text \"b\"\n    cell\n      text \"c\"\n"},
      // Only terms split off a trailing attribute block.
      {"Apple {.fruit}\n: red {.x}\n",
       "definition_list\n  item\n    term {.fruit}\n      text \"Apple\"\n    definition\n"
       "      text \"red {.x}\"\n"},
      {"Apple {.fruit}\n: red *x*\n",
       "definition_list\n  item\n    term {.fruit}\n      text \"Apple\"\n    definition\n"
       "      text \"red \"\n      emph\n        text \"x\"\n"},
      {"::: {.callout-note}\n## Note {#h}\n:::\n",
       "div {data-panel=\"\" data-callout=\"note\" data-disclosure=\"fixed\"}\n  panel_title {#h}\n"
       "    text \"Note\"\n"},
      {"::: {.callout-note}\n## Note\ntext\n\n## Later\n:::\n",
       "div {data-panel=\"\" data-callout=\"note\" data-disclosure=\"fixed\"}\n"
       "  panel_title\n    text \"Note\"\n  paragraph\n    text \"text\"\n  heading level=2\n    text \"Later\"\n"},
      {"::: {.callout-note}\ntext\n:::\n",
       "div {data-panel=\"\" data-callout=\"note\" data-disclosure=\"fixed\"}\n  paragraph\n    text \"text\"\n"},
      {"::: {.plain}\n## H\n:::\n", "div {.plain}\n  heading level=2\n    text \"H\"\n"},
      // Definitions leave the tree in order; the blocks after them close up at every level.
      {"- a\n\n  [^n]: in a list\n\n[^x]: one\n\n[^x]: two\n",
       "list bullet loose\n  item\n    paragraph\n      text \"a\"\n[^n]\nparagraph\n  text \"in a list\"\n[^x]\n"
       "paragraph\n  text \"one\"\n[^x]\nparagraph\n  text \"two\"\n"},
      {"a\n\n[^1]: one\n\nb\n\n> c\n>\n> [^2]: two\n>\n> d\n\n[^3]: three\n\ne\n",
       "paragraph\n  text \"a\"\nparagraph\n  text \"b\"\nblock_quote\n  paragraph\n    text \"c\"\n  paragraph\n"
       "    text \"d\"\nparagraph\n  text \"e\"\n[^1]\nparagraph\n  text \"one\"\n[^2]\nparagraph\n  text \"two\"\n"
       "[^3]\nparagraph\n  text \"three\"\n"},
      // Below the top level in a div, an md-HTML container and another definition.
      {"::: d\n[^1]: in a div\n:::\n\n<div markdown=\"1\">\n\n[^2]: in html\n\n</div>\n\n[^3]: outer\n\n    [^4]: inner\n",
       "div {.d}\nhtml_block \"<div>\\n\"\nhtml_block \"</div>\\n\"\n[^1]\nparagraph\n  text \"in a div\"\n"
       "[^2]\nparagraph\n  text \"in html\"\n[^4]\nparagraph\n  text \"inner\"\n[^3]\nparagraph\n  text \"outer\"\n"},
      // A top-level list turned back into text: its blocks, a definition among them, stand where
      // it stood, among the top-level blocks.
      {"a\n\n1. # H\n\n   [^n]: x\n\nb\n",
       "paragraph\n  text \"a\"\nparagraph\n  text \"1.\"\nheading level=1\n  text \"H\"\nparagraph\n  text \"b\"\n"
       "[^n]\nparagraph\n  text \"x\"\n"},
      // All at the top level: in document order.
      {"[^b]: two\n\na\n\n[^a]: one\n",
       "paragraph\n  text \"a\"\n[^b]\nparagraph\n  text \"two\"\n[^a]\nparagraph\n  text \"one\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(dump(c.source, false), c.expected) << c.source;
  block::Drafts drafts;
  block::draft::FootnoteDef outer{"outer", {}};
  outer.children.push_back(block::Draft{{}, block::draft::FootnoteDef{"inner", {}}});
  drafts.push_back(block::Draft{{}, std::move(outer)});
  std::vector<block::DraftFootnote> out;
  block::take_footnotes(drafts, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].label + " " + out[1].label, "inner outer");
  ASSERT_EQ(drafts.size(), 1u);  // the outer one's place: a splice of nothing
  auto* left = std::get_if<block::draft::Splice>(&drafts[0].block);
  ASSERT_TRUE(left);
  EXPECT_TRUE(left->members.empty());
}

// A fence's info is read when its block is finished: its attributes come first, then those of
// the attribute lines after the block, later ones winning, as if each had been merged in turn.
TEST(FinalizeCases, FenceInfoBeforeAttributeLines) {
  const Case cases[] = {
      {"```py {#i .a k=1}\nx\n```\n{: .b #j k=2 m=3}\n",
       "code_block {#j .py .a .b k=\"2\" m=\"3\"} info=\"py {#i .a k=1}\" lang=py \"x\\n\"\n"},
      {"```{.c #d}\nx\n```\n{: .c .e}\n{: #f}\n",
       "code_block {#f .c .e} info=\"{.c #d}\" lang=c \"x\\n\"\n"},
      {"``` example\nz\n```\n", "code_block info=\"example\" lang=example \"z\\n\"\n"},
      {"```\nz\n```\n{: .only}\n", "code_block {.only} info=\"\" \"z\\n\"\n"},
      // A plain word with attribute lines after the block, and words that are not plain.
      {"```c++\nz\n```\n{: .b}\n", "code_block {.b} info=\"c++\" lang=c++ \"z\\n\"\n"},
      {"```a.b\nz\n```\n", "code_block info=\"a.b\" lang=a.b \"z\\n\"\n"},
      {"```a&amp;b\nz\n```\n", "code_block info=\"a&amp;b\" lang=a&b \"z\\n\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(dump(c.source, false), c.expected) << c.source;
}

TEST(FinalizeCases, TableCellsGrowApartFromTheRoomsTheyShare) {
  // A table's cells, and the text nodes of its plain cells, are made in rooms the table's lists
  // share: a list that grows later leaves its slice without touching its neighbours', and lists
  // made after that may take the slices left behind.
  Document doc = finished("| a | *b* | c |\n|---|---|---|\n| d | e | `f` |\n| g | h |\n| i |\n", false);
  auto* table = doc.blocks[0].get_if<Block::Table>();
  ASSERT_NE(table, nullptr);
  std::vector<ArenaVector<TableRow>*> parts = {&table->head_rows, &table->rows};
  std::vector<std::vector<std::string>> before;
  for (auto* rows : parts)
    for (const TableRow& row : *rows) {
      before.emplace_back();
      for (const TableCell& cell : row.cells) before.back().push_back(test::show(cell.content));
    }
  const std::string plus = test::show(Inlines{Inline(Inline::Text{Str("+")})});
  const std::string fresh = test::show(Inlines{Inline(Inline::Text{Str("new")})});
  // Every cell gains a node and every row a cell, in turns, and short lists are made between.
  std::vector<Inlines> made;
  for (auto* rows : parts)
    for (TableRow& row : *rows) {
      for (TableCell& cell : row.cells) {
        cell.content.push_back(Inline(Inline::Text{Str("+")}));
        made.emplace_back().push_back(Inline(Inline::Text{Str("new")}));
      }
      row.cells.push_back(TableCell{Attr(), {}, Align::None});
      made.emplace_back().push_back(Inline(Inline::Text{Str("new")}));
    }
  std::size_t r = 0;
  for (auto* rows : parts)
    for (const TableRow& row : *rows) {
      ASSERT_EQ(row.cells.size(), before[r].size() + 1);
      for (std::size_t c = 0; c < before[r].size(); ++c) {
        const Inlines& content = row.cells[c].content;
        ASSERT_FALSE(content.empty());
        EXPECT_EQ(test::show(Inlines(content.begin(), content.end() - 1)), before[r][c]) << r << " " << c;
        EXPECT_EQ(test::show(Inlines(content.end() - 1, content.end())), plus) << r << " " << c;
      }
      ++r;
    }
  for (const Inlines& list : made) EXPECT_EQ(test::show(list), fresh);
}

TEST(FinalizeBlocks, DeepContainersWithoutRecursion) {
  const Document doc = finished(std::string(60000, '>') + " *a*", false, 1'000'000);
  std::size_t depth = 0;
  for (const Blocks* list = &doc.blocks; !list->empty() && (*list)[0].children(); list = (*list)[0].children())
    ++depth;
  EXPECT_EQ(depth, 60000u);
}

// Deep inline nesting in a leaf, finished on a small stack: a figure's caption is a deep copy.
TEST(FinalizeBlocks, DeepInlinesOnASmallStack) {
  std::function<void()> work = [] {
    const std::string images = test::repeat("![", 50000) + "x" + test::repeat("](u)", 50000);
    const std::string stars(100000, '*');
    const Document doc = finished(images + "\n\n" + stars + "a " + stars, true);
    ASSERT_EQ(doc.blocks.size(), 2u);
    EXPECT_EQ(doc.blocks[0].kind(), BlockKind::Figure);
  };
  ASSERT_TRUE(test::run_on_small_stack(work));
}

}  // namespace
}  // namespace vedavi
