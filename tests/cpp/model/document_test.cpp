#include "model/document.h"

#include <gtest/gtest.h>

#include <utility>

#include "model/options.h"
#include "render/render.h"

namespace vedavi {
namespace {

Inline text(std::string s) { return Inline::Text{std::move(s)}; }
// A list of one node, moved in (an initializer list would copy the whole subtree).
template <class List, class Node>
List one(Node&& node) {
  List list;
  list.push_back(std::forward<Node>(node));
  return list;
}

// A chain of `depth` emphasis nodes around one text.
Inlines deep_inlines(std::size_t depth) {
  Inlines root{text("x")};
  for (std::size_t i = 0; i < depth; ++i) root = one<Inlines>(Inline::Emph{{}, std::move(root)});
  return root;
}

// A chain of `depth` nested block quotes, divs and list items, with a paragraph at the bottom.
Blocks deep_blocks(std::size_t depth) {
  Blocks root{Block::Paragraph{{}, deep_inlines(3)}};
  for (std::size_t i = 0; i < depth; ++i) {
    if (i % 3 == 0) root = one<Blocks>(Block::BlockQuote{{}, std::move(root)});
    else if (i % 3 == 1) root = one<Blocks>(Block::Div{{}, std::move(root)});
    else root = one<Blocks>(Block::List{{}, one<ArenaVector<ListItem>>(ListItem{{}, std::move(root), std::nullopt})});
  }
  return root;
}

std::size_t inline_depth(const Inlines& list) {
  std::size_t depth = 0;
  for (const Inlines* cur = &list; !cur->empty() && (*cur)[0].children(); cur = (*cur)[0].children()) ++depth;
  return depth;
}

TEST(DocumentTree, DeepTreesCopyAndDestroyWithoutRecursion) {
  Inlines deep = deep_inlines(1'000'000);
  Inlines copy = deep;
  EXPECT_EQ(inline_depth(copy), 1'000'000u);
  EXPECT_EQ(render::plain(copy), "x");
  Document doc;
  doc.blocks = deep_blocks(1'000'000);
  Document doc_copy = doc;
  std::size_t depth = 0;
  const Block* cur = &doc_copy.blocks[0];
  while (true) {
    const Blocks* kids = cur->children();
    if (auto* list = cur->get_if<Block::List>(); !kids && list) kids = &list->items[0].children;
    if (!kids) break;
    cur = &(*kids)[0];
    ++depth;
  }
  EXPECT_EQ(depth, 1'000'000u);
  EXPECT_EQ(cur->kind(), BlockKind::Paragraph);
}

// Copies switch from the ordinary way to the explicit walk at a fixed depth: trees around that
// depth, with several children per level, copy exactly and free cleanly.
TEST(DocumentTree, CopiesAcrossTheWalkDepthAreExact) {
  for (std::size_t depth : {1u, 2u, 63u, 64u, 65u, 66u, 129u, 300u}) {
    Blocks blocks = deep_blocks(depth);
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

// Kind names, with "*" on the kinds that carry attributes.
TEST(DocumentModel, KindNamesAndAttributes) {
  std::string names;
  for (std::size_t i = 0; i < kBlockKindCount; ++i) {
    Block b;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      ((I == i ? (void)(b.data.emplace<I>()) : (void)0), ...);
    }(std::make_index_sequence<kBlockKindCount>());
    names += std::string(kind_name(static_cast<BlockKind>(i))) + (b.attr() ? "* " : " ");
    EXPECT_EQ(b.kind_name(), kind_name(static_cast<BlockKind>(i)));
  }
  EXPECT_EQ(names, "paragraph* heading* panel_title* block_quote* list* definition_list* code_block* "
                   "html_block thematic_break* table* div* math_block* figure* template_token raw_block "
                   "script_block ");
  names.clear();
  for (std::size_t i = 0; i < kInlineKindCount; ++i) {
    Inline node;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      ((I == i ? (void)(node.data.emplace<I>()) : (void)0), ...);
    }(std::make_index_sequence<kInlineKindCount>());
    names += std::string(node.kind_name()) + (node.attr() ? "* " : " ");
  }
  EXPECT_EQ(names, "text soft_break hard_break emph* strong* strike* superscript* subscript* highlight* "
                   "code* link* image* autolink html_inline operation template_token math_inline* "
                   "footnote_ref note span* raw_inline ");
  for (auto [align, name] : {std::pair{Align::None, ""}, {Align::Left, "left"}, {Align::Center, "center"},
                             {Align::Right, "right"}})
    EXPECT_EQ(align_name(align), name);
}

TEST(DocumentModel, CopiesShareNothing) {
  Block::Table table;
  table.aligns = {Align::Left};
  table.rows.push_back(TableRow{});
  table.rows[0].cells.push_back(TableCell{{}, Inlines{text("cell")}, Align::Left});
  table.caption.push_back(text("cap"));
  table.tokens.push_back(TableToken{1, Inline(TemplateToken{"s", "{{x}}", "x", "x"})});
  Block::DefinitionList deflist;
  deflist.items.push_back(DefinitionItem{{DefinitionTerm{Attr::with_class("t"), Inlines{text("term")}}},
                                         {Inlines{text("def")}}});
  Block::Figure figure{{}, Inlines{text("alt")}, Inline::Image{"u", std::nullopt, {}, Inlines{text("alt")}}};
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
  EXPECT_EQ(std::as_const(copy).blocks[3].inlines()->size(), 1u);
  EXPECT_NE(debug_string(copy), before);
  EXPECT_EQ(debug_string(doc), before);
  Blocks assigned{Block::ThematicBreak{}};
  assigned = doc.blocks;
  EXPECT_EQ(debug_string(assigned), debug_string(doc.blocks));
  assigned = assigned;  // self-assignment keeps the list
  EXPECT_EQ(assigned.size(), 4u);

  Options options;
  options.templates.push_back(TemplateDelimiter{"s", "{{", "}}", TemplateMarkers{"#", "^", "/"},
                                                TemplateBalance{'{', '}'}, TemplateForm::Inline});
  Options options_copy = options;
  EXPECT_EQ(options_copy, options);
  options_copy.templates[0].markers->open = "+";
  EXPECT_EQ(options.templates[0].markers->open, "#");
}

TEST(DocumentModel, DebugString) {
  Document doc;
  doc.meta = {{"title", "T"}};
  Block::List list;
  list.ordered = true;
  list.start = 3;
  list.items.push_back(ListItem{Attr::with_class("i"), Blocks{Block::Paragraph{{}, Inlines{text("a\n")}}}, true});
  doc.blocks.push_back(std::move(list));
  doc.blocks.push_back(Block::Heading{{}, Inlines{Inline::Link{"/u", "t", Attr::with_class("k"), Inlines{text("x")}}}, 2});
  doc.diagnostics.push_back(Diagnostic{SourcePos{4, 1}, SourcePos{4, 1}, std::nullopt, "unclosed", "m", 0});
  EXPECT_EQ(debug_string(doc),
            "meta title: T\nlist ordered start=3 tight\n  item [x] {.i}\n    paragraph\n      text \"a\\n\"\n"
            "heading level=2\n  link {.k} \"/u\" title=\"t\"\n    text \"x\"\ndiagnostic unclosed 4:1 m\n");
}

// The large kinds are held boxed; every reader still meets them as their own type.
TEST(DocumentModel, BoxedKindsReadDumpAndFreeAsThemselves) {
  static_assert(sizeof(Inline) <= 48 && sizeof(Block) <= 64);
  TemplateToken token;
  token.source = "{{x}}";
  Blocks blocks{Block::CodeBlock{Attr::with_class("c"), "py", "x = 1\n", "py"}, Block::RawBlock{"html", "<r>"},
                Block::ScriptBlock{"js", "f()"}, Block(token),
                Block::Paragraph{{}, Inlines{Inline::Autolink{"http://a", "a", false}, Inline(token),
                                             Inline::MathInline{{}, "x", true}, Inline::RawInline{"tex", "\\y"}}}};
  EXPECT_EQ(debug_string(blocks),
            "code_block {.c} info=\"py\" lang=py \"x = 1\\n\"\nraw_block \"<r>\" format=html\n"
            "script_block \"f()\" lang=js\ntemplate_token \"{{x}}\"\nparagraph\n  autolink \"http://a\" \"a\"\n"
            "  template_token \"{{x}}\"\n  math_inline \"x\" display\n  raw_inline \"\\\\y\" format=tex\n");
  // A moved-from node reads as an empty value of its kind, copies and frees.
  Inline link = Inline::Link{"/u", "t", Attr::with_class("k"), Inlines{text("x")}};
  Inline moved = std::move(link);
  const Inline& left = link;
  ASSERT_EQ(left.kind(), InlineKind::Link);
  EXPECT_EQ(left.get_if<Inline::Link>()->url, "");
  EXPECT_EQ(debug_string(Inlines{left, moved}), "link \"\"\nlink {.k} \"/u\" title=\"t\"\n  text \"x\"\n");
  link.get_if<Inline::Link>()->url = "/v";
  EXPECT_EQ(debug_string(Inlines{link}), "link \"/v\"\n");
  // A chain of a million links, each boxed, copies and frees without recursion.
  Inlines chain{text("x")};
  for (std::size_t i = 0; i < 1'000'000; ++i)
    chain = one<Inlines>(Inline::Link{"u", std::nullopt, {}, std::move(chain)});
  Inlines chain_copy = chain;
  EXPECT_EQ(inline_depth(chain_copy), 1'000'000u);
}

TEST(RenderPlain, EveryKind) {
  Inline::Operation op{"w", "t", "name", {}};
  op.args.push_back(OperationArg{Inlines{text("a")}, std::nullopt});
  op.args.push_back(OperationArg{Inlines{text("b"), Inline::Emph{{}, Inlines{text("c")}}}, "n"});
  TemplateToken token;
  token.source = "{{ x }}";
  const Inlines inlines = {
      text("t<&>"), Inline::SoftBreak{}, Inline::HardBreak{}, Inline::Emph{{}, Inlines{text("e")}},
      Inline::Strong{{}, Inlines{text("s")}}, Inline::Strike{{}, Inlines{text("k")}},
      Inline::Superscript{{}, "sup"}, Inline::Subscript{{}, "sub"}, Inline::Highlight{{}, Inlines{text("h")}},
      Inline::Code{{}, "code"}, Inline::Link{"/url", "title", {}, Inlines{text("link")}},
      Inline::Image{"/img", std::nullopt, {}, Inlines{text("alt")}}, Inline::Autolink{"mailto:a@b", "a@b", true},
      Inline::HtmlInline{"<b>"}, std::move(op), std::move(token), Inline::MathInline{{}, "x^2", false},
      Inline::FootnoteRef{"fn"}, Inline::Note{Inlines{text("note")}}, Inline::Span{{}, Inlines{text("span")}},
      Inline::RawInline{"html", "<raw>"},
  };
  EXPECT_EQ(render::plain(inlines), "t<&>  esksupsubhcodelinkalta@b<b>abc{{ x }}x^2fnnotespan");
  EXPECT_EQ(render::plain({}), "");
}

}  // namespace
}  // namespace vedavi
