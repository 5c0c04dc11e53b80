// Documents parsed from a source the caller keeps: their paragraph and code texts may point into it where
// the lines stand there as written, and read the same as a copying parse's; the ordinary parse
// keeps nothing of its source.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "block/parse.h"
#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

// Whether any text node of `blocks` points into `source` (test documents are shallow).
bool points_into(const Inlines& inlines, std::string_view source) {
  for (const Inline& node : inlines) {
    if (const auto* text = node.get_if<Inline::Text>())
      if (!text->text.empty() && text->text.data() >= source.data() &&
          text->text.data() + text->text.size() <= source.data() + source.size())
        return true;
    if (const Inlines* children = node.children(); children && points_into(*children, source)) return true;
  }
  return false;
}

bool points_into(const Blocks& blocks, std::string_view source) {
  for (const Block& block : blocks) {
    if (const auto* code = block.get_if<Block::CodeBlock>())
      if (!code->text.empty() && code->text.data() >= source.data() &&
          code->text.data() + code->text.size() <= source.data() + source.size())
        return true;
    if (const Inlines* inlines = block.inlines(); inlines && points_into(*inlines, source)) return true;
    if (const Blocks* children = block.children(); children && points_into(*children, source)) return true;
    if (const auto* table = block.get_if<Block::Table>())
      for (const auto* rows : {&table->head_rows, &table->rows})
        for (const TableRow& row : *rows)
          for (const TableCell& cell : row.cells)
            if (points_into(cell.content, source)) return true;
    if (const auto* list = block.get_if<Block::List>())
      for (const ListItem& item : list->items)
        if (points_into(item.children, source)) return true;
  }
  return false;
}

struct Case {
  std::string_view source;
  bool views;  // whether the kept-source parse points into the source
};

TEST(KeptSource, ParagraphsStandingAsWrittenAreViewsOfIt) {
  const Case cases[] = {
      {"one paragraph\nof two lines *and* emphasis\n", true},
      {"   indented first line\nsecond\n", true},
      {"two spaces end a line  \nbefore a hard break\n", true},
      {"[r]: /u\ntext after a definition, [r]\n", true},
      {"text before an attribute line\n{: .c}\n", true},
      // A lazy continuation line follows its item's text at the start of its own line.
      {"- item\nlazy\n", true},
      // A heading's text is a piece of its line.
      {"# a heading\n", true},
      {"## closed heading ## {.c}\n", true},
      // Code lines standing whole in the source, an LF after each, are a piece of it.
      {"```py {.c}\ncode\n  lines\n```\n", true},
      {"    two indented\n    code lines\n", false},
      {"> ```\n> quoted\n> code\n> ```\n", false},
      {"~~~\nunclosed code without a final line end", false},
      // Indentation, container markers and rewritten line ends stand between the lines.
      {"first\n  second indented\n", false},
      {"> quoted\n> lines\n", false},
      {"- item\n  continued\n", false},
      {"a\r\nb\r\n", false},
      // Table cells are pieces of their lines, unless a backslash makes the line rewritten.
      {"| a | b |\n|---|---|\n| 1 | 2 |\n", true},
      {"> | a | b |\n> |---|---|\n> | 1 *2* |\n", true},
      {"| a\\|b |\n|---|\n| \\*1\\* |\n| \\ |\n", false},
  };
  const Options options = test::default_options();
  for (const Case& c : cases) {
    const std::string source(c.source);
    const Document kept = parse_kept_source(source, options);
    EXPECT_EQ(points_into(kept.blocks, source), c.views) << c.source;
    EXPECT_EQ(debug_string(kept), debug_string(parse(source, options))) << c.source;
  }
}

TEST(KeptSource, AnOrdinaryParseOutlivesItsSource) {
  const std::string_view sources[] = {
      "one paragraph\nof two lines *and* emphasis\n",
      "- item\nlazy\n\n[r]: /u\ntext after a definition, [r]\n",
      "plain words only\n",
      "```py {.c}\ncode\n```\n\n    indented\n",
      "| a | b *c* |\n|---|---|\n| 1 | two\\|three |\nlast\n",
  };
  const Options options = test::default_options();
  for (std::string_view text : sources) {
    const std::string expected = debug_string(parse(text, options));
    auto source = std::make_unique<std::string>(text);
    const Document doc = parse(*source, options);
    // Written over, then freed: a text left pointing into it reads otherwise (and ASan reports it).
    source->assign(source->size(), '#');
    source.reset();
    EXPECT_EQ(debug_string(doc), expected) << text;
  }
}

// Renders the blocks of a streamed parse as they come, and counts those it was handed.
class RenderingSink : public BlockSink {
 public:
  void start(const Document& doc) override { renderer.emplace(doc); }
  bool block(const Block& block) override {
    ++blocks;
    const std::size_t notes = renderer->notes_written();
    renderer->block(block, html);
    return renderer->notes_written() != notes;
  }
  void keep(ArenaHandle blocks) override { kept = std::move(blocks); }

  ArenaHandle kept;
  std::optional<Renderer> renderer;
  std::string html;
  std::size_t blocks = 0;
};

TEST(KeptSource, AStreamedParseWritesWhatTheWholeTreeWrites) {
  // Each source at a size where the scratch memory of the blocks is cleared many times over.
  const std::string_view sources[] = {
      "para *one* [r]\n\n- item\n  continued\n\n> quote\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n"
      "[r]: /url\n\n",
      // Footnote references numbered as they come; definitions finished before any block.
      "x[^a] and y[^b]\n\n[^b]: bee *b*\n\n[^a]: a\n\n",
      // Inline notes: their content is read again for the footnote section, after every block.
      "plain words\n\ntext^[an *inline* note] more\n\n- item^[in a list]\n\n",
      // Containers that dissolve into their parent, panels, implicit structure.
      "<div>\n\ninner *md*\n\n</div>\n\n::: note\n# Title\nbody\n:::\n\n1. a\n2. b\n\n",
  };
  const Options options = test::default_options();
  for (std::string_view piece : sources) {
    const std::string source = test::repeat(piece, 20000);
    const std::string expected = render_document(parse(source, options), 0);
    RenderingSink sink;
    const Document doc = parse_kept_source_streamed(source, options, sink);
    sink.renderer->footnotes(sink.html);
    EXPECT_TRUE(doc.blocks.empty());
    EXPECT_GE(sink.blocks, std::size_t{20000});
    EXPECT_EQ(sink.html, expected) << piece;
  }
}

}  // namespace
}  // namespace vedavi
