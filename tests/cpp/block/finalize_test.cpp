// Implicit figures, footnote extraction and drafts finished into blocks.
#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

#include "block/parse.h"
#include "block/finalize.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

Options options(bool figures) {
  Options o = test::default_options();
  o.frontmatter = true;
  o.implicit_figures = figures;
  return o;
}

Document finished(std::string_view source, const Options& o) {
  block::Parsed parsed = block::parse_source(source, o, 0);
  const InlineContext ctx{o, parsed.link_defs, parsed.footnote_labels, nullptr};
  if (o.implicit_figures) block::decide_figures(parsed.drafts, ctx);
  block::finish_parse(parsed, o);
  return std::move(parsed.document);
}

std::string dump(std::string_view source, bool figures = false) {
  return debug_string(finished(source, options(figures)));
}

TEST(FootnoteExtraction, DefinitionsLeaveTheTree) {
  const Document doc = finished("- a\n\n  [^n]: in a list\n\n[^x]: one\n\n[^x]: two\n", options(false));
  ASSERT_EQ(doc.footnotes.size(), 3u);
  EXPECT_EQ(doc.footnotes[0].label, "n");
  EXPECT_EQ(doc.footnotes[1].label, "x");
  EXPECT_EQ(doc.footnotes[2].label, "x");
  EXPECT_EQ(debug_string(doc.blocks), "list bullet loose\n  item\n    paragraph\n      text \"a\"\n");

  block::Drafts drafts;
  block::draft::FootnoteDef outer{"outer", {}};
  outer.children.push_back(block::Draft{{}, block::draft::FootnoteDef{"inner", {}}});
  drafts.push_back(block::Draft{{}, std::move(outer)});
  std::vector<block::DraftFootnote> out;
  block::take_footnotes(drafts, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].label, "inner");
  EXPECT_EQ(out[1].label, "outer");
  EXPECT_TRUE(drafts.empty());

  // Blocks after a removed definition close up in order, at every level.
  const Document mixed = finished(
      "a\n\n[^1]: one\n\nb\n\n> c\n>\n> [^2]: two\n>\n> d\n\n[^3]: three\n\ne\n",
      options(false));
  ASSERT_EQ(mixed.footnotes.size(), 3u);
  EXPECT_EQ(mixed.footnotes[0].label, "1");
  EXPECT_EQ(mixed.footnotes[1].label, "2");
  EXPECT_EQ(mixed.footnotes[2].label, "3");
  EXPECT_EQ(debug_string(mixed.blocks),
            "paragraph\n  text \"a\"\nparagraph\n  text \"b\"\nblock_quote\n  paragraph\n"
            "    text \"c\"\n  paragraph\n    text \"d\"\nparagraph\n  text \"e\"\n");
}

TEST(FinalizeBlocks, LeavesPanelsTermsAndTables) {
  EXPECT_EQ(dump("::: {.callout-note}\n## Note\ntext\n\n## Later\n:::\n"),
            "div {data-panel=\"\" data-callout=\"note\" data-disclosure=\"fixed\"}\n"
            "  panel_title\n    text \"Note\"\n  paragraph\n    text \"text\"\n"
            "  heading level=2\n    text \"Later\"\n");
  EXPECT_EQ(dump("::: {.callout-note}\ntext\n:::\n").find("panel_title"), std::string::npos);
  EXPECT_NE(dump("::: {.plain}\n## H\n:::\n").find("  heading level=2"), std::string::npos);
  EXPECT_EQ(dump("Apple {.fruit}\n: red *x*\n"),
            "definition_list\n  item\n    term {.fruit}\n      text \"Apple\"\n    definition\n"
            "      text \"red \"\n      emph\n        text \"x\"\n");
  const std::string table = dump("{: #old}\n| a |\n|---|\n| *1* |\n: cap {#tbl-x}\n");
  EXPECT_EQ(table.substr(0, 14), "table {#tbl-x}");
  EXPECT_NE(table.find("    cell\n      emph\n        text \"1\""), std::string::npos);
}

TEST(FinalizeBlocks, DeepContainersWithoutRecursion) {
  Options o = options(false);
  o.max_block_depth = 1000000;
  std::string source(60000, '>');
  source += " *a*";
  const Document doc = finished(source, o);
  std::size_t depth = 0;
  for (const Blocks* list = &doc.blocks; !list->empty() && (*list)[0].children(); list = (*list)[0].children())
    ++depth;
  EXPECT_EQ(depth, 60000u);
}

// Deep inline nesting in a leaf, finished on a small stack: a figure's caption is a deep copy.
TEST(FinalizeBlocks, DeepInlinesOnASmallStack) {
  std::function<void()> work = [] {
    std::string images;
    for (int i = 0; i < 50000; ++i) images += "![";
    images += "x";
    for (int i = 0; i < 50000; ++i) images += "](u)";
    const Document doc = finished(images + "\n\n" + std::string(100000, '*') + "a " +
                                      std::string(100000, '*'),
                                  options(true));
    ASSERT_EQ(doc.blocks.size(), 2u);
    EXPECT_EQ(doc.blocks[0].kind(), BlockKind::Figure);
  };
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, &work), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

}  // namespace
}  // namespace vedavi
