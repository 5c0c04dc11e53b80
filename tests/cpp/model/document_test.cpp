#include "model/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "model/frontmatter.h"
#include "model/link_ref.h"
#include "model/options.h"
#include "render/render.h"

namespace vedavi {
namespace {

Inline text(std::string s) { return Inline::Text{std::move(s)}; }

// A chain of `depth` emphasis nodes around one text.
Inlines deep_inlines(std::size_t depth) {
  Inlines root;
  root.push_back(text("x"));
  for (std::size_t i = 0; i < depth; ++i) {
    Inline::Emph emph;
    emph.children = std::move(root);
    root = Inlines();
    root.push_back(std::move(emph));
  }
  return root;
}

// A chain of `depth` nested list items, block quotes and divs, with a paragraph at the bottom.
Blocks deep_blocks(std::size_t depth) {
  Blocks root;
  root.push_back(Block::Paragraph{{}, deep_inlines(3)});
  for (std::size_t i = 0; i < depth; ++i) {
    Blocks next;
    switch (i % 3) {
      case 0: next.push_back(Block::BlockQuote{{}, std::move(root)}); break;
      case 1: next.push_back(Block::Div{{}, std::move(root)}); break;
      default: {
        Block::List list;
        list.items.push_back(ListItem{{}, std::move(root), std::nullopt});
        next.push_back(std::move(list));
      }
    }
    root = std::move(next);
  }
  return root;
}

std::size_t inline_depth(const Inlines& list) {
  std::size_t depth = 0;
  const Inlines* cur = &list;
  while (!cur->empty() && (*cur)[0].children()) {
    cur = (*cur)[0].children();
    ++depth;
  }
  return depth;
}

TEST(DocumentTree, DeepInlinesCopyAndDestroyWithoutRecursion) {
  Inlines deep = deep_inlines(1'000'000);
  Inlines copy = deep;
  EXPECT_EQ(inline_depth(copy), 1'000'000u);
  EXPECT_EQ(render::plain(copy), "x");
}

// Copies and teardown switch from the ordinary way to the explicit walk at a fixed depth: trees
// around that depth, with several children per level, copy exactly and free cleanly.
TEST(DocumentTree, CopiesAcrossTheWalkDepthAreExact) {
  for (std::size_t depth : {1u, 2u, 63u, 64u, 65u, 66u, 129u, 300u}) {
    Blocks blocks = deep_blocks(depth);
    // A wide sibling at the top: more paragraphs beside the chain, each with nested inlines.
    for (int i = 0; i < 3; ++i) blocks.push_back(Block::Paragraph{{}, deep_inlines(depth)});
    blocks.push_back(Block::Figure{{}, deep_inlines(depth), Inline::Image{"u", std::nullopt, {}, deep_inlines(2)}});
    Inlines inlines = deep_inlines(depth);
    inlines.push_back(text("tail"));
    Blocks block_copy = blocks;
    Inlines inline_copy = inlines;
    EXPECT_EQ(debug_string(block_copy), debug_string(blocks)) << depth;
    EXPECT_EQ(debug_string(inline_copy), debug_string(inlines)) << depth;
    EXPECT_EQ(inline_depth(inline_copy), depth) << depth;
    block_copy = blocks;  // assignment over a tree already there
    EXPECT_EQ(debug_string(block_copy), debug_string(blocks)) << depth;
  }
}

TEST(DocumentTree, DeepBlocksCopyAndDestroyWithoutRecursion) {
  Document doc;
  doc.blocks = deep_blocks(1'000'000);
  Document copy = doc;
  std::size_t depth = 0;
  const Block* cur = &copy.blocks[0];
  while (true) {
    const Blocks* kids = cur->children();
    if (!kids) {
      if (auto* list = cur->get_if<Block::List>()) kids = &list->items[0].children;
    }
    if (!kids) break;
    cur = &(*kids)[0];
    ++depth;
  }
  EXPECT_EQ(depth, 1'000'000u);
  EXPECT_EQ(cur->kind(), BlockKind::Paragraph);
}

TEST(DocumentModel, KindNames) {
  const std::vector<std::string_view> blocks = {
      "paragraph", "heading", "panel_title", "block_quote", "list", "definition_list",
      "code_block", "html_block", "thematic_break", "table", "div", "math_block", "figure",
      "template_token", "raw_block", "script_block"};
  for (std::size_t i = 0; i < blocks.size(); ++i)
    EXPECT_EQ(kind_name(static_cast<BlockKind>(i)), blocks[i]);
  const std::vector<std::string_view> inlines = {
      "text", "soft_break", "hard_break", "emph", "strong", "strike", "superscript",
      "subscript", "highlight", "code", "link", "image", "autolink", "html_inline", "operation",
      "template_token", "math_inline", "footnote_ref", "note", "span", "raw_inline"};
  for (std::size_t i = 0; i < inlines.size(); ++i)
    EXPECT_EQ(kind_name(static_cast<InlineKind>(i)), inlines[i]);
  EXPECT_EQ(Block(Block::Figure{}).kind_name(), "figure");
  EXPECT_EQ(Inline(TemplateToken{}).kind_name(), "template_token");
  EXPECT_EQ(Block(TemplateToken{}).kind(), BlockKind::TemplateToken);
}

TEST(DocumentModel, AlignNames) {
  EXPECT_EQ(align_name(Align::None), "");
  EXPECT_EQ(align_name(Align::Left), "left");
  EXPECT_EQ(align_name(Align::Center), "center");
  EXPECT_EQ(align_name(Align::Right), "right");
}

TEST(DocumentModel, AttrPresenceByKind) {
  // Kinds without attributes answer nullptr; all others carry one.
  const std::vector<Block> no_attr_blocks = {Block::HtmlBlock{}, TemplateToken{}, Block::RawBlock{},
                                             Block::ScriptBlock{}};
  for (const Block& b : no_attr_blocks) EXPECT_EQ(b.attr(), nullptr) << b.kind_name();
  for (std::size_t i = 0; i < kBlockKindCount; ++i) {
    Block b;
    // Default-construct each alternative by index.
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      ((I == i ? (void)(b.data.emplace<I>()) : (void)0), ...);
    }(std::make_index_sequence<kBlockKindCount>());
    const bool has = b.attr() != nullptr;
    const bool expected = !(b.kind() == BlockKind::HtmlBlock || b.kind() == BlockKind::TemplateToken ||
                            b.kind() == BlockKind::RawBlock || b.kind() == BlockKind::ScriptBlock);
    EXPECT_EQ(has, expected) << b.kind_name();
  }
  const std::vector<InlineKind> with_attr = {InlineKind::Emph, InlineKind::Strong, InlineKind::Strike,
                                             InlineKind::Superscript, InlineKind::Subscript,
                                             InlineKind::Highlight, InlineKind::Code, InlineKind::Link,
                                             InlineKind::Image, InlineKind::MathInline, InlineKind::Span};
  for (std::size_t i = 0; i < kInlineKindCount; ++i) {
    Inline node;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      ((I == i ? (void)(node.data.emplace<I>()) : (void)0), ...);
    }(std::make_index_sequence<kInlineKindCount>());
    const bool expected = std::find(with_attr.begin(), with_attr.end(), node.kind()) != with_attr.end();
    EXPECT_EQ(node.attr() != nullptr, expected) << node.kind_name();
  }
}

TEST(DocumentModel, CopiesShareNothing) {
  Block::Table table;
  table.aligns = {Align::Left};
  TableRow row;
  row.cells.push_back(TableCell{{}, Inlines{text("cell")}, Align::Left});
  table.rows.push_back(row);
  table.caption.push_back(text("cap"));
  table.tokens.push_back(TableToken{1, Inline(TemplateToken{"s", "{{x}}", "x", "x"})});
  Block::DefinitionList deflist;
  deflist.items.push_back(DefinitionItem{{DefinitionTerm{Attr::with_class("t"), Inlines{text("term")}}},
                                         {Inlines{text("def")}}});
  Block::Figure figure;
  figure.caption.push_back(text("alt"));
  figure.image = Inline::Image{"u", std::nullopt, {}, Inlines{text("alt")}};
  Inline::Operation op{"mediawiki", "transclude", "X", {}};
  op.args.push_back(OperationArg{Inlines{text("a")}, "n"});

  Document doc;
  doc.blocks.push_back(std::move(table));
  doc.blocks.push_back(std::move(deflist));
  doc.blocks.push_back(std::move(figure));
  doc.blocks.push_back(Block::Paragraph{{}, Inlines{Inline(std::move(op))}});
  doc.footnotes.push_back(Footnote{"n", Blocks{Block::Paragraph{{}, Inlines{text("fn")}}}});
  doc.meta = {{"k", "v"}};

  const std::string before = debug_string(doc);
  Document copy = doc;
  EXPECT_EQ(debug_string(copy), before);
  // Change every copied list; the original stays as it was.
  copy.blocks[0].get_if<Block::Table>()->rows[0].cells[0].content[0] = text("changed");
  copy.blocks[0].get_if<Block::Table>()->caption.clear();
  copy.blocks[1].get_if<Block::DefinitionList>()->items[0].terms[0].inlines.push_back(text("more"));
  copy.blocks[2].get_if<Block::Figure>()->image.children()->clear();
  copy.blocks[3].inlines()->front().get_if<Inline::Operation>()->args[0].value.clear();
  copy.footnotes[0].blocks.clear();
  EXPECT_NE(debug_string(copy), before);
  EXPECT_EQ(debug_string(doc), before);

  Blocks assigned;
  assigned.push_back(Block::ThematicBreak{});
  assigned = doc.blocks;
  EXPECT_EQ(debug_string(assigned), debug_string(doc.blocks));
  assigned = assigned;  // self-assignment keeps the list
  EXPECT_EQ(assigned.size(), 4u);
}

TEST(DocumentModel, DebugString) {
  Document doc;
  doc.meta = {{"title", "T"}};
  Block::List list;
  list.ordered = true;
  list.start = 3;
  list.items.push_back(ListItem{Attr::with_class("i"), Blocks{Block::Paragraph{{}, Inlines{text("a\n")}}}, true});
  doc.blocks.push_back(std::move(list));
  Inline::Link link{"/u", "t", Attr::with_class("k"), Inlines{text("x")}};
  doc.blocks.push_back(Block::Heading{{}, Inlines{Inline(std::move(link))}, 2});
  doc.diagnostics.push_back(Diagnostic{SourcePos{4, 1}, SourcePos{4, 1}, std::nullopt, "unclosed", "m", 0});
  EXPECT_EQ(debug_string(doc),
            "meta title: T\n"
            "list ordered start=3 tight\n"
            "  item [x] {.i}\n"
            "    paragraph\n"
            "      text \"a\\n\"\n"
            "heading level=2\n"
            "  link {.k} \"/u\" title=\"t\"\n"
            "    text \"x\"\n"
            "diagnostic unclosed 4:1 m\n");
}

TEST(DocumentModel, OptionsCopyIsIndependent) {
  Options options;
  options.templates.push_back(TemplateDelimiter{"s", "{{", "}}", TemplateMarkers{"#", "^", "/"},
                                                TemplateBalance{'{', '}'}, TemplateForm::Inline});
  options.max_block_depth = 128;
  options.max_link_paren_depth = 32;
  options.math = MathMode::Brackets;
  Options copy = options;
  EXPECT_EQ(copy, options);
  copy.templates[0].markers->open = "+";
  copy.templates.push_back({});
  EXPECT_EQ(options.templates.size(), 1u);
  EXPECT_EQ(options.templates[0].markers->open, "#");
  EXPECT_TRUE(MathMode::Dollars > MathMode::Brackets);
}

TEST(RenderPlain, EveryKind) {
  Inline::Operation op{"w", "t", "name", {}};
  op.args.push_back(OperationArg{Inlines{text("a")}, std::nullopt});
  op.args.push_back(OperationArg{Inlines{text("b"), Inline::Emph{{}, Inlines{text("c")}}}, "n"});
  TemplateToken token;
  token.source = "{{ x }}";
  token.name = "x";
  const Inlines inlines = {
      text("t<&>"),
      Inline::SoftBreak{},
      Inline::HardBreak{},
      Inline::Emph{{}, Inlines{text("e")}},
      Inline::Strong{{}, Inlines{text("s")}},
      Inline::Strike{{}, Inlines{text("k")}},
      Inline::Superscript{{}, "sup"},
      Inline::Subscript{{}, "sub"},
      Inline::Highlight{{}, Inlines{text("h")}},
      Inline::Code{{}, "code"},
      Inline::Link{"/url", "title", {}, Inlines{text("link")}},
      Inline::Image{"/img", std::nullopt, {}, Inlines{text("alt")}},
      Inline::Autolink{"mailto:a@b", "a@b", true},
      Inline::HtmlInline{"<b>"},
      std::move(op),
      std::move(token),
      Inline::MathInline{{}, "x^2", false},
      Inline::FootnoteRef{"fn"},
      Inline::Note{Inlines{text("note")}},
      Inline::Span{{}, Inlines{text("span")}},
      Inline::RawInline{"html", "<raw>"},
  };
  EXPECT_EQ(render::plain(inlines),
            "t<&>  esksupsubhcodelinkalta@b<b>abc{{ x }}x^2fnnotespan");
  EXPECT_EQ(render::plain({}), "");
}

}  // namespace
}  // namespace vedavi
